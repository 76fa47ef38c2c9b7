#include "models/ModelWindow.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QVBoxLayout>

#include "models/AnimationButtons.h"
#include "models/ScenePainter.h"
#include "platform/help.h"
#include "platform/notify.h"
#include "shadow/SunPath.h"

namespace kelvaro {

namespace models {

// The drawing area: shows the off-screen image and hands the pointer to the form.
class ModelViewBox : public QWidget {
 public:
  explicit ModelViewBox(TModelForm* form) : QWidget(form), form_(form) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  std::function<void()> resized;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, form_->offscreen());
  }
  void resizeEvent(QResizeEvent*) override {
    if (resized) resized();
  }
  void mousePressEvent(QMouseEvent* e) override { form_->ViewBoxMouseDown(e->position().toPoint(), e->button()); }
  void mouseMoveEvent(QMouseEvent* e) override { form_->ViewBoxMouseMove(e->position().toPoint(), e->buttons()); }
  void mouseReleaseEvent(QMouseEvent* e) override { form_->ViewBoxMouseUp(e->position().toPoint(), e->button()); }

 private:
  TModelForm* form_;
};

}  // namespace models

namespace {

QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

// Keeps Panel2 at the foot of Panel1.
class PanelWatcher : public QObject {
 public:
  PanelWatcher(QObject* parent, std::function<void()> f) : QObject(parent), f_(std::move(f)) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Resize) f_();
    return false;
  }

 private:
  std::function<void()> f_;
};

}  // namespace

TModelForm::TModelForm(const QString& caption, int panX, int panY, QWidget* parent)
    : QDialog(parent), defaultPanX_(panX), defaultPanY_(panY) {
  view_.PanX = panX;
  view_.PanY = panY;
  timer_.setInterval(10);
  connect(&timer_, &QTimer::timeout, this, &TModelForm::Timer1Timer);
  buildControls(caption);
}

TModelForm::~TModelForm() = default;

QWidget* TModelForm::ViewBox() const { return viewBox_; }

QAction* TModelForm::action(const QString& objectName) const { return findChild<QAction*>(objectName); }

void TModelForm::buildControls(const QString& caption) {
  setWindowTitle(caption);
  resize(640, 475);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  // Menus.
  menuBar_ = new QMenuBar(this);
  outer->setMenuBar(menuBar_);
  auto addCommand = [this](QMenu* menu, const char* name, const QString& text, const QKeySequence& key,
                           const QString& hint, void (TModelForm::*slot)()) {
    auto* a = new QAction(text, this);
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) a->setShortcut(key);
    a->setStatusTip(hint);
    if (slot) connect(a, &QAction::triggered, this, slot);
    menu->addAction(a);
    addAction(a);  // shortcuts work while the menus are closed
    return a;
  };
  auto menuOf = [this](const QString& title, const QString& hint) {
    QMenu* m = menuBar_->addMenu(title);
    m->menuAction()->setStatusTip(hint);
    return m;
  };
  QMenu* file = menuOf("&File", "File commands");
  addCommand(file, "mnuClose", "&Close", QKeySequence(Qt::CTRL | Qt::Key_F4), "Close", nullptr);
  connect(action("mnuClose"), &QAction::triggered, this, &QWidget::close);
  QMenu* camera = menuOf("&Camera", "Camera commands");
  addCommand(camera, "mnuCameraUp", "Camera &Up", QKeySequence(Qt::CTRL | Qt::Key_U), "Camera Up", &TModelForm::CameraUp);
  addCommand(camera, "mnuCamaraDown", "Camara &Down", QKeySequence(Qt::CTRL | Qt::Key_D), "Camera Down",
             &TModelForm::CameraDown);
  addCommand(camera, "mnuCameraLeft", "Camera &Left", QKeySequence(Qt::CTRL | Qt::Key_L), "Camera Left",
             &TModelForm::CameraLeft);
  addCommand(camera, "mnuCameraRight", "Camera &Right", QKeySequence(Qt::CTRL | Qt::Key_R), "Camera Right",
             &TModelForm::CameraRight);
  camera->addSeparator();
  addCommand(camera, "mnuZoomIn", "Zoom &In", QKeySequence(Qt::CTRL | Qt::Key_I), "Zoom In", &TModelForm::ZoomIn);
  addCommand(camera, "mnuZoomOut", "Zoom &Out", QKeySequence(Qt::CTRL | Qt::Key_O), "Zoom Out", &TModelForm::ZoomOut);
  QMenu* options = menuOf("&Options", QString());
  addCommand(options, "mnuBackground", "Change &Background Color...", QKeySequence(), QString(), nullptr);
  options->menuAction()->setVisible(false);
  QMenu* anim = menuOf("&Animation", "Animation commands");
  addCommand(anim, "mnuStart", "&Start", QKeySequence(Qt::Key_F9), "Start F9", &TModelForm::Start);
  addCommand(anim, "SingleStep1", "Single S&tep", QKeySequence(Qt::Key_F10), "Single Step F10", &TModelForm::SingleStep);
  addCommand(anim, "mnuPause", "&Pause/ Restart", QKeySequence(Qt::Key_F11), "Pause/ Restart F11",
             &TModelForm::PauseRestart);
  addCommand(anim, "Reset1", "&Reset", QKeySequence(Qt::Key_F12), "Reset F12", &TModelForm::Reset);
  QMenu* help = menuOf("&Help", "Help topics");
  addCommand(help, "mnuContents", "Topics...", QKeySequence(Qt::Key_F1), "Help topics", &TModelForm::ShowHelp);

  // Drawing area and side panel.
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  viewBox_ = new models::ModelViewBox(this);
  viewBox_->setObjectName("ViewBox");
  viewBox_->setMinimumSize(1, 1);
  viewBox_->resized = [this] {
    layOut();
    Draw();
  };
  row->addWidget(viewBox_, 1);
  panel1_ = new QFrame(this);
  panel1_->setObjectName("Panel1");
  panel1_->setFixedWidth(148);
  panel1_->setFrameShape(QFrame::Panel);
  panel1_->setFrameShadow(QFrame::Raised);
  panel1_->setAutoFillBackground(true);
  QPalette pal = panel1_->palette();
  pal.setColor(QPalette::Window, QColor(192, 192, 192));
  panel1_->setPalette(pal);
  row->addWidget(panel1_);
  outer->addLayout(row, 1);
  status_ = new QStatusBar(this);
  status_->setObjectName("StatusBar1");
  status_->setSizeGripEnabled(false);
  outer->addWidget(status_);

  const char* captions[] = {"Date:", "Latitude:", "Longitude:", "Sunrise:", "Sunset:"};
  for (int i = 0; i < 5; ++i) {
    auto* c = new QLabel(QString::fromLatin1(captions[i]), panel1_);
    c->move(4, 6 + 18 * i);
    info_[i] = new QLabel(panel1_);
    info_[i]->setObjectName(QStringLiteral("Label%1").arg(14 + i));
    info_[i]->setGeometry(68, 6 + 18 * i, 78, 16);
  }

  panel2_ = new QFrame(panel1_);
  panel2_->setObjectName("Panel2");
  panel2_->setGeometry(2, 100, 144, 270);
  auto* gb1 = new QGroupBox("Time Interval", panel2_);
  gb1->setStatusTip("Set time interval for the animation");
  gb1->setToolTip("Set time interval for the animation");
  gb1->setGeometry(4, 0, 136, 44);
  spin1_ = new QSpinBox(gb1);
  spin1_->setObjectName("SpinEdit1");
  spin1_->setRange(1, 30);
  spin1_->setValue(2);
  spin1_->setGeometry(8, 16, 56, 22);
  (new QLabel("Minutes", gb1))->move(70, 19);
  auto* gb2 = new QGroupBox("Orientation", panel2_);
  gb2->setStatusTip("Set window orientation from North");
  gb2->setToolTip("Set window orientation from North");
  gb2->setGeometry(4, 48, 136, 44);
  spin2_ = new QSpinBox(gb2);
  spin2_->setObjectName("SpinEdit2");
  spin2_->setRange(0, 360);
  spin2_->setSingleStep(5);
  spin2_->setValue(180);
  spin2_->setGeometry(8, 16, 56, 22);
  (new QLabel("Degrees", gb2))->move(70, 19);
  connect(spin1_, &QSpinBox::valueChanged, this, &TModelForm::SpinEdit1Change);
  connect(spin2_, &QSpinBox::valueChanged, this, &TModelForm::SpinEdit2Change);

  const auto buttons = makeAnimationButtons(panel2_, this);
  std::copy(buttons.begin(), buttons.end(), buttons_);
  label1_ = makeAnimationClock(panel2_);

  panel1_->installEventFilter(new PanelWatcher(this, [this] { placePanel2(); }));
}

void TModelForm::placePanel2() {
  panel2_->move(panel2_->x(), panel1_->height() - panel2_->height() - 4);
}

void TModelForm::finishCreation() {
  initialiseView();
  layOut();
  creating_ = false;
  // Centred on the screen.
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void TModelForm::SetSamples(std::vector<SunSample> samples) {
  const int step = anim_.StepMinutes;
  anim_ = models::Animation(std::move(samples));
  anim_.StepMinutes = step;
}

void TModelForm::SetLabels(const SunPathLabels& l) {
  const std::string* texts[] = {&l.Date, &l.Latitude, &l.Longitude, &l.Sunrise, &l.Sunset};
  for (int i = 0; i < 5; ++i) info_[i]->setText(fromUtf8(*texts[i]));
}

void TModelForm::initialiseView() {
  view_.ViewZoom = 1.0;
  view_.PanX = defaultPanX_;
  view_.PanY = defaultPanY_;
  anim_.reset();
  anim_.StepMinutes = stepMinutes_;
  label1_->setText(QString::fromStdString(anim_.TimeText));
  spin1_->setValue(stepMinutes_);
  spin2_->setValue(orientation_);
  restoreDisplay();
}

void TModelForm::layOut() {
  view_.width = std::max(viewBox_->width(), 1);
  view_.height = std::max(viewBox_->height(), 1);
}

void TModelForm::Draw() {
  if (viewBox_->width() < 1 || viewBox_->height() < 1) return;
  layOut();
  buildScene(scene_);
  const models::Scene& s = scene_;
  if (offscreen_.size() != QSize(s.width, s.height))
    offscreen_ = QImage(std::max(s.width, 1), std::max(s.height, 1), QImage::Format_RGB32);
  QPainter p(&offscreen_);
  models::paintScene(p, s);
  p.end();
  viewBox_->update();
}

void TModelForm::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  placePanel2();
}

void TModelForm::closeEvent(QCloseEvent* e) {
  timer_.stop();
  QDialog::closeEvent(e);
}

void TModelForm::done(int r) {
  timer_.stop();
  QDialog::done(r);
}

bool TModelForm::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    status_->showMessage(static_cast<QStatusTipEvent*>(e)->tip());
    return true;
  }
  return QDialog::event(e);
}

void TModelForm::oneStep() {
  anim_.StepMinutes = stepMinutes_;
  if (anim_.step(orientation_)) {
    Draw();
    label1_->setText(QString::fromStdString(anim_.TimeText));
  }
}

void TModelForm::Start() {
  orientation_ = spin2_->value();
  orientationChanged();
  anim_.SampleIndex = 0;
  timer_.start();
}

void TModelForm::SingleStep() {
  timer_.stop();
  orientation_ = spin2_->value();
  if (anim_.pastEnd()) anim_.SampleIndex = 0;
  try {
    orientationChanged();
    oneStep();
  } catch (const std::exception&) {
    showError("An error occurred during the animation");
  }
}

void TModelForm::PauseRestart() {
  if (anim_.SampleIndex == 0) return;
  if (timer_.isActive())
    timer_.stop();
  else
    timer_.start();
}

void TModelForm::Reset() {
  timer_.stop();
  resetStored();
  initialiseView();
  layOut();
  Draw();
}

void TModelForm::Timer1Timer() {
  if (anim_.pastEnd()) {
    timer_.stop();
    return;
  }
  try {
    oneStep();
  } catch (const std::exception&) {
    timer_.stop();
    showError("An error occurred during the animation");
  }
}

void TModelForm::CameraUp() {
  if (models::CameraUp(view_)) Draw();
}
void TModelForm::CameraDown() {
  if (models::CameraDown(view_)) Draw();
}
void TModelForm::CameraLeft() {
  if (models::CameraLeft(view_)) Draw();
}
void TModelForm::CameraRight() {
  if (models::CameraRight(view_)) Draw();
}
void TModelForm::ZoomIn() {
  if (models::ZoomIn(view_)) Draw();
}
void TModelForm::ZoomOut() {
  if (models::ZoomOut(view_)) Draw();
}

void TModelForm::ShowHelp() { help::showTopic(4); }

void TModelForm::SpinEdit1Change(int value) {
  if (value < 0 || value > 30) return;
  stepMinutes_ = value == 0 ? 1 : value;
  anim_.StepMinutes = stepMinutes_;
}

void TModelForm::SpinEdit2Change(int value) {
  if (creating_) return;
  if (value < 0 || value > 360) return;
  orientation_ = value;
  try {
    orientationChanged();
    Draw();
  } catch (const std::exception&) {
    // The next change or step draws again.
  }
}

void TModelForm::ViewBoxMouseDown(QPoint p, Qt::MouseButton button) {
  if (button != Qt::LeftButton) return;
  downAt_ = p;
  const auto nodes = committedNodes();
  dragNode_ = models::HitNode(nodes, {p.x(), p.y()});
}

void TModelForm::ViewBoxMouseMove(QPoint p, Qt::MouseButtons buttons) {
  if (!(buttons & Qt::LeftButton)) {
    const auto nodes = committedNodes();
    const int n = models::HitNode(nodes, {p.x(), p.y()});
    switch (n < 0 ? models::DragCursor::Default : cursorFor(n)) {
      case models::DragCursor::Vertical:
        viewBox_->setCursor(Qt::SizeVerCursor);
        break;
      case models::DragCursor::Horizontal:
        viewBox_->setCursor(Qt::SizeHorCursor);
        break;
      case models::DragCursor::Default:
        viewBox_->unsetCursor();
        break;
    }
    return;
  }
  if (dragNode_ < 0) return;
  dragTo(dragNode_, {downAt_.x(), downAt_.y()}, {p.x(), p.y()});
  Draw();
}

void TModelForm::ViewBoxMouseUp(QPoint, Qt::MouseButton button) {
  if (button != Qt::LeftButton) return;
  if (dragNode_ >= 0) commitDrag();
  dragNode_ = -1;
  viewBox_->unsetCursor();
  layOut();
  Draw();
}

}  // namespace kelvaro
