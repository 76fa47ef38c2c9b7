#include "shadow/Profile.h"

#include <cmath>
#include <numbers>

#include "platform/notify.h"

namespace kelvaro {
namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

void fillTexts(const SiteTime& site, ShadowProfile& p, const ProfileTextContext& ctx) {
  const std::string date = FormatDate(site.Date, "dddddd", ctx.Locale);
  const std::string height = std::to_string(p.Height) + site.UnitsText;
  p.HorizontalTitle = CutText("HORIZONTAL SHADOW PROFILE for " + date + ", Height of Structure " + height);
  p.VerticalTitle = CutText("VERTICAL SHADOW PROFILE for " + date + ", Height of Structure " + height +
                            ", Orientation " + std::to_string(p.Orientation) + "degs");
  p.SiteLine = CutText("Latitude " + site.LatitudeText + ", Longitude " + site.LongitudeText + ", Time Zone " +
                       site.TimeZoneText + ", Daylight Saving " + site.DaylightSavingText);
  p.SunLine = CutText("Sunrise " + FormatTime(p.RiseSet.RiseLCT) + " " + "Sunset " + FormatTime(p.RiseSet.SetLCT));
  p.CreatedLine = CutText("Created by " + ctx.ApplicationTitle + ", " + FormatDate(ctx.Today, "dddddd", ctx.Locale));
  p.HorizontalNote = "Profile shows horizontal direction and length of shadows cast";
  p.VerticalNote = "Profile shows vertical direction and width of shadows cast";
}

bool fillHours(const SiteTime& site, ShadowProfile& p) {
  bool shadowed = false;
  for (int n = 1; n <= 24; ++n) {
    SunPosition sun =
        ComputeSunPosition(site.Date, site.dst(), n, site.zone(), site.latitude(), site.longitude());
    ProfileHour& h = p.Hours[n - 1];
    h = MakeProfileHour(n, sun.Azimuth, sun.Altitude, p.Height, p.Orientation);
    if (h.ShadowLength > 0 && h.Altitude >= p.Threshold) shadowed = true;
  }
  return shadowed;
}

}  // namespace

double ShadowBearingOf(double azimuth) {
  double b = azimuth + 180;
  if (b > 360) b -= 360;
  return b;
}

double ShadowLengthOf(double height, double altitude) {
  return altitude >= 0 ? height / std::tan(altitude * kDegToRad) : 0;
}

ProfileHour MakeProfileHour(double time, double azimuth, double altitude, double height, int orientation) {
  ProfileHour h;
  h.Time = time;
  h.Azimuth = azimuth;
  h.Altitude = altitude;
  h.ShadowLength = ShadowLengthOf(height, altitude);
  h.ShadowBearing = ShadowBearingOf(azimuth);
  // + 0.0: no negative zeros in the hours without shadow.
  h.ShadowX = std::sin(h.ShadowBearing * kDegToRad) * h.ShadowLength + 0.0;
  h.ShadowY = std::cos(h.ShadowBearing * kDegToRad) * h.ShadowLength + 0.0;
  h.ProfileWidth = altitude >= 0 ? std::sin((orientation - h.ShadowBearing) * kDegToRad) * h.ShadowLength + 0.0 : 0;
  h.ProfileWidthCopy = h.ProfileWidth;
  h.ProfileAngle = std::fabs(h.ProfileWidth) > 0 ? std::atan(height / h.ProfileWidth) / kDegToRad : 0;
  return h;
}

std::string CutText(const std::string& text, std::size_t limit) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (chars == limit) return text.substr(0, i);
    ++chars;
  }
  return text;
}

bool ComputeProfile(SiteTime& site, const ProfileInputs& in, ShadowProfile& profile,
                    const ProfileTextContext& context) {
  profile.Inches = in.Inches;
  site.UnitsText = in.Inches ? "inches" : "mm";
  profile.Height = in.Height;
  profile.TextHeight = in.TextHeight;
  profile.Threshold = in.Threshold;
  profile.Orientation = site.Orientation;
  try {
    try {
      profile.RiseSet = SunriseSunset(site.Date, site.dst(), site.zone(), site.latitude(), site.longitude());
    } catch (const ESetError& e) {
      showInfo(e.what());
    }
    fillTexts(site, profile, context);
    if (!fillHours(site, profile)) throw ENoShadow();
  } catch (const ENoShadow&) {
    showInfo("No shadows are cast for these settings. Try changing Shadow Threshold.");
    return false;
  } catch (const ERiseError&) {
    showError("No shadows are cast for these settings. Try changing Latitude.");
    return false;
  } catch (const std::exception&) {
    showError("There has been an error while retrieving the data");
    return false;
  }
  return true;
}

bool ComputeProfile(SiteTime& site, const ProfileInputs& in, ShadowProfile& profile) {
  ProfileTextContext ctx;
  ctx.Today = Today();
  return ComputeProfile(site, in, profile, ctx);
}

}  // namespace kelvaro
