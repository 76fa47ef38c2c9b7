#include "shadow/SiteTime.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace kelvaro {
namespace {

std::string dmsText(const DmsAngle& a, char letter) {
  return Pad2(static_cast<long long>(a.Degrees)) + ":" + Pad2(static_cast<long long>(a.Minutes)) + ":" +
         Pad2(static_cast<long long>(a.Seconds)) + " " + letter;
}

bool allDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// A stored number as a whole input value within the input's range; anything that is not a
// number (a damaged setting) gives the fallback.
int inputValue(double v, int lo, int hi, int fallback) {
  if (!std::isfinite(v)) return fallback;
  v = RoundHalfEven(v);
  if (v < lo) return lo;
  if (v > hi) return hi;
  return static_cast<int>(v);
}

DmsAngle storedDms(double v, double fallback) { return DecimalToDms(std::isfinite(v) ? v : fallback); }

}  // namespace

void ReadSiteInputs(const SiteInputs& in, SiteTime& site) {
  site.RiseSet.RiseLCT = 0;
  site.RiseSet.SetLCT = 0;

  int lonMinutes = in.LonMinutes;
  int lonSeconds = in.LonSeconds;
  if (in.LonDegrees == 180) {
    lonMinutes = 0;
    lonSeconds = 0;
  }
  site.Longitude = {static_cast<double>(in.LonDegrees), static_cast<double>(lonMinutes),
                    static_cast<double>(lonSeconds), static_cast<std::int8_t>(in.East ? 1 : -1)};
  site.Latitude = {static_cast<double>(in.LatDegrees), static_cast<double>(in.LatMinutes),
                   static_cast<double>(in.LatSeconds), static_cast<std::int8_t>(in.South ? -1 : 1)};
  site.DaylightSaving = static_cast<std::uint8_t>(in.DaylightSaving);
  site.TimeZone = {static_cast<double>(std::abs(in.ZoneHours)), static_cast<double>(in.ZoneMinutes), 0,
                   static_cast<std::int8_t>(in.ZoneHours < 0 ? -1 : 1)};
  site.Date = {static_cast<double>(in.Day), static_cast<double>(in.Month), static_cast<double>(in.Year)};

  site.LatitudeText = dmsText(site.Latitude, in.South ? 'S' : 'N');
  site.LongitudeText = dmsText(site.Longitude, in.East ? 'E' : 'W');
  site.DaylightSavingText = std::to_string(in.DaylightSaving) + ":00";
  site.TimeZoneText = std::string(site.TimeZone.Sign == -1 ? "-" : "") + std::to_string(std::abs(in.ZoneHours)) +
                      ":" + Pad2(in.ZoneMinutes);
  site.Orientation = in.Orientation;
}

void ShowSettings(const ShadowSettings& s, DialogInputs& in) {
  SiteInputs& site = in.Site;
  DmsAngle lat = storedDms(s.gLatitude, 52.0);
  site.LatDegrees = inputValue(lat.Degrees, 0, 89, 52);
  site.LatMinutes = inputValue(lat.Minutes, 0, 59, 0);
  site.LatSeconds = inputValue(lat.Seconds, 0, 59, 0);
  site.South = lat.Sign == -1;
  DmsAngle lon = storedDms(s.gLongitude, 0.0);
  site.LonDegrees = inputValue(lon.Degrees, 0, 180, 0);
  site.LonMinutes = inputValue(lon.Minutes, 0, 59, 0);
  site.LonSeconds = inputValue(lon.Seconds, 0, 59, 0);
  site.East = lon.Sign == -1;  // stored west-positive
  DmsAngle zone = storedDms(s.gTimeZone, 0.0);
  // East of the date line standard time reaches +14 (Samoa, Tonga, Kiribati).
  site.ZoneHours = inputValue(zone.Degrees, 0, zone.Sign == -1 ? 12 : 14, 0) * (zone.Sign == -1 ? -1 : 1);
  site.ZoneMinutes = inputValue(zone.Minutes, 0, 45, 0);
  site.DaylightSaving = inputValue(s.gDaylightSaving, 0, 6, 0);
  site.Orientation = inputValue(s.cadOrient, 0, 359, 135);
  in.Threshold = inputValue(s.cadThreshold, 1, 45, 10);
  in.HeightText = std::to_string(inputValue(s.cadStrucHeight, 1, 999999, 2000));
  in.TextHeightText = std::to_string(inputValue(s.cadTxtHeight, 1, 999999, 100));
  in.Inches = s.cadUnits;
}

void CaptureSettings(const DialogInputs& in, ShadowSettings& s) {
  const SiteInputs& site = in.Site;
  s.gLatitude = DmsToDecimal({static_cast<double>(site.LatDegrees), static_cast<double>(site.LatMinutes),
                              static_cast<double>(site.LatSeconds), static_cast<std::int8_t>(site.South ? -1 : 1)});
  s.gLongitude = DmsToDecimal({static_cast<double>(site.LonDegrees), static_cast<double>(site.LonMinutes),
                               static_cast<double>(site.LonSeconds), static_cast<std::int8_t>(site.East ? -1 : 1)});
  s.gTimeZone = DmsToDecimal({static_cast<double>(std::abs(site.ZoneHours)), static_cast<double>(site.ZoneMinutes), 0,
                              static_cast<std::int8_t>(site.ZoneHours < 0 ? -1 : 1)});
  s.gDaylightSaving = site.DaylightSaving;
  s.cadThreshold = in.Threshold;
  s.cadOrient = site.Orientation;
  int v = 0;
  if (ParseHeightText(in.HeightText, v)) s.cadStrucHeight = v;
  if (ParseHeightText(in.TextHeightText, v)) s.cadTxtHeight = v;
  s.cadUnits = in.Inches;
}

void ApplyFoundPosition(double longitude, double latitude, double zone, SiteInputs& in) {
  DmsAngle lon = DecimalToDms(longitude);
  in.LonDegrees = static_cast<int>(lon.Degrees);
  in.LonMinutes = static_cast<int>(lon.Minutes);
  in.LonSeconds = static_cast<int>(lon.Seconds);
  in.East = lon.Sign != -1;
  DmsAngle lat = DecimalToDms(latitude);
  in.LatDegrees = static_cast<int>(lat.Degrees);
  in.LatMinutes = static_cast<int>(lat.Minutes);
  in.LatSeconds = static_cast<int>(lat.Seconds);
  in.South = lat.Sign == -1;
  DmsAngle z = DecimalToDms(zone);
  in.ZoneHours = static_cast<int>(z.Degrees) * (z.Sign == -1 ? -1 : 1);
  in.ZoneMinutes = static_cast<int>(z.Minutes);
}

bool ParseHeightText(const std::string& text, int& value) {
  if (!allDigits(text) || text.size() > 6) return false;
  int v = std::atoi(text.c_str());
  if (v < 1) return false;
  value = v;
  return true;
}

std::string NormalizeHeightText(const std::string& text) {
  int v = 0;
  return ParseHeightText(text, v) ? text : std::string("1");
}

}  // namespace kelvaro
