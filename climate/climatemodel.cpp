#include "climate/climatemodel.h"

#include "climate/circulation.h"
#include "climate/insolation.h"
#include "sphere/sphere.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>
#include <queue>

namespace {

// The constants of the header, by name.
const double degreesPerWatt = 0.19; // b
const double seaSwing = 0.10;       // f at sea
const double landSwing = 0.13;      // f on land at c = 0
const double inlandSwing = 0.35;    // f's rise to c = 1
const double coldNights = 1.6;      // A's rise in the cold half
const double lapseRate = 0.0065;    // °C per metre
const double seaLagDays = 60, landLagDays = 45, inlandLagDays = 20;
const double marineKm = 4000;       // marine air lost over land
const double coastalKm = 250;       // the sea's own reach for the seasons
const double seaRecoveryKm = 1000;  // moisture taken up over the sea
const double landLossKm = 5000;     // moisture rained out over land
const double shadowMetres = 1500;   // moisture lost climbing
const double ceilingKm = 1000;      // the air forgets the heights it crossed
const double coastMoistureKm = 800; // the nearest sea's moisture inland
const double slopeRain = 6;         // mm per month per m/km climbed
const double convectionRain = 180;  // mm per month
const double monsoonKm = 2500;      // the summer monsoon's moisture lost over land
const double convergence = 0.7;     // the least moisture at the ITCZ over land
const double landnessKm = 500;      // the ITCZ's land shift with distance from the sea

// The open ocean's annual mean sea-level air temperature, every 10 degrees
// from the equator to the pole (after the zonal means of Hartmann's Global
// Physical Climatology, fig. 2.9, raised at 50-70 degrees towards the North
// Atlantic's and Pacific's coasts).
const double seaTemperature[10] = {28, 27.5, 26, 22, 17, 11.5, 5.5, -3, -11, -16};

double seaAnnualTemperature(double latDeg)
{
    const double x = std::min(std::fabs(latDeg), 90.0) / 10;
    const int i = std::min(int(x), 8);
    return seaTemperature[i] + (x - i) * (seaTemperature[i + 1] - seaTemperature[i]);
}

// Daily insolation every degree of latitude and every day, and its annual
// mean, so that each vertex looks them up.
class InsolationTable
{
public:
    InsolationTable()
    {
        for (int lat = 0; lat <= 180; ++lat) {
            double sum = 0;
            for (int day = 0; day < 365; ++day) {
                const double q = dailyInsolation(lat - 90.0, day + 0.5);
                table[lat * 365 + day] = q;
                sum += q;
            }
            annual[lat] = sum / 365;
        }
    }
    // The day's value less the annual mean at latDeg.
    double anomaly(double latDeg, double day) const
    {
        const double x = std::clamp(latDeg + 90, 0.0, 180.0);
        const int i = std::min(int(x), 179);
        const double t = x - i;
        const int d = ((int(std::floor(day)) % 365) + 365) % 365;
        const double a = table[i * 365 + d] - annual[i];
        const double b = table[(i + 1) * 365 + d] - annual[i + 1];
        return a + t * (b - a);
    }

private:
    double table[181 * 365];
    double annual[181];
};

struct Place
{
    double lat, lon;
    Vec3 east, north;
};

std::vector<Place> placesOf(const SphereGraph &g)
{
    std::vector<Place> places(g.vertexCount);
    for (int v = 0; v < g.vertexCount; ++v) {
        const Vec3 &u = g.units[v];
        const LonLat ll = lonLatOf(u);
        Vec3 east = cross({0, 0, 1}, u);
        const double length = std::sqrt(dot(east, east));
        east = length > 1e-12 ? Vec3{east.x / length, east.y / length, east.z / length}
                              : Vec3{1, 0, 0};
        places[v] = {ll.lat, ll.lon, east, cross(u, east)};
    }
    return places;
}

// The distance in km along the graph's edges to the nearest sea vertex, and
// which it is; -1 and a huge distance in a world without sea.
void distanceToSea(const SphereGraph &g, const std::vector<char> &sea, std::vector<double> &km,
                   std::vector<int> &nearest)
{
    const double far = 1e30;
    km.assign(g.vertexCount, far);
    nearest.assign(g.vertexCount, -1);
    using Item = std::pair<double, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
    for (int v = 0; v < g.vertexCount; ++v) {
        if (sea[v]) {
            km[v] = 0;
            nearest[v] = v;
            queue.push({0.0, v});
        }
    }
    while (!queue.empty()) {
        const auto [d, v] = queue.top();
        queue.pop();
        if (d > km[v])
            continue;
        for (int i = g.neighbourStart[v]; i < g.neighbourStart[v + 1]; ++i) {
            const int n = g.neighbours[i];
            const double through = d + greatCircleKm(g.units[v], g.units[n]);
            if (through < km[n]) {
                km[n] = through;
                nearest[n] = nearest[v];
                queue.push({through, n});
            }
        }
    }
}

// One month's air: for each vertex the neighbours its air comes from, with
// their weights, distances and the rise from them, and an order in which
// most vertices come after their upwind neighbours.
struct Upwind
{
    std::vector<int> start, from;
    std::vector<float> weight, km, rise;
    std::vector<int> order;
};

Upwind upwindOf(const SphereGraph &g, const std::vector<Place> &places,
                const std::vector<float> &heightM, const std::vector<Wind> &winds)
{
    Upwind up;
    up.start.assign(g.vertexCount + 1, 0);
    std::vector<double> key(g.vertexCount);
    for (int v = 0; v < g.vertexCount; ++v) {
        const Place &p = places[v];
        const Vec3 w = {winds[v].east * p.east.x + winds[v].north * p.north.x,
                        winds[v].east * p.east.y + winds[v].north * p.north.y,
                        winds[v].east * p.east.z + winds[v].north * p.north.z};
        const int first = int(up.from.size());
        for (int i = g.neighbourStart[v]; i < g.neighbourStart[v + 1]; ++i) {
            const int n = g.neighbours[i];
            const Vec3 e = g.units[n] - g.units[v];
            const double along = dot(e, w) / std::sqrt(dot(e, e));
            if (along < -0.3) {
                up.from.push_back(n);
                up.weight.push_back(float(along * along));
            }
        }
        if (int(up.from.size()) == first) {
            // Calm: the air is the neighbours' mean.
            for (int i = g.neighbourStart[v]; i < g.neighbourStart[v + 1]; ++i) {
                up.from.push_back(g.neighbours[i]);
                up.weight.push_back(1);
            }
        }
        float total = 0;
        for (size_t i = first; i < up.from.size(); ++i)
            total += up.weight[i];
        for (size_t i = first; i < up.from.size(); ++i) {
            const int n = up.from[i];
            up.weight[i] /= total;
            up.km.push_back(float(greatCircleKm(g.units[n], g.units[v])));
            up.rise.push_back(std::max(0.0f, heightM[v] - heightM[n]));
        }
        up.start[v + 1] = int(up.from.size());
        key[v] = winds[v].east * p.lon + winds[v].north * p.lat;
    }
    up.order.resize(g.vertexCount);
    std::iota(up.order.begin(), up.order.end(), 0);
    std::stable_sort(up.order.begin(), up.order.end(),
                     [&](int a, int b) { return key[a] < key[b]; });
    return up;
}

// Gauss–Seidel sweeps of value along the wind: each vertex takes the
// weighted mean of step(upwind value, km, rise) over its upwind neighbours;
// sea vertices by seaStep, land by landStep. Enough sweeps for the air to
// go round the globe's wrap and settle.
template <class SeaStep, class LandStep>
void carry(const Upwind &up, const std::vector<char> &sea, std::vector<double> &value,
           SeaStep seaStep, LandStep landStep)
{
    const int sweeps = 4;
    for (int s = 0; s < sweeps; ++s) {
        for (int v : up.order) {
            double sum = 0;
            for (int i = up.start[v]; i < up.start[v + 1]; ++i) {
                const double x = value[up.from[i]];
                sum += up.weight[i] *
                       (sea[v] ? seaStep(x, up.km[i]) : landStep(x, up.km[i], up.rise[i]));
            }
            value[v] = sum;
        }
    }
}

// The highest ground the air has crossed, relaxing back to the ground over
// ceilingKm: a rain shadow is cast by climbing above it, not by each step
// of rough ground. up.rise becomes the climb above the upwind ceiling.
void climbAboveCeiling(Upwind &up, const std::vector<char> &sea, const std::vector<float> &heightM)
{
    const int n = int(up.start.size()) - 1;
    std::vector<double> ceiling(heightM.begin(), heightM.end());
    for (int s = 0; s < 4; ++s) {
        for (int v : up.order) {
            if (sea[v])
                continue;
            double sum = 0;
            for (int i = up.start[v]; i < up.start[v + 1]; ++i) {
                const double above = std::max(0.0, ceiling[up.from[i]] - heightM[v]);
                sum += up.weight[i] * above * std::exp(-up.km[i] / ceilingKm);
            }
            ceiling[v] = heightM[v] + sum;
        }
    }
    for (int v = 0; v < n; ++v) {
        for (int i = up.start[v]; i < up.start[v + 1]; ++i)
            up.rise[i] = float(std::max(0.0, heightM[v] - ceiling[up.from[i]]));
    }
}

// The slope climbed along the wind at each vertex, in m per km.
std::vector<float> upslopes(const Upwind &up)
{
    std::vector<float> slopes(up.start.size() - 1);
    for (size_t v = 0; v < slopes.size(); ++v) {
        double s = 0;
        for (int i = up.start[v]; i < up.start[v + 1]; ++i)
            s += up.weight[i] * up.rise[i] / std::max(up.km[i], 1.0f);
        slopes[v] = float(s);
    }
    return slopes;
}

double clamp01(double x)
{
    return std::clamp(x, 0.0, 1.0);
}

// The storms of the tracks draw moist air from whichever side the sea is:
// near a track a coast has the sea's moisture whatever the wind.
double stormDraw(const Belts &belts, double lat)
{
    const double track = lat >= 0 ? belts.trackN : belts.trackS;
    return std::exp(-std::pow((lat - track) / 15, 2));
}

struct Fields
{
    const SphereGraph &g;
    std::vector<Place> places;
    std::vector<double> seaKm;
    std::vector<int> nearestSea;
    InsolationTable insolation;
};

void climateOfMonth(const Fields &f, int month, Climate &c)
{
    const SphereGraph &g = f.g;
    const int n = g.vertexCount;
    const Belts belts = beltsOf(month);
    std::vector<double> itcz(n);
    std::vector<Wind> winds(n);
    for (int v = 0; v < n; ++v) {
        const double landness = c.sea[v] ? 0 : 1 - std::exp(-f.seaKm[v] / landnessKm);
        itcz[v] = belts.itcz(landness);
        winds[v] = surfaceWind(belts, f.places[v].lat, itcz[v]);
    }
    Upwind up = upwindOf(g, f.places, c.heightM, winds);
    const std::vector<float> slope = upslopes(up);
    climbAboveCeiling(up, c.sea, c.heightM);

    std::vector<double> marine(n);
    for (int v = 0; v < n; ++v)
        marine[v] = c.sea[v] ? 1 : 0;
    carry(
        up, c.sea, marine, [](double, double) { return 1.0; },
        [](double x, double km, double) { return x * std::exp(-km / marineKm); });
    std::vector<double> moisture(marine);
    carry(
        up, c.sea, moisture,
        [](double x, double km) { return 1 - (1 - x) * std::exp(-km / seaRecoveryKm); },
        [](double x, double km, double rise) {
            return x * std::exp(-km / landLossKm - rise / shadowMetres);
        });

    // The summer monsoon: warm moist air drawn onto the land, along the
    // trades between the ridges and beyond them from the oceans on the
    // equator's side, from the south-south-east in the north.
    std::vector<Wind> summer(n);
    for (int v = 0; v < n; ++v) {
        const double lat = f.places[v].lat;
        const bool trades = lat < belts.ridgeN && lat > belts.ridgeS;
        summer[v] = trades ? winds[v] : lat >= 0 ? Wind{-0.4, 0.9} : Wind{-0.4, -0.9};
    }
    Upwind monsoonUp = upwindOf(g, f.places, c.heightM, summer);
    climbAboveCeiling(monsoonUp, c.sea, c.heightM);
    std::vector<double> monsoon(marine);
    carry(
        monsoonUp, c.sea, monsoon,
        [](double x, double km) { return 1 - (1 - x) * std::exp(-km / seaRecoveryKm); },
        [](double x, double km, double rise) {
            return x * std::exp(-km / monsoonKm - rise / shadowMetres);
        });

    const double middle = monthMiddle(month);
    for (int v = 0; v < n; ++v) {
        const double lat = f.places[v].lat;
        const bool sea = c.sea[v];
        const double coast = sea ? 1 : std::exp(-f.seaKm[v] / coastalKm);
        const double cont = sea ? 0 : (1 - marine[v]) * (1 - coast);
        const double lag = sea ? seaLagDays : landLagDays - inlandLagDays * cont;
        const double swing = sea ? seaSwing : landSwing + inlandSwing * cont;
        double anomaly = degreesPerWatt * swing * f.insolation.anomaly(lat, middle - lag);
        if (anomaly < 0)
            anomaly *= 1 + coldNights * cont * clamp01((std::fabs(lat) - 25) / 25);
        const double t = seaAnnualTemperature(lat) + anomaly - lapseRate * c.heightM[v];
        const double cc = std::min(1.0, std::exp(0.07 * (t - 8)));
        double q = moisture[v];
        double rain = oceanRain(belts, lat, itcz[v]);
        if (!sea) {
            const int s = f.nearestSea[v];
            if (s >= 0)
                q = 1 - (1 - q) * (1 - std::max(moisture[s], stormDraw(belts, lat)) *
                                           std::exp(-f.seaKm[v] / coastMoistureKm));
            // The ITCZ gathers moisture from both sides and rains much of it
            // again: near it the air is never dry.
            q = std::max(q, convergence * std::exp(-std::pow((lat - itcz[v]) / 6, 2)));
            const bool warmHalf = belts.sigma * lat > 0;
            if (warmHalf)
                rain += convectionRain * clamp01((monsoon[v] - 0.2) / 0.8) * clamp01((t - 18) / 8);
            rain += slopeRain * slope[v];
        }
        c.temperature[12 * size_t(v) + month] = float(t);
        c.precipitation[12 * size_t(v) + month] = float(cc * q * rain);
    }
}

} // namespace

float Climate::annualMean(int v) const
{
    const float *t = temperatureOf(v);
    return std::accumulate(t, t + 12, 0.0f) / 12;
}

float Climate::annualTotal(int v) const
{
    const float *p = precipitationOf(v);
    return std::accumulate(p, p + 12, 0.0f);
}

float Climate::warmestMonth(int v) const
{
    const float *t = temperatureOf(v);
    return *std::max_element(t, t + 12);
}

float Climate::coldestMonth(int v) const
{
    const float *t = temperatureOf(v);
    return *std::min_element(t, t + 12);
}

Climate computeClimate(const SphereGraph &graph, const QVector<int> &levels,
                       const double levelMetres[9])
{
    Climate c;
    const int n = graph.vertexCount;
    c.vertexCount = n;
    c.sea.resize(n);
    c.heightM.resize(n);
    for (int v = 0; v < n; ++v) {
        const int level = levels.value(v);
        c.sea[v] = level == 0;
        c.heightM[v] = level >= 1 && level <= 9 ? float(levelMetres[level - 1]) : 0.0f;
    }
    std::unique_ptr<Fields> fields(new Fields{graph, placesOf(graph), {}, {}, {}});
    distanceToSea(graph, c.sea, fields->seaKm, fields->nearestSea);
    c.temperature.resize(12 * size_t(n));
    c.precipitation.resize(12 * size_t(n));
    for (int m = 0; m < 12; ++m)
        climateOfMonth(*fields, m, c);
    c.koppen.resize(n);
    c.biome.resize(n);
    for (int v = 0; v < n; ++v) {
        c.koppen[v] =
            c.sea[v] ? Koppen::Sea : koppenClass(c.temperatureOf(v), c.precipitationOf(v));
        c.biome[v] = c.sea[v] ? Biome::Ocean : biomeOf(c.temperatureOf(v), c.precipitationOf(v));
    }
    return c;
}
