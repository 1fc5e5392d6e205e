// The sphere's rules, written once for every room that reasons about the
// globe's geometry: its constants, a direction's longitude and latitude,
// the angle between two directions and the area of a spherical triangle.
//
// Directions are unit vectors in model space (terrain/vec3.h); a world's
// two angles are base003.dat's polar angle from +z and azimuth from +y
// towards +x, in radians. Longitude and latitude are the maps' geography:
// longitude = 180° − azimuth, wrapped to [−180°, 180°), latitude = 90° −
// polar angle, both in degrees.
#ifndef SPHERE_H
#define SPHERE_H

#include "terrain/vec3.h"

const double pi = 3.14159265358979323846;
const double degree = pi / 180; // radians in a degree

// The Earth's mean radius (IUGG), the sphere every area and distance in
// kilometres or metres is measured on.
const double earthRadiusKm = 6371.0;
const double earthRadiusM = earthRadiusKm * 1000;

struct LonLat
{
    double lon, lat; // degrees
};

// Of a unit direction; the poles have longitude 180 − 0 wrapped, −180.
LonLat lonLatOf(const Vec3 &unit);

// Of base003.dat's angles, in radians.
LonLat lonLatOfAngles(double polar, double azimuth);

// The unit direction at a longitude and latitude in degrees: the inverse of
// lonLatOf.
Vec3 unitOfLonLat(double lon, double lat);

// The polar angle in [0, pi] and the azimuth in (−pi, pi] of a direction of
// any length.
double polarAngleOf(const Vec3 &d);
double azimuthOf(const Vec3 &d);

// The angle in radians between two directions of any length, by atan2 of
// the cross and dot products: exact near 0 and pi, where acos of the dot
// product loses half its digits.
double angleBetween(const Vec3 &a, const Vec3 &b);

// The great-circle distance between two unit directions on a sphere.
double greatCircleKm(const Vec3 &a, const Vec3 &b, double radiusKm = earthRadiusKm);

// The area on the unit sphere, in steradians, of the spherical triangle of
// three unit directions: its spherical excess (Van Oosterom and Strackee).
double sphericalExcess(const Vec3 &a, const Vec3 &b, const Vec3 &c);

#endif
