#include "maps/lonlatline.h"

#include <cmath>

std::vector<std::unique_ptr<OGRLineString>> cutAtAntimeridian(const std::vector<LonLat> &points)
{
    std::vector<std::unique_ptr<OGRLineString>> lines;
    if (points.empty())
        return lines;
    lines.emplace_back(new OGRLineString);
    LonLat previous = points.front();
    lines.back()->addPoint(previous.lon, previous.lat);
    for (size_t i = 1; i < points.size(); ++i) {
        const LonLat p = points[i];
        if (std::fabs(p.lon - previous.lon) > 180) {
            const double side = previous.lon > 0 ? 180 : -180;
            const double beyond = p.lon + (side > 0 ? 360 : -360);
            const double t = (side - previous.lon) / (beyond - previous.lon);
            const double lat = previous.lat + t * (p.lat - previous.lat);
            lines.back()->addPoint(side, lat);
            lines.emplace_back(new OGRLineString);
            lines.back()->addPoint(-side, lat);
        }
        lines.back()->addPoint(p.lon, p.lat);
        previous = p;
    }
    return lines;
}
