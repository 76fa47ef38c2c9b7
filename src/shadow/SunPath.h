#pragma once
// The sunrise and sunset check of the sun-path modes and the one-minute sun path handed to
// the overhang and fin models and to the 3D view.
#include <string>
#include <vector>

#include "ephemeris/Format.h"
#include "shadow/SiteTime.h"

namespace kelvaro {

struct SunSample {
  double Azimuth = 0;   // degrees from North through East
  double Altitude = 0;  // degrees
  double Time = 0;      // local civil hours
};

// Computes site.RiseSet with the site's daylight saving. "The sun never sets" is shown as
// information and the check succeeds with every rise and set value (times and azimuths) at 0; "The sun never rises"
// (information), the ambiguity (error) and a set time before the rise time (error) fail it.
bool CheckRiseSet(SiteTime& site);

enum class SunPathTarget { Models, View3D };

// One sample per minute from sunrise to sunset (the whole day, 1440 samples, when the rise
// or set time is 0).
struct SunPathSpan {
  double Start = 0;
  int Count = 0;
};
SunPathSpan SunPathSpanOf(double rise, double set, SunPathTarget target);
std::vector<SunSample> BuildSunPath(const SiteTime& site, SunPathTarget target);

// The overhang model's two noon positions: 21 April and 21 October of `year` with no
// daylight saving; swapped south of the equator. Exceptions of the ephemeris pass to the
// caller. The site record is left unchanged.
struct OverhangNoons {
  HorizonPosition NoonFirst;
  HorizonPosition NoonSecond;
};
OverhangNoons ComputeOverhangNoons(const SiteTime& site, int year);

// The labels of the model and 3D windows.
struct SunPathLabels {
  std::string Date;       // short date format
  std::string Latitude;   // LatitudeText
  std::string Longitude;  // LongitudeText
  std::string Sunrise;    // "05:02:33 " (hours padded, one blank after)
  std::string Sunset;
};
SunPathLabels MakeSunPathLabels(const SiteTime& site, const DateLocale& locale = DefaultDateLocale());

}  // namespace kelvaro
