#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include "platform/notify.h"
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
