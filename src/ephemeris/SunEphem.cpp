#include "ephemeris/SunEphem.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/notify.h"

namespace kelvaro {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;

double rad(double deg) { return deg * kDegToRad; }
double deg(double r) { return r * kRadToDeg; }

// Beyond this many periods the stepwise reduction is replaced by fmod, which gives the
// same value within rounding and cannot take forever.
constexpr double kMaxPeriods = 1e6;

// Reduces x into [0, period] by whole periods, the way every reduction here is written.
double reduce(double x, double period, int* shift = nullptr) {
  if (!std::isfinite(x)) throw EInvalidNumber();
  int s = 0;
  if (std::fabs(x) > period * kMaxPeriods) {
    x = std::fmod(x, period);
    s = x < 0 ? -1 : 1;
    if (x < 0) x += period;
  }
  if (x < 0) s = -1;
  while (x < 0) x += period;
  if (x > period) s = 1;
  while (x > period) x -= period;
  if (shift) *shift = s;
  return x;
}

double checked(double x) {
  if (!std::isfinite(x)) throw EInvalidNumber();
  return x;
}

// arcsin/arccos of a value that left [-1, 1] only by rounding.
double safeAsin(double x) {
  if (std::isnan(x)) throw EInvalidNumber();
  return std::asin(std::clamp(x, -1.0, 1.0));
}
double safeAcos(double x) {
  if (std::isnan(x)) throw EInvalidNumber();
  return std::acos(std::clamp(x, -1.0, 1.0));
}

// Runs body; any fault other than the two that must reach the caller is shown with
// `message` and the routine returns what it had so far.
template <class Body>
void guarded(const char* message, Body&& body) {
  try {
    body();
  } catch (const EAmbiguousError&) {
    throw;
  } catch (const std::exception&) {
    showError(message);
  }
}

}  // namespace

double Int(double x) { return std::trunc(x); }
double Frac(double x) { return x - std::trunc(x); }

double Norm24(double hours, int* dayShift) { return reduce(hours, 24.0, dayShift); }

double DmsToDecimal(const DmsAngle& a) {
  double v = std::fabs(a.Degrees) + (std::fabs(a.Minutes) + std::fabs(a.Seconds / 60.0)) / 60.0;
  return a.Sign == -1 ? -v : v;
}

DmsAngle DecimalToDms(double x) {
  DmsAngle r;
  r.Sign = x >= 0 ? 1 : -1;
  double a = std::fabs(x) + 0.00000139;
  r.Degrees = Int(a);
  double b = (a - r.Degrees) * 60.0;
  r.Minutes = Int(b);
  r.Seconds = Int((b - r.Minutes) * 6000.0 / 100.0);
  return r;
}

double DayNumber(const CalendarDate& date) {
  double result = 0;
  guarded("Error calculating julian date", [&] {
    double y = checked(date.Year);
    double day = checked(date.Day);
    double month = checked(date.Month);
    if (y == 0) y = 1;
    if (y < 1) y = y + 1;
    double m = month;
    if (month < 3) {
      m = month + 12;
      y = y - 1;
    }
    double b = 0;
    bool gregorian = date.Year > 1582 || (date.Year == 1582 && (month > 10 || (month == 10 && day >= 15)));
    if (gregorian) {
      double a = Int(y / 100);
      b = 2 - a + Int(a / 4);
    }
    double c = Int(365.25 * y) - 694025;
    if (y < 0) c = Int(365.25 * y - 0.75) - 694025;
    double d = Int(30.6001 * (m + 1));
    result = b + c + d + day - 0.5;
  });
  return result;
}

double GST0(const CalendarDate& date) {
  double dj = DayNumber(date);
  double d = Int(dj - 0.5) + 0.5;
  double t = d / 36525.0 - 1;
  double r0 = t * (0.0513366 + t * (0.00002586222 - 0.000000001722 * t));
  double r1 = 6.697374558 + 2400 * (t - (date.Year - 2000) / 100.0);
  return Norm24(r0 + r1);
}

SiderealTimes LocalToSidereal(const CalendarDate& date, double dst, double lct, double zone, double longitude) {
  SiderealTimes r;
  guarded("Error calculating sidereal time", [&] {
    double t0 = GST0(date);
    int shift = 0;
    double ut = Norm24(lct - dst - zone, &shift);
    if (shift == 1) t0 = t0 + 0.0657098244;
    if (shift == -1) t0 = t0 - 0.0657098244;
    double gst = Norm24(ut * 1.002737908 + t0);
    double lst = Norm24(gst + longitude / 15.0);
    r = {lst, gst, ut};
  });
  return r;
}

LocalTimes SiderealToLocal(const CalendarDate& date, double dst, double lst, double zone, double longitude) {
  double t0 = Norm24(GST0(date) - (dst + zone) * 1.002737908);
  double gst = Norm24(lst - longitude / 15.0);
  if (gst < t0) gst = gst + 24;
  double lct = Norm24((gst - t0) * 0.9972695677);
  double ut = Norm24(lct - dst - zone);
  if (lct < 0.06552) throw EAmbiguousError();
  return {lct, gst, ut};
}

NutationTerms Nutation(const CalendarDate& date) {
  NutationTerms r;
  guarded("Error calculating nutation", [&] {
    double t = DayNumber(date) / 36525.0;
    double t2 = t * t;
    double l2 = rad(2 * (279.6967 + 0.000303 * t2 + 360 * Frac(100.0021358 * t)));
    double d2 = rad(2 * (270.4342 - 0.001133 * t2 + 360 * Frac(1336.855231 * t)));
    double m1 = rad(358.4758 - 0.00015 * t2 + 360 * Frac(99.99736056 * t));
    double m2 = rad(296.1046 + 0.009192 * t2 + 360 * Frac(1325.552359 * t));
    double n1deg = 259.1833 + 0.002078 * t2 - 360 * Frac(5.372616667 * t);
    double n1 = rad(n1deg);
    double n2 = rad(2 * n1deg);
    using std::cos;
    using std::sin;
    double dp = (-17.2327 - 0.01737 * t) * sin(n1) + (-1.2729 - 0.00013 * t) * sin(l2) + 0.2088 * sin(n2) -
                0.2037 * sin(d2) + (0.1261 - 0.00031 * t) * sin(m1) + 0.0675 * sin(m2) -
                (0.0497 - 0.00012 * t) * sin(l2 + m1) - 0.0342 * sin(d2 - n1) - 0.0261 * sin(d2 + m2) +
                0.0214 * sin(l2 - m1) - 0.0149 * sin(l2 - d2 + m2) + 0.0124 * sin(l2 - n1) + 0.0114 * sin(d2 - m2);
    double d0 = (9.21 + 0.00091 * t) * cos(n1) + (0.5522 - 0.00029 * t) * cos(l2) - 0.0904 * cos(n2) +
                0.0884 * cos(d2) + 0.0216 * cos(l2 + m1) + 0.0183 * cos(d2 - n1) + 0.0113 * cos(d2 + m2) -
                0.0093 * cos(l2 - m1) - 0.0066 * cos(l2 - n1);
    r.DeltaPsi = checked(dp / 3600.0);
    r.DeltaEpsilon = checked(d0 / 3600.0);
  });
  return r;
}

double Obliquity(const CalendarDate& date) {
  double result = 0;
  guarded("Error calculating obliquity", [&] {
    double t = DayNumber(date) / 36525.0 - 1;
    double c = t * (46.815 + t * (0.0006 - 0.00181 * t)) / 3600.0;
    result = checked(23.43929167 - c + Nutation(date).DeltaEpsilon);
  });
  return result;
}

EquatorialPosition EclipticToEquatorial(const CalendarDate& date, double eclipticLongitude,
                                        double eclipticLatitude) {
  EquatorialPosition r;
  guarded("Error calculating ecliptic to equatorial", [&] {
    double eps = rad(Obliquity(date));
    double lambda = rad(checked(eclipticLongitude));
    double beta = rad(checked(eclipticLatitude));
    double cb = std::cos(beta);
    if (std::fabs(cb) < 1e-20) cb = 1e-20;
    double tb = std::sin(beta) / cb;
    double sd = std::sin(beta) * std::cos(eps) + cb * std::sin(eps) * std::sin(lambda);
    double delta = safeAsin(sd);
    double y = std::sin(lambda) * std::cos(eps) - tb * std::sin(eps);
    double cl = std::cos(lambda);
    double alpha = std::atan(y / cl);
    if (cl < 0) alpha = alpha + 3.1415926535;
    alpha = reduce(alpha, 6.283185307);
    r.RightAscension = deg(alpha) / 15.0;
    r.Declination = deg(delta);
  });
  return r;
}

double HourAngleOf(const CalendarDate& date, double dst, double rightAscension, double lct, double zone,
                   double longitude) {
  double result = 0;
  guarded("Error calculating hour angle", [&] {
    double lst = LocalToSidereal(date, dst, lct, zone, longitude).LST;
    result = reduce(lst - rightAscension, 24.0);
  });
  return result;
}

HorizonPosition EquatorialToHorizon(double hourAngle, double declination, double latitude) {
  HorizonPosition r;
  guarded("Error calculating azimuth and altitude", [&] {
    double h = rad(checked(hourAngle) * 15.0);
    double d = rad(checked(declination));
    double phi = rad(checked(latitude));
    double sa = std::sin(d) * std::sin(phi) + std::cos(d) * std::cos(phi) * std::cos(h);
    double a = safeAsin(sa);
    double t = std::cos(phi) * std::cos(a);
    if (t < 1e-10) t = 1e-10;
    double az = safeAcos((std::sin(d) - std::sin(phi) * std::sin(a)) / t);
    if (std::sin(h) > 0) az = 6.283185308 - az;
    r.Azimuth = deg(az);
    r.Altitude = deg(a);
  });
  return r;
}

AnomalyPair SolveKepler(double eccentricity, double meanAnomaly) {
  const double e = eccentricity;
  if (e < 0 || e > 1) throw EOtherError("Invalid eccentricity");
  AnomalyPair r;
  guarded("Error calculating anomolies", [&] {
    double m = rad(checked(meanAnomaly));
    m = m - 6.283185308 * Int(m / 6.283185308);
    double E = m;
    // Converges in a handful of steps for 0 <= e < 1; the cap only stops a runaway.
    for (int i = 0;; ++i) {
      double d = E - e * std::sin(E) - m;
      if (std::fabs(d) < 0.000001) break;
      if (i >= 10000 || !std::isfinite(d)) throw EInvalidNumber();
      E = E - d / (1 - e * std::cos(E));
    }
    double nu = 2 * std::atan(std::sqrt((1 + e) / (1 - e)) * std::tan(E / 2));
    r.EccentricAnomaly = deg(E);
    r.TrueAnomaly = deg(nu);
  });
  return r;
}

SunPosition ComputeSunPosition(const CalendarDate& date, double dst, double lct, double zone, double latitude,
                               double longitude) {
  SunPosition p;
  try {
    double ut = lct - dst - zone;
    double dj = DayNumber(date);
    double t = dj / 36525.0 + ut / 876600.0;
    double t2 = t * t;
    double l = 279.69668 + 0.0003025 * t2 + 360 * Frac(100.0021359 * t);
    double m1 = 358.47583 - (0.00015 + 0.0000033 * t) * t2 + 360 * Frac(99.99736042 * t);
    double ec = 0.01675104 - 0.0000418 * t - 0.000000126 * t2;
    AnomalyPair k = SolveKepler(ec, m1);
    double a1 = rad(153.23 + 360 * Frac(62.55209472 * t));
    double b1 = rad(216.57 + 360 * Frac(125.1041894 * t));
    double c1 = rad(312.69 + 360 * Frac(91.56766028 * t));
    double d1 = rad(350.74 - 0.00144 * t2 + 360 * Frac(1236.853095 * t));
    double e1 = rad(231.19 + 20.2 * t);
    double h1 = rad(353.4 + 360 * Frac(183.1353208 * t));
    double d2 = 0.00134 * std::cos(a1) + 0.00154 * std::cos(b1) + 0.002 * std::cos(c1) + 0.00179 * std::sin(d1) +
                0.00178 * std::sin(e1);
    double d3 = 0.00000543 * std::sin(a1) + 0.00001575 * std::sin(b1) + 0.00001627 * std::sin(c1) +
                0.00003076 * std::cos(d1) + 0.00000927 * std::sin(h1);
    double sr = rad(k.TrueAnomaly) + rad(l - m1 + d2);
    sr = reduce(sr, 6.283185307);
    double rr = 1.0000002 * (1 - ec * std::cos(rad(k.EccentricAnomaly))) + d3;
    p.GeometricLongitude = deg(sr);
    p.Distance = Int(rr * 100000 + 0.5) / 100000;
    EquatorialPosition g = EclipticToEquatorial(date, p.GeometricLongitude, 0);
    p.GeometricRightAscension = g.RightAscension;
    p.GeometricDeclination = g.Declination;
    p.ApparentLongitude = p.GeometricLongitude + Nutation(date).DeltaPsi - 0.00569;
    EquatorialPosition a = EclipticToEquatorial(date, p.ApparentLongitude, 0);
    p.RightAscension = a.RightAscension;
    p.Declination = a.Declination;
    p.HourAngle = HourAngleOf(date, dst, p.RightAscension, lct, zone, longitude);
    HorizonPosition hz = EquatorialToHorizon(p.HourAngle, p.Declination, latitude);
    p.Azimuth = hz.Azimuth;
    p.Altitude = hz.Altitude;
    p.LocalTime = lct;
  } catch (const std::exception&) {
    showError("Error calculating sun position");
  }
  return p;
}

RiseSetEvents RiseSetAt(const CalendarDate& date, double dst, double shift, double declination,
                        double rightAscension, double zone, double latitude, double longitude) {
  RiseSetEvents r;
  double phi = rad(latitude);
  double delta = rad(declination);
  double v = rad(shift);
  double alpha = rad(rightAscension * 15.0);
  double cosH = -(std::sin(v) + std::sin(phi) * std::sin(delta)) / (std::cos(phi) * std::cos(delta));
  if (std::isnan(cosH)) throw EInvalidNumber();
  if (cosH < -1) throw ESetError();
  if (cosH > 1) throw ERiseError();
  double ar = safeAcos((std::sin(delta) + std::sin(phi) * std::sin(v)) / (std::cos(phi) * std::cos(v)));
  double h = deg(std::acos(cosH)) / 15.0;
  double ah = deg(alpha) / 15.0;
  r.RiseLST = 24 + ah - h;
  LocalTimes rise = SiderealToLocal(date, dst, r.RiseLST, zone, longitude);
  r.RiseLCT = rise.LCT;
  r.RiseGST = rise.GST;
  r.RiseUT = rise.UT;
  r.SetLST = ah + h;
  LocalTimes set = SiderealToLocal(date, dst, r.SetLST, zone, longitude);
  r.SetLCT = set.LCT;
  r.SetGST = set.GST;
  r.SetUT = set.UT;
  r.RiseLST = reduce(r.RiseLST, 24.0);
  r.SetLST = reduce(r.SetLST, 24.0);
  r.RiseAzimuth = deg(reduce(ar, 6.283185307));
  r.SetAzimuth = deg(reduce(6.283185307 - ar, 6.283185307));
  r.MidLST = reduce(r.RiseLST + (r.SetLST - r.RiseLST) / 2, 24.0);
  return r;
}

RiseSetTimes SunriseSunset(const CalendarDate& date, double dst, double zone, double latitude, double longitude) {
  const double shift = deg(0.01454441);
  RiseSetTimes out;

  SunPosition noon = ComputeSunPosition(date, dst, 12.0, zone, 0, 0);
  RiseSetEvents first =
      RiseSetAt(date, dst, shift, noon.Declination, noon.RightAscension, zone, latitude, longitude);
  double ur = SiderealToLocal(date, dst, first.RiseLST, zone, longitude).UT;
  double us = SiderealToLocal(date, dst, first.SetLST, zone, longitude).UT;

  for (int pass = 0; pass < 2; ++pass) {
    bool rising = pass == 0;
    double u = rising ? ur : us;
    double t = dst + u + zone;
    CalendarDate day = date;
    if (t > 24) day.Day = date.Day - 1;
    if (t < 0) day.Day = date.Day + 1;
    SunPosition s = ComputeSunPosition(day, dst, t, zone, latitude, longitude);
    RiseSetEvents ev = RiseSetAt(day, dst, shift, s.Declination, s.RightAscension, zone, latitude, longitude);
    if (rising) {
      LocalTimes lt = SiderealToLocal(date, dst, ev.RiseLST, zone, longitude);
      out.RiseUT = lt.UT;
      out.RiseLCT = lt.LCT;
      out.RiseAzimuth = ev.RiseAzimuth;
    } else {
      LocalTimes lt = SiderealToLocal(date, dst, ev.SetLST, zone, longitude);
      out.SetUT = lt.UT;
      out.SetLCT = lt.LCT;
      out.SetAzimuth = ev.SetAzimuth;
    }
  }
  return out;
}

double SolarNoon(const CalendarDate& date, double dst, double zone, double longitude) {
  return SolarNoonOf(SunriseSunset(date, dst, zone, 0, longitude));
}

}  // namespace kelvaro
