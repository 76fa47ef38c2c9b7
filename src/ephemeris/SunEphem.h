#pragma once
// Low-precision solar ephemeris: sexagesimal and calendar conversions, sidereal time,
// nutation and obliquity, coordinate transforms, Kepler's equation, the sun's position,
// sunrise and sunset. Stateless; angles in degrees and times of day in decimal hours at
// every interface. Longitude and time zone are east-positive, latitude north-positive.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace kelvaro {

// An angle or a time in sexagesimal parts. The parts hold whole numbers and are never
// negative; Sign is -1 or +1 (any other value counts as +1).
struct DmsAngle {
  double Degrees = 0;
  double Minutes = 0;
  double Seconds = 0;
  std::int8_t Sign = 1;
};

// Year 0 is treated as year 1; months 1-12. Days outside the month are counted on linearly.
struct CalendarDate {
  double Day = 0;
  double Month = 0;
  double Year = 0;
};

struct SiderealTimes {
  double LST = 0;
  double GST = 0;
  double UT = 0;
};

struct LocalTimes {
  double LCT = 0;
  double GST = 0;
  double UT = 0;
};

struct NutationTerms {
  double DeltaPsi = 0;      // degrees
  double DeltaEpsilon = 0;  // degrees
};

struct EquatorialPosition {
  double RightAscension = 0;  // hours
  double Declination = 0;     // degrees
};

struct HorizonPosition {
  double Azimuth = 0;   // degrees from North through East
  double Altitude = 0;  // degrees
};

struct AnomalyPair {
  double EccentricAnomaly = 0;  // degrees
  double TrueAnomaly = 0;       // degrees
};

struct SunPosition {
  double GeometricLongitude = 0;       // degrees [0, 360]
  double Distance = 0;                 // AU, five decimals
  double GeometricRightAscension = 0;  // hours
  double GeometricDeclination = 0;     // degrees
  double ApparentLongitude = 0;        // degrees
  double RightAscension = 0;           // apparent, hours
  double Declination = 0;              // apparent, degrees
  double HourAngle = 0;                // hours [0, 24]
  double Azimuth = 0;                  // degrees from North through East
  double Altitude = 0;                 // degrees, no refraction
  double LocalTime = 0;                // local civil hours the position is for
};

struct RiseSetEvents {
  double RiseLST = 0;
  double RiseGST = 0;
  double RiseUT = 0;
  double RiseLCT = 0;
  double RiseAzimuth = 0;
  double SetLST = 0;
  double SetGST = 0;
  double SetUT = 0;
  double SetLCT = 0;
  double SetAzimuth = 0;
  double MidLST = 0;
};

struct RiseSetTimes {
  double RiseUT = 0;
  double RiseLCT = 0;
  double RiseAzimuth = 0;
  double SetUT = 0;
  double SetLCT = 0;
  double SetAzimuth = 0;
  double Reserved = 0;  // never set
};

// Conditions of the ephemeris that callers handle; what() is the user-visible message.
struct EEphemerisError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct ESetError : EEphemerisError {
  ESetError() : EEphemerisError("The sun never sets") {}
};
struct ERiseError : EEphemerisError {
  ERiseError() : EEphemerisError("The sun never rises") {}
};
struct EAmbiguousError : EEphemerisError {
  EAmbiguousError()
      : EEphemerisError(
            "Ambiguous result in calculation of sunrise and sunset during conversion of sidereal to local time.") {}
};
struct EOtherError : EEphemerisError {
  using EEphemerisError::EEphemerisError;
};
// Arithmetic that produced no finite number (the routines report it with their own message).
struct EInvalidNumber : EEphemerisError {
  EInvalidNumber() : EEphemerisError("Invalid floating point operation") {}
};

// Truncation toward zero and the matching fractional part (negative for negative x).
double Int(double x);
double Frac(double x);

// Adds or subtracts 24 until the value lies in [0, 24] (24 stays 24); dayShift receives
// -1 when the value was below 0, +1 when above 24, else 0. Non-finite: EInvalidNumber.
double Norm24(double hours, int* dayShift = nullptr);

double DmsToDecimal(const DmsAngle& a);
DmsAngle DecimalToDms(double x);

// Days since 1900 January 0.5. Failure: shows "Error calculating julian date", returns 0.
double DayNumber(const CalendarDate& date);

// Greenwich sidereal time at 0h UT of the date.
double GST0(const CalendarDate& date);

SiderealTimes LocalToSidereal(const CalendarDate& date, double dst, double lct, double zone, double longitude);
// Raises EAmbiguousError when the local civil time falls below 0.06552 hours.
LocalTimes SiderealToLocal(const CalendarDate& date, double dst, double lst, double zone, double longitude);

double Obliquity(const CalendarDate& date);
NutationTerms Nutation(const CalendarDate& date);
EquatorialPosition EclipticToEquatorial(const CalendarDate& date, double eclipticLongitude, double eclipticLatitude);
double HourAngleOf(const CalendarDate& date, double dst, double rightAscension, double lct, double zone,
                   double longitude);
HorizonPosition EquatorialToHorizon(double hourAngle, double declination, double latitude);
// Raises EOtherError "Invalid eccentricity" for e outside [0, 1].
AnomalyPair SolveKepler(double eccentricity, double meanAnomaly);

SunPosition ComputeSunPosition(const CalendarDate& date, double dst, double lct, double zone, double latitude,
                               double longitude);

// Rising and setting of a body at a fixed right ascension and declination. Raises ESetError,
// ERiseError, EAmbiguousError.
RiseSetEvents RiseSetAt(const CalendarDate& date, double dst, double shift, double declination,
                        double rightAscension, double zone, double latitude, double longitude);

// Sunrise and sunset of the date at the place; every exception passes to the caller.
RiseSetTimes SunriseSunset(const CalendarDate& date, double dst, double zone, double latitude, double longitude);

// Local solar noon as the callers take it: halfway between the local rise and set times.
inline double SolarNoonOf(const RiseSetTimes& rs) { return rs.RiseLCT + (rs.SetLCT - rs.RiseLCT) / 2; }

// Solar noon of the reports and the calculator: sunrise and sunset at latitude 0 with the
// site's longitude, zone and daylight saving. Exceptions pass to the caller.
double SolarNoon(const CalendarDate& date, double dst, double zone, double longitude);

}  // namespace kelvaro
