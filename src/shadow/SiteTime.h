#pragma once
// The site-and-time record every analysis reads, how the settings dialog's inputs are read
// into it, and the dialog's stored settings with their conversions to and from the inputs.
// Plain C++: the settings window and the batch tool both drive these functions.
#include <cstdint>
#include <string>

#include "ephemeris/Format.h"
#include "ephemeris/SunEphem.h"

namespace kelvaro {

struct SiteTime {
  DmsAngle Longitude;             // Sign -1 West, +1 East
  DmsAngle Latitude;              // Sign -1 South, +1 North
  std::uint8_t DaylightSaving = 0;
  DmsAngle TimeZone;              // Degrees = |hours|, Minutes 0-45, Sign from the hours entry
  CalendarDate Date;
  std::string LatitudeText;       // "52:00:00 N"
  std::string LongitudeText;      // "00:00:00 W"
  std::string TimeZoneText;       // "-5:00", "5:30", "0:00"
  std::string DaylightSavingText; // "1:00"
  int Orientation = 0;            // degrees from North
  int Inclination = 0;            // degrees from horizontal
  std::string UnitsText;          // "mm" or "inches"
  RiseSetTimes RiseSet;
  SunPosition Sun;

  // Decimal values for the computations (east-positive longitude and zone).
  double latitude() const { return DmsToDecimal(Latitude); }
  double longitude() const { return DmsToDecimal(Longitude); }
  double zone() const { return DmsToDecimal(TimeZone); }
  double dst() const { return DaylightSaving; }
};

// The raw values of the dialog's site, date and zone inputs.
struct SiteInputs {
  int LatDegrees = 52, LatMinutes = 0, LatSeconds = 0;
  bool South = false;
  int LonDegrees = 0, LonMinutes = 0, LonSeconds = 0;
  bool East = false;
  int ZoneHours = 0;    // "(West negative)", -12..14
  int ZoneMinutes = 0;  // 0..45
  int DaylightSaving = 0;
  int Day = 1, Month = 1, Year = 2000;  // the date picker
  int Orientation = 135;
};

// Reads the inputs into `site` as the dialog does at every OK: resets the local rise and set
// times, applies the 180-degree rule and the zone sign rule, and writes the four texts.
void ReadSiteInputs(const SiteInputs& in, SiteTime& site);

// The twelve stored settings (registry key Software\Dravenco\Kelvaro\Shadow), defaults as
// when the key is absent. gLongitude is west-positive.
struct ShadowSettings {
  double gLatitude = 52.0;
  double gLongitude = 0.0;
  double gTimeZone = 0.0;
  int gDaylightSaving = 0;
  int cadStrucHeight = 2000;
  int cadTxtHeight = 100;
  int cadThreshold = 10;
  int cadOrient = 135;
  bool cadUnits = false;  // true: inches
  int repOrientation1 = 135;
  int repOrientation2 = 135;
  int repInclination = 60;
};

// Every input of the settings dialog the stored settings feed.
struct DialogInputs {
  SiteInputs Site;
  std::string HeightText = "2000";
  std::string TextHeightText = "100";
  bool Inches = false;
  int Threshold = 10;
};

// Show: fills the inputs from the stored settings (the date picker is left alone).
void ShowSettings(const ShadowSettings& s, DialogInputs& in);
// Capture: stores the inputs. Height texts that are not positive integers keep the stored value.
void CaptureSettings(const DialogInputs& in, ShadowSettings& s);

// Position finder result (decimal, east- and north-positive) into the inputs.
void ApplyFoundPosition(double longitude, double latitude, double zone, SiteInputs& in);

// Leaving a height field: anything that is not an integer of at least 1 becomes "1";
// at most six digits are kept.
std::string NormalizeHeightText(const std::string& text);
// A positive integer height, or false.
bool ParseHeightText(const std::string& text, int& value);

}  // namespace kelvaro
