// The settings dialog's report commands: prompts, stored orientation settings, captions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include "platform/notify.h"
#include "platform/settings.h"
#include "reports/Angle.h"
#include "reports/ReportCommands.h"
#include "reports/SunHTM.h"
#include "shadow/shadow.h"
#include "support/qt_app.h"

using namespace kelvaro;
using namespace kelvaro::reports;

namespace {

class ReportCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ensureQtApp();
    ASSERT_TRUE(dir_.isValid());
    setSettingsRoot(dir_.path());
  }
  void TearDown() override { setSettingsRoot({}); }

  // Answers the modal windows that come up while `action` runs: a prompt gets `answer`
  // (nullptr: cancelled), the report window is looked at and closed.
  void Drive(const std::function<void()>& action, const std::function<bool(TfrmAngle&)>& answer) {
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      QWidget* w = QApplication::activeModalWidget();
      if (auto* a = qobject_cast<TfrmAngle*>(w)) {
        prompts_.push_back(a->windowTitle());
        answer(*a) ? a->accept() : a->reject();
      } else if (auto* r = qobject_cast<TfrmSunHTM*>(w)) {
        captions_.push_back(r->windowTitle());
        pages_.push_back(r->document()->toPlainText());
        r->close();
      }
    });
    timer.start();
    action();
  }

  QTemporaryDir dir_;
  QStringList prompts_, captions_, pages_;
};

void Choose(TfrmShadow& d, const QString& report) {
  for (QRadioButton* r : d.findChildren<QRadioButton*>())
    if (r->text() == report) r->setChecked(true);
}

}  // namespace

TEST_F(ReportCommands, ShadowAnglePromptStoresTheOrientation) {
  TfrmShadow d;
  TfrmSunHTM w;
  InstallReportWindow(d, w);
  d.SetMode(ShadowMode::Sundata);
  d.setPickerDate(QDate(2024, 6, 21));
  Choose(d, "HSA / VSA");
  ASSERT_EQ(d.selectedReport(), SolarReport::HsaVsa);
  int initial = -1;
  Drive([&] { d.cmdOKClick(); },
        [&](TfrmAngle& a) {
          initial = a.orientation();
          a.orientationBox()->setValue(90);
          return true;
        });
  EXPECT_EQ(initial, 135);  // "repOrientation2" as when nothing is stored
  EXPECT_EQ(prompts_, QStringList{"HSA / VSA"});
  EXPECT_EQ(captions_, QStringList{"Solar Data"});
  ASSERT_EQ(pages_.size(), 1);
  EXPECT_TRUE(pages_[0].contains("90 degs"));
  EXPECT_TRUE(pages_[0].contains("Hourly Horizontal & Vertical Shadow Angles"));
  EXPECT_EQ(d.StoredSettings().repOrientation2, 90);
  EXPECT_EQ(d.Site().Orientation, 90);
  EXPECT_EQ(d.StoredSettings().repOrientation1, 135);
}

TEST_F(ReportCommands, IncidencePromptAndCancel) {
  TfrmShadow d;
  TfrmSunHTM w;
  InstallReportWindow(d, w);
  d.SetMode(ShadowMode::Sundata);
  Choose(d, "Angle of Incidence");
  // Cancel: nothing shown, nothing stored.
  Drive([&] { d.cmdOKClick(); }, [](TfrmAngle&) { return false; });
  EXPECT_EQ(prompts_, QStringList{"Angle of Incidence"});
  EXPECT_TRUE(captions_.isEmpty());
  EXPECT_EQ(d.StoredSettings().repInclination, 60);
  // OK: both values stored and on the page.
  Drive([&] { d.cmdOKClick(); },
        [](TfrmAngle& a) {
          auto& two = static_cast<TfrmAngle2&>(a);
          EXPECT_EQ(two.inclination(), 60);
          two.orientationBox()->setValue(200);
          two.inclinationBox()->setValue(30);
          return true;
        });
  EXPECT_EQ(captions_, QStringList{"Solar Data"});
  EXPECT_EQ(d.StoredSettings().repOrientation1, 200);
  EXPECT_EQ(d.StoredSettings().repInclination, 30);
  EXPECT_EQ(d.Site().Inclination, 30);
  ASSERT_EQ(pages_.size(), 1);
  EXPECT_TRUE(pages_[0].contains("200 degs"));
  EXPECT_TRUE(pages_[0].contains("Inclination:"));
  EXPECT_TRUE(pages_[0].contains("30 degs"));
}

TEST_F(ReportCommands, DailyFailureIsReportedAndNothingShown) {
  TfrmShadow d;
  TfrmSunHTM w;
  InstallReportWindow(d, w);
  d.SetMode(ShadowMode::Sundata);
  DialogInputs in = d.inputs();
  in.Site.LatDegrees = 70;
  d.setInputs(in);
  d.setPickerDate(QDate(2024, 6, 15));
  Choose(d, "Sunrise/ Sunset");
  MessageCapture capture;
  Drive([&] { d.cmdOKClick(); }, [](TfrmAngle&) { return true; });
  EXPECT_TRUE(captions_.isEmpty());
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].kind, MsgKind::Error);
  EXPECT_EQ(capture.messages()[0].text, "The sun never sets");
}

TEST_F(ReportCommands, ShadowDataButtonShowsTheProfileTable) {
  TfrmShadow d;
  TfrmSunHTM w;
  InstallReportWindow(d, w);
  d.SetMode(ShadowMode::CreateShadowV);
  d.setPickerDate(QDate(2024, 6, 21));
  Drive([&] { d.cmdShadowDataClick(); }, [](TfrmAngle&) { return true; });
  EXPECT_TRUE(prompts_.isEmpty());
  EXPECT_EQ(captions_, QStringList{"Shadow Data"});
  ASSERT_EQ(pages_.size(), 1);
  EXPECT_TRUE(pages_[0].contains("Shadow Data for Vertical Shadow Profile"));
  EXPECT_TRUE(pages_[0].contains("2000 mm"));
  EXPECT_FALSE(d.isHidden() && d.result() == QDialog::Accepted);  // the dialog stays open
}

TEST_F(ReportCommands, ShadowDataOnAPolarDayReportsTheNeverSettingSunOnce) {
  TfrmShadow d;
  TfrmSunHTM w;
  InstallReportWindow(d, w);
  d.SetMode(ShadowMode::CreateShadowH);
  DialogInputs in = d.inputs();
  in.Site.LatDegrees = 70;
  in.Site.LonDegrees = 20;
  in.Site.East = true;
  in.Site.ZoneHours = 1;
  d.setInputs(in);
  d.setPickerDate(QDate(2024, 6, 21));
  MessageCapture capture;
  Drive([&] { d.cmdShadowDataClick(); }, [](TfrmAngle&) { return true; });
  // One information box, then the page with sunrise and sunset at 0.
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].kind, MsgKind::Information);
  EXPECT_EQ(capture.messages()[0].text, "The sun never sets");
  EXPECT_EQ(captions_, QStringList{"Shadow Data"});
  ASSERT_EQ(pages_.size(), 1);
  EXPECT_TRUE(pages_[0].contains("Shadow Data for Horizontal Shadow Profile"));
  EXPECT_TRUE(pages_[0].contains("00:00:00"));
}
