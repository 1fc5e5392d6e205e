// The rules that turn a vertex's level and angles into what is drawn: its
// radius, its colour and its position. Free of GL, so that the command-line
// tools draw the globe exactly as the editor does without linking a GL.
//
// Units: angles in radians (polar angle from +z, azimuth from +y towards +x),
// radii and positions in model units with the globe's centre at the origin,
// colour channels from 0 to 1.
#ifndef LEVELRULES_H
#define LEVELRULES_H

// The sea's sphere, on which every level outside 1..9 lies too. A double, so
// that scales taken from it (the prints' millimetres) keep their decimal value;
// the corners stand on float(baseSphereRadius).
constexpr double baseSphereRadius = 0.85;

// The radius of a level in a world of the given subdivision: the heights
// above the base sphere shrink four times with each subdivision. Levels
// outside 1..9 lie on the base sphere.
float radiusOfLevel(int level, int subdivision);

// The ten level colours; black outside 0..9.
void levelColor(int level, float &red, float &green, float &blue);

// The corner position rule: the point at the given radius with polar angle
// theta and azimuth phi, (r sin theta sin phi, r sin theta cos phi,
// r cos theta), computed in double precision and stored as floats.
void cornerPosition(double radius, float theta, float phi, float position[3]);

#endif
