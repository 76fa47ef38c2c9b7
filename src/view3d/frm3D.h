#pragma once
// Tfrm3D: the 3D sun and shadow view. The scene and its commands live in SunView; this window
// holds the OpenGL drawing area, the side panel, the menus and the animation timer.
#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "view3d/GLRenderer.h"
#include "view3d/SunScene.h"

class QAction;
class QFrame;
class QLabel;
class QMenuBar;
class QSpinBox;
class QStatusBar;

namespace kelvaro {

struct SunPathLabels;
class TEzRgnBtn;

namespace view3d {
class View3DBox;
}

inline constexpr const char* kView3DSettingsKey = "Software\\Dravenco\\Kelvaro\\b";
inline constexpr const char* kSetupFailedText = "3D Modeling failed to initialise correctly and has been disabled.";

// The stored time step and orientation ("m3e", "m3f"): the key opened without creating it, a
// failing read ends the reading; no key or a zero step gives 10 and 60. Values out of their
// ranges (step 1 ... 30, orientation 0 ... 360) are replaced by those defaults.
struct View3DSettings {
  int StepMinutes = 0;
  int FacadeOrientation = 0;
};
View3DSettings LoadView3DSettings();
void SaveView3DSettings(const View3DSettings& s);

// How the window finds out whether it can draw; tests put a failing probe here.
using DeviceProber = std::function<view3d::DeviceProbe()>;
void SetDeviceProber(DeviceProber prober);  // empty: the real one

class Tfrm3D : public QDialog {
  Q_OBJECT
 public:
  explicit Tfrm3D(QWidget* parent = nullptr);
  ~Tfrm3D() override;  // stores the settings

  bool SetupFailed() const { return setupFailed_; }
  void SetSamples(std::vector<SunSample> samples);
  void SetLabels(const SunPathLabels& labels);

  // Commands.
  void Start();
  void SingleStep();
  void PauseRestart();
  void Reset();
  void CameraUp();
  void CameraDown();
  void CameraLeft();
  void CameraRight();
  void ZoomIn();
  void ZoomOut();
  void ShowHelp();
  void Timer1Timer();
  void SpinEdit1Change(int value);
  void SpinEdit4Change(int value);

  // State and controls, for tests.
  view3d::SunView& view() { return view_; }
  QTimer& Timer1() { return timer_; }
  QWidget* PaintBox1() const;
  QSpinBox* SpinEdit1() const { return spin1_; }
  QSpinBox* SpinEdit4() const { return spin4_; }
  QLabel* Label(int n) const;  // Label1, Label5, Label6, Label10 ... Label12, Label16, Label17
  QFrame* Panel1() const { return panel1_; }
  QFrame* Panel2() const { return panel2_; }
  QFrame* Panel3() const { return panel3_; }
  TEzRgnBtn* button(int n) const { return buttons_[n - 1]; }
  QAction* action(const QString& objectName) const;
  // The picture the drawing area shows now (null when it cannot draw).
  QImage grabScene();

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void done(int r) override;
  bool event(QEvent* e) override;

 private:
  friend class view3d::View3DBox;
  void buildControls();
  void engineSetUp();
  void placePanel2();
  void showLabels();
  void changed();

  view3d::SunView view_;
  bool creating_ = true;
  bool setupFailed_ = false;
  QTimer timer_;
  QTimer idle_;
  view3d::View3DBox* box_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  QFrame* panel1_ = nullptr;
  QFrame* panel2_ = nullptr;
  QFrame* panel3_ = nullptr;
  QSpinBox* spin1_ = nullptr;
  QSpinBox* spin4_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* info_[5] = {};  // Label10, Label11, Label12, Label5, Label6
  QLabel* label16_ = nullptr;
  QLabel* label17_ = nullptr;
  QStatusBar* status_ = nullptr;
  TEzRgnBtn* buttons_[11] = {};
};

// What OK of the "3DModel" mode opens: the view filled from the site and sun path and shown
// modally, or the failure message when it cannot set itself up.
void Show3DView(QWidget* parent, const SiteTime& site, std::vector<SunSample> samples);

}  // namespace kelvaro
