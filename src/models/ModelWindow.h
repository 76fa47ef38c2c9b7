#pragma once
// The frame the two shading models share: the drawing area (painted from an off-screen
// image in one copy), the side panel with the information labels, the time step and
// orientation spin edits, the camera, zoom and animation buttons, the menus and shortcuts, the
// 10 ms animation timer and the dragging of the nodes. TfrmModel1 and TfrmModel2 supply the
// geometry.
#include <QDialog>
#include <QImage>
#include <QTimer>

#include <array>
#include <functional>
#include <vector>

#include "models/EzRgnBtn.h"
#include "models/ModelGeometry.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QSpinBox;
class QStatusBar;

namespace kelvaro {

struct SunPathLabels;

namespace models {
class ModelViewBox;
}

class TModelForm : public QDialog {
  Q_OBJECT
 public:
  ~TModelForm() override;

  // Filled by the creator before the window is shown.
  void SetSamples(std::vector<SunSample> samples);
  void SetLabels(const SunPathLabels& labels);

  // Commands (buttons, menus and shortcuts lead here).
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

  // Handlers of the drawing area (pixel positions in the drawing area).
  void ViewBoxMouseDown(QPoint p, Qt::MouseButton button);
  void ViewBoxMouseMove(QPoint p, Qt::MouseButtons buttons);
  void ViewBoxMouseUp(QPoint p, Qt::MouseButton button);
  void SpinEdit1Change(int value);
  void SpinEdit2Change(int value);

  // State, for the creator and for tests.
  const models::ModelView& view() const { return view_; }
  const models::Animation& animation() const { return anim_; }
  models::Animation& animation() { return anim_; }
  int StepMinutes() const { return stepMinutes_; }
  int FacadeOrientation() const { return orientation_; }
  QTimer& Timer1() { return timer_; }
  const QImage& offscreen() const { return offscreen_; }
  QWidget* ViewBox() const;
  QSpinBox* SpinEdit1() const { return spin1_; }
  QSpinBox* SpinEdit2() const { return spin2_; }
  QLabel* Label1() const { return label1_; }
  QLabel* InfoLabel(int i) const { return info_[i]; }  // Label14 … Label18 as 0 … 4
  QFrame* Panel1() const { return panel1_; }
  QFrame* Panel2() const { return panel2_; }
  QStatusBar* StatusBar1() const { return status_; }
  QMenuBar* menuBar() const { return menuBar_; }
  TEzRgnBtn* button(int n) const { return buttons_[n - 1]; }  // EzRgnBtn1 … EzRgnBtn11
  QAction* action(const QString& objectName) const;
  int dragNode() const { return dragNode_; }
  // Draws the model now (onto the off-screen image, then the drawing area).
  void Draw();

 protected:
  TModelForm(const QString& caption, int panX, int panY, QWidget* parent);
  // Called by the subclass constructor once its values are in place.
  void finishCreation();

  // What a model supplies.
  virtual void buildScene(models::Scene& out) const = 0;
  virtual std::array<models::Pt, 5> committedNodes() const = 0;
  virtual models::DragCursor cursorFor(int node) const = 0;
  virtual void dragTo(int node, models::Pt down, models::Pt now) = 0;  // display values
  virtual void commitDrag() = 0;                                         // committed := display
  virtual void restoreDisplay() = 0;                                     // display := committed
  virtual void resetStored() = 0;  // the stored values back to their defaults
  virtual void orientationChanged() {}

  void resizeEvent(QResizeEvent*) override;
  void closeEvent(QCloseEvent*) override;
  void done(int r) override;
  bool event(QEvent* e) override;

  models::ModelView view_;
  models::Animation anim_;
  int stepMinutes_ = 2;
  int orientation_ = 180;
  bool creating_ = true;

 private:
  void buildControls(const QString& caption);
  void initialiseView();
  void layOut();
  void oneStep();
  void placePanel2();

  int defaultPanX_, defaultPanY_;
  QTimer timer_;
  QImage offscreen_;
  models::Scene scene_;  // kept between frames
  int dragNode_ = -1;
  QPoint downAt_;
  models::ModelViewBox* viewBox_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  QFrame* panel1_ = nullptr;
  QFrame* panel2_ = nullptr;
  QSpinBox* spin1_ = nullptr;
  QSpinBox* spin2_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* info_[5] = {};
  QStatusBar* status_ = nullptr;
  TEzRgnBtn* buttons_[11] = {};
};

}  // namespace kelvaro
