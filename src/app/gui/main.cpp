// kelvaro: the desktop program.
#include <QApplication>

#include <exception>

#include "ephemeris/LongLat.h"
#include "platform/application.h"
#include "platform/message_boxes.h"
#include "platform/notify.h"
#include "reports/QtDateLocale.h"
#include "reports/ReportCommands.h"
#include "reports/SCalc.h"
#include "reports/SunHTM.h"
#include "shadow/shadow.h"
#include "shell/Main.h"
#include "shell/Childwin.h"

namespace {

// The general error handler: an error that escapes a command is shown and the program goes on.
class KelvaroApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      kelvaro::showError(e.what());
    } catch (...) {
      kelvaro::showError("An unexpected error occurred.");
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  KelvaroApplication app(argc, argv);
  kelvaro::setUpApplication();
  kelvaro::installMessageBoxes();
  // Dates in drawings, labels and pages are written the way the user's locale writes them.
  kelvaro::SetDefaultDateLocale(kelvaro::SystemDateLocale());

  // The four windows of the run, in this order; they live until the program ends.
  kelvaro::TMainForm mainForm(QCoreApplication::applicationDirPath());
  kelvaro::TfrmLongLat frmLongLat(&mainForm);
  kelvaro::TfrmShadow frmShadow(&mainForm);
  mainForm.setShadowDialog(&frmShadow);
  frmShadow.positionFinder = [&frmLongLat](double& longitude, double& latitude, double& zone) {
    return frmLongLat.Pick(longitude, latitude, zone);
  };
  frmShadow.onSolarCalculator = [](kelvaro::TfrmShadow& dialog) {
    kelvaro::ShowSolarCalculator(&dialog, dialog.Site(), dialog.localTimeHours(), dialog.localTimeMinutes());
  };
  kelvaro::reports::TfrmSunHTM frmSunHTM(&mainForm);
  kelvaro::reports::InstallReportWindow(frmShadow, frmSunHTM);

  // Drawings named on the command line open in drawing windows at the first activation.
  kelvaro::installDrawingWindows(mainForm, QCoreApplication::arguments().mid(1));
  mainForm.show();
  return app.exec();
}
