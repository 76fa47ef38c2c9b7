#include "shadow/SunPath.h"

#include <cmath>

#include "platform/notify.h"

namespace kelvaro {

bool CheckRiseSet(SiteTime& site) {
  try {
    RiseSetTimes rs = SunriseSunset(site.Date, site.dst(), site.zone(), site.latitude(), site.longitude());
    site.RiseSet = rs;
  } catch (const ESetError& e) {
    // The run goes on without a rise or set: none of an earlier site's values may stay.
    site.RiseSet = RiseSetTimes{};
    showInfo(e.what());
  } catch (const ERiseError& e) {
    showInfo(e.what());
    return false;
  } catch (const EAmbiguousError& e) {
    showError(e.what());
    return false;
  } catch (const std::exception& e) {
    showError(e.what());
    return false;
  }
  if (site.RiseSet.SetLCT < site.RiseSet.RiseLCT) {
    showError("The sun sets before it rises. Check Time Zone and try again.");
    return false;
  }
  return true;
}

SunPathSpan SunPathSpanOf(double rise, double set, SunPathTarget target) {
  SunPathSpan span;
  double first = target == SunPathTarget::View3D ? std::trunc((rise + 0.0166666) * 60)
                                                 : std::trunc(rise * 60);
  span.Start = first / 60;
  if (rise == 0 || set == 0) {
    span.Count = 1440;
  } else {
    double count = std::trunc(set * 60) - first;
    span.Count = count > 0 && count <= 1440 ? static_cast<int>(count) : 0;
  }
  return span;
}

std::vector<SunSample> BuildSunPath(const SiteTime& site, SunPathTarget target) {
  SunPathSpan span = SunPathSpanOf(site.RiseSet.RiseLCT, site.RiseSet.SetLCT, target);
  std::vector<SunSample> samples;
  samples.reserve(span.Count);
  const double step = 0.016666666666666666667;
  for (int i = 0; i < span.Count; ++i) {
    double t = span.Start + i * step;
    SunPosition p =
        ComputeSunPosition(site.Date, site.dst(), t, site.zone(), site.latitude(), site.longitude());
    samples.push_back({p.Azimuth, p.Altitude, t});
  }
  return samples;
}

OverhangNoons ComputeOverhangNoons(const SiteTime& site, int year) {
  auto noonOn = [&](double month) {
    CalendarDate d{21, month, double(year)};
    RiseSetTimes rs = SunriseSunset(d, 0, site.zone(), site.latitude(), site.longitude());
    double noon = SolarNoonOf(rs);
    SunPosition p = ComputeSunPosition(d, 0, noon, site.zone(), site.latitude(), site.longitude());
    return HorizonPosition{p.Azimuth, p.Altitude};
  };
  HorizonPosition april = noonOn(4);
  HorizonPosition october = noonOn(10);
  if (site.Latitude.Sign == -1) return {october, april};
  return {april, october};
}

SunPathLabels MakeSunPathLabels(const SiteTime& site, const DateLocale& locale) {
  return {FormatDate(site.Date, "ddddd", locale), site.LatitudeText, site.LongitudeText,
          FormatTimePadded(site.RiseSet.RiseLCT) + " ", FormatTimePadded(site.RiseSet.SetLCT) + " "};
}

}  // namespace kelvaro
