#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <map>
#include <sstream>

#include "platform/notify.h"
#include "platform/settings.h"
#include "shadow/shadow.h"
#include "support/run_cli.h"
#include "reports/QtDateLocale.h"
#include "reports/SCalc.h"

using namespace kelvaro;

namespace {
QApplication& app() {
  static int argc = 1;
  static char name[] = "test_scalc_ui";
  static char* argv[] = {name, nullptr};
  static QApplication a(argc, argv);
  return a;
}
SiteTime london() {
  SiteInputs in;
  in.LatDegrees = 51;
  in.LatMinutes = 30;
  in.LonMinutes = 7;
  in.DaylightSaving = 1;
  in.Day = 21;
  in.Month = 6;
  in.Year = 2024;
  SiteTime s;
  ReadSiteInputs(in, s);
  return s;
}
}  // namespace

TEST(CalculatorWindow, StartsAtZerosThenShowsThePage) {
  app();
  TfrmCalculator w;
  EXPECT_EQ(w.windowTitle(), "Solar Calculator");
  EXPECT_EQ(w.valueText("Sunset:"), "00:00:00");
  EXPECT_EQ(w.valueText("Latitude:"), "00:00:00");
  SiteTime s = london();
  SolarCalculatorPage page = ComputeSolarCalculator(s, 9, 5, DateLocaleFrom(QLocale(QLocale::English, QLocale::UnitedStates)));
  w.setPage(page);
  for (const auto& l : page.Labels) EXPECT_EQ(w.valueText(QString::fromStdString(l.Caption)).toStdString(), l.Value);
  EXPECT_EQ(w.valueText("Date:"), "June 21, 2024");
  bool noteShown = false;
  for (auto* label : w.findChildren<QLabel*>()) noteShown = noteShown || label->text() == kCalculatorNote;
  EXPECT_TRUE(noteShown);
  w.adjustSize();
  QPixmap shot = w.grab();
  EXPECT_FALSE(shot.isNull());
  if (const char* dir = std::getenv("KELVARO_SNAPSHOT_DIR")) shot.save(QDir(dir).filePath("scalc.png"));
}

TEST(CalculatorWindow, OkClosesTheModalWindow) {
  app();
  MessageCapture cap;
  SiteTime s = london();
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dlg = qobject_cast<TfrmCalculator*>(w)) {
        for (auto* b : dlg->findChildren<QPushButton*>())
          if (b->text() == "OK") {
            EXPECT_TRUE(b->isDefault());
            b->click();
          }
      }
  });
  ShowSolarCalculator(nullptr, s, 12, 0);
  EXPECT_TRUE(cap.messages().empty());
}

TEST(CalculatorWindow, QtLocaleNamesReachTheFormatter) {
  DateLocale de = DateLocaleFrom(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(de.LongMonthNames[2], "März");
  EXPECT_EQ(de.LongDayNames[0], "Sonntag");
  EXPECT_EQ(de.DateSeparator, ".");
  EXPECT_EQ(FormatDate({21, 6, 2024}, "mmmm dd, yyyy", de), "Juni 21, 2024");
  DateLocale us = DateLocaleFrom(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(FormatDate({21, 6, 2024}, "dddddd", us), "Friday, June 21, 2024");
  EXPECT_EQ(FormatDate({21, 6, 2024}, "mm/dd/yy", us), "06/21/24");
}

namespace {

// OK in the settings dialog with the given site on 21 June 2024; returns the calculator
// window's value labels by caption, read while it is shown.
std::map<std::string, std::string> RunCalculator(TfrmShadow& dialog, const SiteInputs& site) {
  DialogInputs in = dialog.inputs();
  in.Site = site;
  dialog.setInputs(in);
  dialog.setPickerDate(QDate(2024, 6, 21));
  std::map<std::string, std::string> shown;
  QTimer::singleShot(0, [&shown] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* calc = qobject_cast<TfrmCalculator*>(w); calc && calc->isVisible()) {
        for (const auto& l : EmptyCalculatorPage().Labels)
          shown[l.Caption] = calc->valueText(QString::fromStdString(l.Caption)).toStdString();
        calc->accept();
      }
  });
  dialog.cmdOKClick();
  return shown;
}

// `kelvaro-cli calc` for the same inputs, by caption.
std::map<std::string, std::string> RunCalc(const std::vector<std::string>& args) {
  test::CliResult r = test::runCli(args);
  std::map<std::string, std::string> out;
  std::string line;
  for (const auto& l : EmptyCalculatorPage().Labels) {
    std::istringstream again(r.out);
    while (std::getline(again, line))
      if (line.rfind(l.Caption + " ", 0) == 0) out[l.Caption] = line.substr(l.Caption.size() + 1);
  }
  return out;
}

}  // namespace

TEST(CalculatorWindow, PolarDayAfterLondonShowsWhatTheBatchToolShows) {
  app();
  QTemporaryDir settings;
  ASSERT_TRUE(settings.isValid());
  setSettingsRoot(settings.path());
  MessageCapture cap;
  TfrmShadow dialog;
  dialog.SetMode(ShadowMode::SolarCalculator);
  dialog.onSolarCalculator = [](TfrmShadow& d) {
    ShowSolarCalculator(&d, d.Site(), d.localTimeHours(), d.localTimeMinutes());
  };
  SiteInputs london;
  london.LatDegrees = 51;
  london.LatMinutes = 30;
  london.LonMinutes = 7;
  london.DaylightSaving = 1;
  auto first = RunCalculator(dialog, london);
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first["Rise Azimuth:"], "0:00:00");
  EXPECT_TRUE(cap.messages().empty());

  SiteInputs svalbard;  // Longyearbyen: the sun never sets on 21 June
  svalbard.LatDegrees = 78;
  svalbard.LatMinutes = 13;
  svalbard.LonDegrees = 15;
  svalbard.LonMinutes = 38;
  svalbard.East = true;
  svalbard.ZoneHours = 1;
  svalbard.DaylightSaving = 1;
  auto polar = RunCalculator(dialog, svalbard);
  ASSERT_FALSE(polar.empty());
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].text, "The sun never sets");
  // Nothing of the London run is left on the page.
  for (const char* caption : {"On this date, Sunrise:", "Sunset:", "Rise Azimuth:", "Set Azimuth:"})
    EXPECT_NE(polar[caption], first[caption]) << caption;
  EXPECT_EQ(polar["Rise Azimuth:"], "0:00:00");
  EXPECT_EQ(polar["Set Azimuth:"], "0:00:00");

  const std::string time = std::to_string(dialog.localTimeHours()) + ":" + Pad2(dialog.localTimeMinutes());
  auto batch = RunCalc({"calc", "--lat", "78:13N", "--lon", "15:38E", "--zone", "1", "--dst", "1", "--date",
                        "2024-06-21", "--time", time});
  ASSERT_FALSE(batch.empty()) << "kelvaro-cli calc printed nothing";
  for (const auto& [caption, value] : polar) {
    if (caption == "Date:") continue;  // the window writes the month in the user's language
    EXPECT_EQ(value, batch[caption]) << caption;
  }
  setSettingsRoot({});
}
