#include "reports/ReportCommands.h"

#include <QLineEdit>

#include "app/version.h"
#include "reports/Angle.h"
#include "reports/QtDateLocale.h"
#include "reports/SunHTM.h"
#include "shadow/Profile.h"
#include "shadow/shadow.h"

namespace kelvaro::reports {

ReportInputs ReportInputsOf(TfrmShadow& dialog, const QDate& today) {
  ReportInputs in;
  in.Site = dialog.Site();
  QDate d = dialog.pickerDate();
  in.Date = {double(d.day()), double(d.month()), double(d.year())};
  in.Today = {double(today.day()), double(today.month()), double(today.year())};
  in.Locale = SystemDateLocale();
  in.ApplicationTitle = kApplicationTitle;
  return in;
}

std::string BuildChosenReport(TfrmShadow& dialog) {
  ShadowSettings& stored = dialog.StoredSettings();
  switch (dialog.selectedReport()) {
    case SolarReport::SunriseSunset:
      return BuildSunriseSunsetReport(ReportInputsOf(dialog));
    case SolarReport::RiseSetAzimuth:
      return BuildRiseSetAzimuthReport(ReportInputsOf(dialog));
    case SolarReport::NoonAltitude:
      return BuildNoonAltitudeReport(ReportInputsOf(dialog));
    case SolarReport::AzimuthAltitude:
      return BuildAzimuthAltitudeReport(ReportInputsOf(dialog));
    case SolarReport::HsaVsa: {
      TfrmAngle prompt(stored.repOrientation2, &dialog);
      if (prompt.exec() != QDialog::Accepted) return {};
      stored.repOrientation2 = prompt.orientation();
      dialog.Site().Orientation = prompt.orientation();
      return BuildShadowAngleReport(ReportInputsOf(dialog));
    }
    case SolarReport::AngleOfIncidence: {
      TfrmAngle2 prompt(stored.repOrientation1, stored.repInclination, &dialog);
      if (prompt.exec() != QDialog::Accepted) return {};
      stored.repOrientation1 = prompt.orientation();
      stored.repInclination = prompt.inclination();
      dialog.Site().Orientation = prompt.orientation();
      dialog.Site().Inclination = prompt.inclination();
      return BuildIncidenceReport(ReportInputsOf(dialog));
    }
  }
  return {};
}

std::string BuildShadowDataReport(TfrmShadow& dialog, bool horizontal) {
  // The dialog has just computed the profile (and shown its messages); computing it again
  // here would show them twice.
  std::string height = dialog.heightField()->text().toStdString();
  return WriteShadowDataPage(ReportInputsOf(dialog), dialog.Profile(), height, !horizontal);
}

void InstallReportWindow(TfrmShadow& dialog, TfrmSunHTM& window) {
  dialog.onSundata = [&window](TfrmShadow& d) {
    std::string page = BuildChosenReport(d);
    if (!page.empty()) window.showReport(page, QStringLiteral("Solar Data"));
  };
  dialog.onShadowData = [&window](TfrmShadow& d, bool horizontal) {
    std::string page = BuildShadowDataReport(d, horizontal);
    if (!page.empty()) window.showReport(page, QStringLiteral("Shadow Data"));
  };
}

}  // namespace kelvaro::reports
