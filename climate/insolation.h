// Sunlight at the top of the atmosphere, the one input of the climate that
// comes from the sky: the daily mean on a horizontal surface by latitude
// and day of the year, for the Earth's orbit (Berger 1978; the formula of
// Hartmann, Global Physical Climatology, 2nd ed., eq. 2.15):
//
//   Q = S0/pi (rbar/r)^2 (h0 sin(lat) sin(decl) + cos(lat) cos(decl) sin(h0)),
//   cos(h0) = -tan(lat) tan(decl)  (h0 = 0 in polar night, pi in polar day),
//   sin(decl) = sin(23.44 deg) sin(2 pi (day - 80) / 365.25),
//   (rbar/r)^2 = 1 + 0.0334 cos(2 pi (day - 3) / 365.25)  (perihelion 3 January),
//
// with S0 = 1361 W/m² (Kopp and Lean 2011). Day 0 is 1 January.
#ifndef INSOLATION_H
#define INSOLATION_H

const double solarConstant = 1361.0; // W/m²
const double earthTilt = 23.44;      // degrees
const double daysInYear = 365.25;

// The daily mean in W/m² at latitude latDeg (degrees) on day (0 = 1 January,
// fractional days allowed, any value: the year wraps).
double dailyInsolation(double latDeg, double day);

// The day of the middle of month (0 = January), for monthly means.
double monthMiddle(int month);

#endif
