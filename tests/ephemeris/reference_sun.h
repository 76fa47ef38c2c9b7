#pragma once
// An independent sun model for cross-checks: the NOAA solar calculator's formulas (after
// Meeus, "Astronomical Algorithms"), written from the published equations. Time is a Julian
// day in UT; the answer is geometric (no refraction).
#include <cmath>
#include <functional>

namespace kelvaro::test {

struct RefSun {
  double rightAscensionHours;
  double declination;
  double azimuth;
  double altitude;
};

inline double refJulianDay(int year, int month, double day) {
  if (month <= 2) {
    year -= 1;
    month += 12;
  }
  int a = year / 100;
  int b = 2 - a + a / 4;
  return std::floor(365.25 * (year + 4716)) + std::floor(30.6001 * (month + 1)) + day + b - 1524.5;
}

// Greenwich mean sidereal time in hours at Julian day jd (UT).
inline double refGmstHours(double jd) {
  double t = (jd - 2451545.0) / 36525.0;
  double g = 280.46061837 + 360.98564736629 * (jd - 2451545.0) + 0.000387933 * t * t - t * t * t / 38710000.0;
  g = std::fmod(g, 360.0);
  if (g < 0) g += 360.0;
  return g / 15.0;
}

inline RefSun refSun(double jd, double latitude, double longitudeEast) {
  const double d2r = M_PI / 180.0;
  double t = (jd - 2451545.0) / 36525.0;
  double l0 = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
  double m = 357.52911 + t * (35999.05029 - 0.0001537 * t);
  double c = std::sin(m * d2r) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
             std::sin(2 * m * d2r) * (0.019993 - 0.000101 * t) + std::sin(3 * m * d2r) * 0.000289;
  double trueLong = l0 + c;
  double omega = 125.04 - 1934.136 * t;
  double lambda = trueLong - 0.00569 - 0.00478 * std::sin(omega * d2r);
  double eps0 = 23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
  double eps = eps0 + 0.00256 * std::cos(omega * d2r);
  double ra = std::atan2(std::cos(eps * d2r) * std::sin(lambda * d2r), std::cos(lambda * d2r));
  double dec = std::asin(std::sin(eps * d2r) * std::sin(lambda * d2r));
  double raDeg = std::fmod(ra / d2r + 360.0, 360.0);
  double h = (refGmstHours(jd) * 15.0 + longitudeEast - raDeg) * d2r;
  double phi = latitude * d2r;
  double alt = std::asin(std::sin(phi) * std::sin(dec) + std::cos(phi) * std::cos(dec) * std::cos(h));
  double az = std::atan2(-std::sin(h), std::tan(dec) * std::cos(phi) - std::sin(phi) * std::cos(h));
  double azDeg = std::fmod(az / d2r + 360.0, 360.0);
  return {raDeg / 15.0, dec / d2r, azDeg, alt / d2r};
}

// The Julian day at which the reference sun crosses `altitude` (degrees) between jd0 and jd1,
// rising when `rising`; bisection on a bracket the caller chooses around the event.
inline double refCrossing(double jd0, double jd1, double latitude, double longitudeEast, double altitude) {
  auto f = [&](double jd) { return refSun(jd, latitude, longitudeEast).altitude - altitude; };
  double a = jd0, b = jd1, fa = f(a);
  for (int i = 0; i < 60; ++i) {
    double mid = (a + b) / 2, fm = f(mid);
    if ((fa < 0) == (fm < 0)) {
      a = mid;
      fa = fm;
    } else {
      b = mid;
    }
  }
  return (a + b) / 2;
}

}  // namespace kelvaro::test
