#pragma once
// What the settings dialog does for the reports: "Sundata" OK builds the chosen solar report
// (after the orientation prompts where needed) and "Shadow &Data" the shadow data report of
// the profile mode; a page is shown in the report window.
#include <QDate>
#include <functional>
#include <string>

#include "reports/ReportBuilder.h"

namespace kelvaro {
class TfrmShadow;
}

namespace kelvaro::reports {

class TfrmSunHTM;

// The report inputs of the dialog's current state: its site record, the picker date, today
// and the user's locale.
ReportInputs ReportInputsOf(TfrmShadow& dialog, const QDate& today = QDate::currentDate());

// Builds the page of the dialog's chosen report; empty when a prompt was cancelled.
std::string BuildChosenReport(TfrmShadow& dialog);
// The shadow data page of the profile the dialog has just computed in its profile mode.
std::string BuildShadowDataReport(TfrmShadow& dialog, bool horizontal);

// Connects the dialog's report hooks to `window`.
void InstallReportWindow(TfrmShadow& dialog, TfrmSunHTM& window);

}  // namespace kelvaro::reports
