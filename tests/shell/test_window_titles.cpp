// Window titles as the window system shows them: exactly the captions the windows set, with
// nothing added by the toolkit. Needs an X server (the test run provides one with xvfb-run).
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/application.h"
#include "platform/settings.h"
#include "reports/SCalc.h"
#include "reports/SunHTM.h"
#include "shadow/shadow.h"
#include "shell/Main.h"

using namespace kelvaro;

namespace {

// The X server and xprop, or why the test cannot run.
QString missingDisplay() {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) return "no X server (DISPLAY is not set)";
  if (QStandardPaths::findExecutable("xprop").isEmpty()) return "xprop is not installed";
  return {};
}

QApplication* app() {
  static int argc = 1;
  static char name[] = "test_window_titles";
  static char* argv[] = {name, nullptr};
  static QApplication* a = [] {
    // The offscreen platform keeps titles to itself; only a real window system shows the fault.
    qputenv("QT_QPA_PLATFORM", "xcb");
    auto* created = new QApplication(argc, argv);
    setUpApplication();
    return created;
  }();
  return a;
}

// The title the X server holds for the window (_NET_WM_NAME, as the task bar shows it).
QString shownTitle(QWidget& w) {
  const QString id = QString::number(w.winId());
  QElapsedTimer clock;
  clock.start();
  QString value;
  while (clock.elapsed() < 5000) {
    QApplication::processEvents();
    QProcess xprop;
    xprop.start("xprop", {"-id", id, "_NET_WM_NAME"});
    xprop.waitForFinished(3000);
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const int first = out.indexOf('"');
    const int last = out.lastIndexOf('"');
    if (first >= 0 && last > first) {
      value = out.mid(first + 1, last - first - 1);
      if (!value.isEmpty()) break;
    }
  }
  return value;
}

class WindowTitles : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString missing = missingDisplay();
    if (!missing.isEmpty()) GTEST_SKIP() << missing.toStdString();
    app();
    ASSERT_TRUE(dir_.isValid());
    setSettingsRoot(dir_.path());
  }
  void TearDown() override { setSettingsRoot({}); }
  QTemporaryDir dir_;
};

TEST_F(WindowTitles, MainWindowAloneAndWithAMaximisedDrawing) {
  TMainForm main("/opt/kelvaro");
  main.show();
  EXPECT_EQ(shownTitle(main).toStdString(), "Sardon Kelvaro");
  main.addChild(new QLabel("drawing"), ChildKind::Drawing, "Shadow1.dwg");
  EXPECT_EQ(shownTitle(main).toStdString(), "Sardon Kelvaro - [Shadow1.dwg]");
}

TEST_F(WindowTitles, DialogsShowTheirOwnCaptions) {
  reports::TfrmSunHTM report;
  report.setWindowTitle("Solar Data");
  report.show();
  EXPECT_EQ(shownTitle(report).toStdString(), "Solar Data");

  TfrmCalculator calculator;
  calculator.show();
  EXPECT_EQ(shownTitle(calculator).toStdString(), "Solar Calculator");

  TfrmShadow settings;
  settings.SetMode(ShadowMode::SolarCalculator);
  settings.show();
  EXPECT_EQ(shownTitle(settings).toStdString(), "Solar Calculator");
}

}  // namespace
