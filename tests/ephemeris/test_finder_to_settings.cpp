// The whole path a user takes: the settings dialog's "&Position Finder", a country and a place
// in the finder, OK, and the settings dialog's inputs.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "ephemeris/LongLat.h"
#include "platform/settings.h"
#include "shadow/shadow.h"
#include "support/qt_app.h"

using namespace kelvaro;

namespace {

class FinderToSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ensureQtApp();
    ASSERT_TRUE(dir_.isValid());
    setSettingsRoot(dir_.path());
  }
  void TearDown() override { setSettingsRoot({}); }
  QTemporaryDir dir_;
};

QPushButton* button(QWidget& w, const QString& text) {
  for (auto* b : w.findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

// Picks country and place inside the finder's modal loop, then presses OK (or Cancel).
void pickWhenShown(TfrmLongLat& finder, const QString& country, const QString& place, bool ok = true) {
  QTimer::singleShot(0, &finder, [&finder, country, place, ok] {
    auto* countries = finder.findChild<QListWidget*>("lstCountry");
    auto* places = finder.findChild<QListWidget*>("lstLocation");
    auto c = countries->findItems(country, Qt::MatchExactly);
    ASSERT_FALSE(c.isEmpty()) << country.toStdString();
    countries->setCurrentItem(c.first());
    auto p = places->findItems(place, Qt::MatchExactly);
    ASSERT_FALSE(p.isEmpty()) << place.toStdString();
    places->setCurrentItem(p.first());
    finder.findChild<QPushButton*>(ok ? "cmdOK" : "cmdCancel")->click();
  });
}

}  // namespace

TEST_F(FinderToSettings, IndiaMumbaiFillsTheSiteInputs) {
  TfrmLongLat finder;
  TfrmShadow dialog;
  dialog.positionFinder = [&finder](double& lon, double& lat, double& zone) { return finder.Pick(lon, lat, zone); };
  dialog.SetMode(ShadowMode::Sundata);
  dialog.ShowStored();
  dialog.show();

  QPushButton* cmd = button(dialog, "&Position Finder");
  ASSERT_NE(cmd, nullptr);
  pickWhenShown(finder, "India", "Mumbai");
  cmd->click();
  SiteInputs in = dialog.inputs().Site;
  EXPECT_EQ(in.LatDegrees, 19);
  EXPECT_EQ(in.LatMinutes, 4);
  EXPECT_FALSE(in.South);
  EXPECT_EQ(in.LonDegrees, 72);
  EXPECT_EQ(in.LonMinutes, 52);
  EXPECT_TRUE(in.East);
  EXPECT_EQ(in.ZoneHours, 5);
  EXPECT_EQ(in.ZoneMinutes, 30);
  dialog.grab().save(QString(KELVARO_BINARY_DIR) + "/settings_after_position_finder.png");

  // The site the analyses then read: Mumbai to the second, zone +5:30.
  SiteTime site;
  ReadSiteInputs(in, site);
  EXPECT_EQ(site.LatitudeText, "19:04:22 N");
  EXPECT_EQ(site.LongitudeText, "72:52:57 E");
  EXPECT_EQ(site.TimeZoneText, "5:30");
  EXPECT_NEAR(site.latitude(), 19.07283, 1 / 3600.0);
  EXPECT_NEAR(site.longitude(), 72.88261, 1 / 3600.0);

  // West and a half-hour zone west of Greenwich; then Cancel leaves the inputs alone.
  pickWhenShown(finder, "Canada", "St. John's");
  cmd->click();
  in = dialog.inputs().Site;
  EXPECT_FALSE(in.East);
  EXPECT_EQ(in.LonDegrees, 52);
  EXPECT_EQ(in.ZoneHours, -3);
  EXPECT_EQ(in.ZoneMinutes, 30);
  ReadSiteInputs(in, site);
  EXPECT_DOUBLE_EQ(site.zone(), -3.5);

  pickWhenShown(finder, "Australia", "Adelaide", false);
  cmd->click();
  EXPECT_EQ(dialog.inputs().Site.ZoneHours, -3);
  EXPECT_FALSE(dialog.inputs().Site.South);
}

TEST_F(FinderToSettings, ZonesEastOfTheDateLineSurviveTheDialogAndItsStoredSettings) {
  // Tonga keeps UTC+13 all year; clamping it to +12 would put every sun time an hour off.
  TfrmLongLat finder;
  TfrmShadow dialog;
  dialog.positionFinder = [&finder](double& lon, double& lat, double& zone) { return finder.Pick(lon, lat, zone); };
  dialog.SetMode(ShadowMode::Sundata);
  dialog.show();
  pickWhenShown(finder, "Tonga", "Nuku\u2018alofa");
  button(dialog, "&Position Finder")->click();
  EXPECT_EQ(dialog.inputs().Site.ZoneHours, 13);
  EXPECT_TRUE(dialog.inputs().Site.South);
  EXPECT_FALSE(dialog.inputs().Site.East);

  dialog.CaptureStored();
  EXPECT_DOUBLE_EQ(dialog.StoredSettings().gTimeZone, 13.0);
  DialogInputs again;
  ShowSettings(dialog.StoredSettings(), again);
  EXPECT_EQ(again.Site.ZoneHours, 13);
}
