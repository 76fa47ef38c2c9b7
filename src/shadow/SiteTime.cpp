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
  DmsAngle lat = DecimalToDms(s.gLatitude);
  site.LatDegrees = static_cast<int>(RoundHalfEven(lat.Degrees));
  site.LatMinutes = static_cast<int>(RoundHalfEven(lat.Minutes));
  site.LatSeconds = static_cast<int>(RoundHalfEven(lat.Seconds));
  site.South = lat.Sign == -1;
  DmsAngle lon = DecimalToDms(s.gLongitude);
  site.LonDegrees = static_cast<int>(RoundHalfEven(lon.Degrees));
  site.LonMinutes = static_cast<int>(RoundHalfEven(lon.Minutes));
  site.LonSeconds = static_cast<int>(RoundHalfEven(lon.Seconds));
  site.East = lon.Sign == -1;  // stored west-positive
  DmsAngle zone = DecimalToDms(s.gTimeZone);
  site.ZoneHours = static_cast<int>(RoundHalfEven(zone.Degrees)) * (zone.Sign == -1 ? -1 : 1);
  site.ZoneMinutes = static_cast<int>(RoundHalfEven(zone.Minutes));
  site.DaylightSaving = s.gDaylightSaving;
  site.Orientation = s.cadOrient;
  in.Threshold = s.cadThreshold;
  in.HeightText = std::to_string(s.cadStrucHeight);
  in.TextHeightText = std::to_string(s.cadTxtHeight);
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
