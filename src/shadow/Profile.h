#pragma once
// The hourly shadow profile behind the two shadow diagrams and the shadow data reports.
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "ephemeris/Format.h"
#include "shadow/SiteTime.h"

namespace kelvaro {

struct ProfileHour {
  double Time = 0;           // local civil hours, 1..24
  double Azimuth = 0;        // degrees from North through East
  double Altitude = 0;       // degrees
  double ShadowBearing = 0;  // degrees from North through East
  double ShadowLength = 0;   // drawing units
  double ShadowX = 0;        // east component
  double ShadowY = 0;        // north component
  double Reserved1 = 0;
  double ProfileAngle = 0;   // degrees
  double ProfileWidth = 0;   // across the orientation
  double ProfileWidthCopy = 0;
  double Reserved2 = 0;
};

struct ShadowProfile {
  std::string HorizontalTitle;
  std::string VerticalTitle;
  std::string SiteLine;
  std::string SunLine;
  std::string CreatedLine;
  std::string HorizontalNote;
  std::string VerticalNote;
  RiseSetTimes RiseSet;  // local times 0 when the sun never sets
  std::int32_t Threshold = 0;
  std::int32_t Height = 0;
  std::int32_t TextHeight = 0;
  std::int32_t Orientation = 0;
  bool Inches = false;
  std::array<ProfileHour, 24> Hours{};  // Hours[n - 1] is hour n
};

struct ENoShadow : std::runtime_error {
  ENoShadow() : std::runtime_error("No shadows") {}
};

// The dialog inputs the profile reads besides the site record.
struct ProfileInputs {
  bool Inches = false;
  int Height = 2000;
  int TextHeight = 100;
  int Threshold = 10;
};

// What the texts need from outside: today's date, the locale's date names and the title.
struct ProfileTextContext {
  CalendarDate Today;
  DateLocale Locale = DefaultDateLocale();
  std::string ApplicationTitle = "Sardon Kelvaro";
};

inline constexpr std::size_t kProfileTextLimit = 255;

// Fills `profile` and site.UnitsText. On failure shows the message (information or error)
// and returns false; the profile then holds whatever was computed so far. The caller resets
// the profile's rise and set local times before, as reading the inputs does.
bool ComputeProfile(SiteTime& site, const ProfileInputs& in, ShadowProfile& profile,
                    const ProfileTextContext& context);

// The same with today's date and the default date locale.
bool ComputeProfile(SiteTime& site, const ProfileInputs& in, ShadowProfile& profile);

// Shadow direction: the azimuth turned by 180 degrees, in (0, 360] (azimuth 180 gives 360).
double ShadowBearingOf(double azimuth);
// Horizontal shadow length of the top of a structure; 0 with the sun below the horizon.
double ShadowLengthOf(double height, double altitude);
// One hourly entry from the sun's azimuth and altitude.
ProfileHour MakeProfileHour(double time, double azimuth, double altitude, double height, int orientation);

// A text cut to at most `limit` characters (UTF-8 aware).
std::string CutText(const std::string& text, std::size_t limit = kProfileTextLimit);

}  // namespace kelvaro
