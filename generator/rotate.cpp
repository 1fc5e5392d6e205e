#include "generator/rotate.h"

#include "sphere/sphere.h"
#include "world/atomicwrite.h"
#include "world/filenames.h"
#include "world/tablefile.h"
#include "world/worldload.h"

#include <QDir>

#include <cmath>

namespace {

// Rodrigues' rotation of v about the unit axis k by angle (right-handed).
Vec3 rotated(const Vec3 &v, const Vec3 &k, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    const Vec3 kv = cross(k, v);
    const double along = dot(k, v) * (1 - c);
    return {v.x * c + kv.x * s + k.x * along, v.y * c + kv.y * s + k.y * along,
            v.z * c + kv.z * s + k.z * along};
}

} // namespace

void rotateAngles(QVector<float> &coords, int vertexCount, const RotateOptions &options)
{
    // The axis through the equator 90 degrees east of the point, that is at
    // azimuth 90 degrees less: turning about it by a negative angle carries
    // the point north along its meridian.
    const double phiEast = (180 - options.poleLongitude - 90) * degree;
    const Vec3 axis = unitDirection(pi / 2, phiEast);
    const double toPole = -(90 - options.poleLatitude) * degree;
    // A right-handed turn about +z carries longitude 0 (-y) to 90 east (+x).
    const Vec3 z{0, 0, 1};
    const double east = options.turn * degree;
    for (int v = 0; v < vertexCount; ++v) {
        const Vec3 u = rotated(
            rotated(unitDirection(coords[2 * v], coords[2 * v + 1]), axis, toPole), z, east);
        double phi = azimuthOf(u);
        if (phi < 0)
            phi += 2 * pi;
        coords[2 * v] = float(polarAngleOf(u));
        // A float azimuth of just under 2 pi rounds to 2 pi: the same point.
        coords[2 * v + 1] = float(phi) >= float(2 * pi) ? 0.0f : float(phi);
    }
}

Status rotateWorld(const QString &dir, World &world, const RotateOptions &options)
{
    rotateAngles(world.coords, world.vertexCount, options);
    return writeFileAtomically(QDir(dir).filePath(QString::fromLatin1(coordsFileName)),
                               encodeFloatTable(world.coords));
}

Status checkRotateOptions(const OptionTexts &given, RotateOptions *options)
{
    QString pole;
    const Status named = given.required(QStringLiteral("pole"), &pole);
    if (!named.ok())
        return named;
    const QStringList parts = pole.split(QLatin1Char(','));
    if (parts.size() != 2 || !numberInRange(parts[0], -90, 90, &options->poleLatitude) ||
        !numberInRange(parts[1], -180, 180, &options->poleLongitude))
        return Status::usage(QStringLiteral("--pole must be LAT,LON with LAT from -90 to 90 and "
                                            "LON from -180 to 180, not '%1'")
                                 .arg(shownName(pole)));
    const QString turn = given.value(QStringLiteral("turn"));
    if (!numberInRange(turn, -360, 360, &options->turn))
        return Status::usage(QStringLiteral("--turn must be a number from -360 to 360, not '%1'")
                                 .arg(shownName(turn)));
    return Status();
}
