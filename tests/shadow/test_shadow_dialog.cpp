#include <gtest/gtest.h>

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextBrowser>

#include "platform/help.h"
#include "platform/notify.h"
#include "platform/settings.h"
#include "shadow/Profile.h"
#include "shadow/SunPath.h"
#include "shadow/shadow.h"
#include "support/qt_app.h"

using namespace kelvaro;

namespace {

class ShadowDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ensureQtApp();
    ASSERT_TRUE(dir_.isValid());
    setSettingsRoot(dir_.path());
  }
  void TearDown() override { setSettingsRoot({}); }
  QTemporaryDir dir_;
};

struct Expected {
  ShadowMode mode;
  const char* modeString;
  const char* caption;
  QStringList groups;  // of the five optional ones
  bool shadowData;
  int picture;
};

TEST_F(ShadowDialog, EachModeShowsItsGroupsButtonAndPicture) {
  const Expected table[] = {
      {ShadowMode::CreateShadowH, "CreateShadowH", "Horizontal Shadow Profile", {"Dimensions", "Shadow Threshold"}, true, 1},
      {ShadowMode::CreateShadowV, "CreateShadowV", "Vertical Shadow Profile",
       {"Dimensions", "Shadow Threshold", "Orientation"}, true, 2},
      {ShadowMode::Sundata, "Sundata", "Solar Report Generator", {"Solar Report"}, false, 3},
      {ShadowMode::Model3D, "3DModel", "3D Shadow Model", {}, false, 4},
      {ShadowMode::CreateOverhangShadow, "CreateOverhangShadow", "Shadow Model for Horizontal Overhang", {}, false, 5},
      {ShadowMode::CreateFinShadow, "CreateFinShadow", "Shadow Model for Vertical Fin", {}, false, 6},
      {ShadowMode::SolarCalculator, "SolarCalculator", "Solar Calculator", {"Local Civil Time"}, false, 7},
  };
  const QStringList optional = {"Dimensions", "Shadow Threshold", "Orientation", "Solar Report", "Local Civil Time"};
  TfrmShadow d;
  const QString out = QDir(KELVARO_BINARY_DIR).filePath("screenshots");
  QDir().mkpath(out);
  QList<QImage> pictures;
  for (const Expected& e : table) {
    SCOPED_TRACE(e.modeString);
    d.SetMode(e.mode);
    EXPECT_EQ(d.Mode(), e.modeString);
    EXPECT_EQ(modeFromString(e.modeString), e.mode);
    EXPECT_EQ(d.windowTitle(), e.caption);
    for (const char* always : {"Latitude", "Longitude", "Date"}) EXPECT_TRUE(d.group(always)->isVisibleTo(&d));
    for (const QString& g : optional) EXPECT_EQ(d.group(g)->isVisibleTo(&d), e.groups.contains(g)) << g.toStdString();
    EXPECT_EQ(d.shadowDataButton()->isVisibleTo(&d), e.shadowData);
    EXPECT_EQ(d.pictureIndex(), e.picture);
    pictures << d.picture()->pixmap().toImage();
    d.show();
    EXPECT_TRUE(d.grab().save(QString("%1/shadow_%2.png").arg(out, e.modeString)));
    d.hide();
  }
  // Seven different pictures.
  for (int i = 0; i < pictures.size(); ++i)
    for (int j = i + 1; j < pictures.size(); ++j) EXPECT_NE(pictures[i], pictures[j]) << i << " " << j;
  EXPECT_FALSE(modeFromString("Shadow").has_value());
}

TEST_F(ShadowDialog, HelpOpensTheTopicOfTheMode) {
  const std::pair<ShadowMode, int> topics[] = {
      {ShadowMode::CreateShadowH, 2}, {ShadowMode::CreateShadowV, 3}, {ShadowMode::CreateOverhangShadow, 4},
      {ShadowMode::CreateFinShadow, 5}, {ShadowMode::Sundata, 6},     {ShadowMode::Model3D, 7},
      {ShadowMode::SolarCalculator, 9}};
  TfrmShadow d;
  for (auto [mode, topic] : topics) {
    d.SetMode(mode);
    d.cmdHelpClick();
    auto* browser = help::window()->findChild<QTextBrowser*>();
    EXPECT_EQ(browser->source().toString(), QString("qrc:/help/topic%1.html").arg(topic));
  }
  help::close();
}

TEST_F(ShadowDialog, StoredValuesAreShownAndCapturedWithWestPositiveLongitude) {
  {
    RegKey k = RegKey::create(kShadowSettingsKey);
    k.writeDouble("gLatitude", -33.5);    // 33 30' South
    k.writeDouble("gLongitude", -151.25);  // stored west-positive: 151 15' East
    k.writeDouble("gTimeZone", -5.5);
    k.writeInt("gDaylightSaving", 1);
    k.writeInt("cadStrucHeight", 3500);
    k.writeInt("cadOrient", 90);
    k.writeBool("cadUnits", true);
    k.writeInt("repInclination", 30);
  }
  {
    TfrmShadow d;
    d.ShowStored();
    const DialogInputs in = d.inputs();
    EXPECT_EQ(in.Site.LatDegrees, 33);
    EXPECT_EQ(in.Site.LatMinutes, 30);
    EXPECT_TRUE(in.Site.South);
    EXPECT_EQ(in.Site.LonDegrees, 151);
    EXPECT_EQ(in.Site.LonMinutes, 15);
    EXPECT_TRUE(in.Site.East);
    EXPECT_EQ(in.Site.ZoneHours, -5);
    EXPECT_EQ(in.Site.ZoneMinutes, 30);
    EXPECT_EQ(in.Site.DaylightSaving, 1);
    EXPECT_EQ(in.HeightText, "3500");
    EXPECT_EQ(in.TextHeightText, "100");  // absent: default
    EXPECT_TRUE(in.Inches);
    EXPECT_EQ(in.Site.Orientation, 90);
    EXPECT_EQ(d.StoredSettings().repInclination, 30);

    // The site record is east-positive; the zone -5:30 is -5.5 hours.
    d.ReadInputs();
    EXPECT_DOUBLE_EQ(d.Site().longitude(), 151.25);
    EXPECT_DOUBLE_EQ(d.Site().latitude(), -33.5);
    EXPECT_DOUBLE_EQ(d.Site().zone(), -5.5);
    EXPECT_EQ(d.Site().LongitudeText, "151:15:00 E");
    EXPECT_EQ(d.Site().TimeZoneText, "-5:30");

    // Now 10 degrees East, entered and left with Cancel: still captured.
    DialogInputs changed = in;
    changed.Site.LonDegrees = 10;
    changed.Site.LonMinutes = 0;
    changed.Site.LatDegrees = 48;
    changed.Site.LatMinutes = 0;
    changed.Site.South = false;
    d.open();  // every opening starts from the stored values
    d.setInputs(changed);
    d.reject();
    EXPECT_DOUBLE_EQ(d.StoredSettings().gLongitude, -10.0);
  }
  RegKey k = RegKey::open(kShadowSettingsKey);
  EXPECT_EQ(k.readDouble("gLongitude"), -10.0);
  EXPECT_EQ(k.readDouble("gLatitude"), 48.0);
  EXPECT_EQ(k.readDword("cadStrucHeight"), 3500u);
  EXPECT_EQ(k.readBinary("gTimeZone"), doubleToBytes(-5.5));
  EXPECT_EQ(k.valueNames().size(), 12);
  TfrmShadow again;
  again.ShowStored();
  EXPECT_EQ(again.inputs().Site.LonDegrees, 10);
  EXPECT_TRUE(again.inputs().Site.East);
}

TEST_F(ShadowDialog, AbsentOrOddStoredValuesKeepTheDefaults) {
  {
    TfrmShadow d;
    d.ShowStored();
    const DialogInputs in = d.inputs();
    EXPECT_EQ(in.Site.LatDegrees, 52);
    EXPECT_FALSE(in.Site.South);
    EXPECT_EQ(in.Site.LonDegrees, 0);
    EXPECT_FALSE(in.Site.East);
    EXPECT_EQ(in.HeightText, "2000");
    EXPECT_EQ(in.Threshold, 10);
    EXPECT_EQ(in.Site.Orientation, 135);
    EXPECT_EQ(d.pickerDate(), QDate::currentDate());
  }
  {
    RegKey k = RegKey::create(kShadowSettingsKey);
    k.writeDword("gLatitude", 40);        // not an 8-byte binary
    k.writeDouble("gLongitude", 1.0e9);   // outside the globe
    k.writeInt("cadStrucHeight", 0);      // a height must be positive
    k.writeInt("cadThreshold", 90);       // beyond 45 degrees
    k.writeString("cadOrient", "north");  // mistyped
    k.writeInt("cadTxtHeight", 250);      // fine
  }
  TfrmShadow d;
  const ShadowSettings& s = d.StoredSettings();
  EXPECT_EQ(s.gLatitude, 52.0);
  EXPECT_EQ(s.gLongitude, 0.0);
  EXPECT_EQ(s.cadStrucHeight, 2000);
  EXPECT_EQ(s.cadThreshold, 10);
  EXPECT_EQ(s.cadOrient, 135);
  EXPECT_EQ(s.cadTxtHeight, 250);
}

TEST_F(ShadowDialog, LongitudeOf180HasNoMinutesOrSeconds) {
  TfrmShadow d;
  DialogInputs in = d.inputs();
  in.Site.LonDegrees = 179;
  in.Site.LonMinutes = 30;
  in.Site.LonSeconds = 15;
  in.Site.East = true;
  d.setInputs(in);
  in.Site.LonDegrees = 180;
  d.setInputs(in);
  d.ReadInputs();
  EXPECT_EQ(d.inputs().Site.LonMinutes, 0);
  EXPECT_EQ(d.inputs().Site.LonSeconds, 0);
  EXPECT_EQ(d.Site().LongitudeText, "180:00:00 E");
  d.CaptureStored();
  EXPECT_DOUBLE_EQ(d.StoredSettings().gLongitude, -180.0);
}

TEST_F(ShadowDialog, HeightFieldsBecomeOneBelowOneAndRefuseEmptyText) {
  MessageCapture messages;
  TfrmShadow d;
  d.SetMode(ShadowMode::CreateShadowH);
  d.heightField()->setText("0");
  d.heightExit(d.heightField());
  EXPECT_EQ(d.heightField()->text(), "1");
  d.heightField()->setText("000");
  d.heightExit(d.heightField());
  EXPECT_EQ(d.heightField()->text(), "1");
  d.heightField()->setText("2500");
  d.heightExit(d.heightField());
  EXPECT_EQ(d.heightField()->text(), "2500");
  // Letters cannot be typed at all.
  d.textHeightField()->setText("");
  d.textHeightField()->insert("12");
  d.textHeightField()->insert("a");
  EXPECT_EQ(d.textHeightField()->text(), "12");

  d.open();
  d.heightField()->setText("2500");
  d.textHeightField()->setText("");
  d.cmdOKClick();
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0].kind, MsgKind::Error);
  EXPECT_EQ(messages.messages()[0].text, "Enter a text height from 1 to 999999.");
  EXPECT_TRUE(d.isVisible());  // refused, the dialog stays
  // Closing keeps the stored text height rather than storing nothing or zero.
  d.reject();
  EXPECT_EQ(d.StoredSettings().cadTxtHeight, 100);
  EXPECT_EQ(d.StoredSettings().cadStrucHeight, 2500);
}

TEST_F(ShadowDialog, DateChoicesUseTheCurrentYear) {
  TfrmShadow d;
  const int year = QDate::currentDate().year();
  d.setPickerDate(QDate(2001, 7, 4));
  d.dateChoiceClick(DateChoice::MarchEquinox);
  EXPECT_EQ(d.pickerDate(), QDate(year, 3, 21));
  d.dateChoiceClick(DateChoice::SeptemberEquinox);
  EXPECT_EQ(d.pickerDate(), QDate(year, 9, 22));
  d.dateChoiceClick(DateChoice::Today);
  EXPECT_EQ(d.pickerDate(), QDate::currentDate());
  EXPECT_EQ(dateForChoice(DateChoice::JuneSolstice, QDate(2030, 1, 1)), QDate(2030, 6, 21));
  EXPECT_EQ(dateForChoice(DateChoice::DecemberSolstice, QDate(2030, 1, 1)), QDate(2030, 12, 21));
  d.setPickerDate(QDate(2024, 6, 21));
  d.ReadInputs();
  EXPECT_EQ(d.Site().Date.Day, 21);
  EXPECT_EQ(d.Site().Date.Month, 6);
  EXPECT_EQ(d.Site().Date.Year, 2024);
}

TEST_F(ShadowDialog, OkRunsTheModeAndOnlyProfilesClose) {
  MessageCapture messages;
  TfrmShadow d;
  int sundata = 0, calculator = 0, shadowData = 0, sunPaths = 0;
  d.onSundata = [&](TfrmShadow&) { ++sundata; };
  d.onSolarCalculator = [&](TfrmShadow&) { ++calculator; };
  d.onShadowData = [&](TfrmShadow& dlg, bool horizontal) {
    shadowData += horizontal ? 1 : 10;
    EXPECT_EQ(dlg.Profile().Height, 2000);  // computed before the page is asked for
  };
  d.onSunPath = [&](TfrmShadow& dlg, ShadowMode) { sunPaths += static_cast<int>(dlg.SunPath().size()); };

  d.SetMode(ShadowMode::Sundata);
  d.open();
  d.cmdOKClick();
  EXPECT_EQ(sundata, 1);
  EXPECT_TRUE(d.isVisible());
  d.SetMode(ShadowMode::SolarCalculator);
  d.cmdOKClick();
  EXPECT_EQ(calculator, 1);
  EXPECT_TRUE(d.isVisible());

  // Polar summer: the sun never sets, the run goes on over the whole day.
  DialogInputs in = d.inputs();
  in.Site.LatDegrees = 80;
  in.Site.South = false;
  d.setInputs(in);
  d.setPickerDate(QDate(2024, 6, 21));
  d.SetMode(ShadowMode::CreateOverhangShadow);
  d.cmdOKClick();
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0].text, "The sun never sets");
  EXPECT_EQ(sunPaths, 1440);
  EXPECT_TRUE(d.isVisible());

  in.Site.LatDegrees = 52;
  d.setInputs(in);
  d.SetMode(ShadowMode::CreateShadowV);
  d.cmdShadowDataClick();
  EXPECT_EQ(shadowData, 10);
  EXPECT_TRUE(d.isVisible());
  d.cmdOKClick();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(d.Profile().Orientation, 135);
  EXPECT_EQ(messages.messages().size(), 1u);
}

}  // namespace
