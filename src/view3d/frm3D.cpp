#include "view3d/frm3D.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QVBoxLayout>

#include "models/AnimationButtons.h"
#include "models/EzRgnBtn.h"
#include "platform/help.h"
#include "platform/notify.h"
#include "platform/settings.h"
#include "shadow/SunPath.h"

namespace kelvaro {

namespace {

DeviceProber& prober() {
  static DeviceProber p;
  return p;
}

QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

// A set-up step that cannot go on.
struct E3DError {
  const char* message;
};

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

void SetDeviceProber(DeviceProber p) { prober() = std::move(p); }

View3DSettings LoadView3DSettings() {
  View3DSettings s;
  const RegKey key = RegKey::open(QString::fromLatin1(kView3DSettingsKey));
  if (key.isOpen()) KeyReader(key).integer("m3e", s.StepMinutes).integer("m3f", s.FacadeOrientation);
  if (!key.isOpen() || s.StepMinutes == 0) {
    s.StepMinutes = view3d::kStepDefault;
    s.FacadeOrientation = view3d::kOrientationDefault;
  }
  // Values the spin edits could never hold would leave window and scene disagreeing.
  if (s.StepMinutes < 1 || s.StepMinutes > 30) s.StepMinutes = view3d::kStepDefault;
  if (s.FacadeOrientation < 0 || s.FacadeOrientation > 360) s.FacadeOrientation = view3d::kOrientationDefault;
  return s;
}

void SaveView3DSettings(const View3DSettings& s) {
  RegKey key = RegKey::create(QString::fromLatin1(kView3DSettingsKey));
  key.writeInt("m3e", s.StepMinutes);
  key.writeInt("m3f", s.FacadeOrientation);
  key.flush();
}

namespace view3d {

// The drawing area: draws the form's scene with OpenGL whenever it changed.
class View3DBox : public QOpenGLWidget {
 public:
  explicit View3DBox(Tfrm3D* form) : QOpenGLWidget(form), form_(form) {}
  ~View3DBox() override {
    if (!context()) return;
    makeCurrent();
    renderer_.release();
    doneCurrent();
  }
  bool drawing() const { return renderer_.ready(); }

 protected:
  void initializeGL() override {
    QString why;
    if (!context() || !context()->isValid() || !renderer_.initialise(&why)) {
      if (!reported_) showError("CreateDeviceFromClipper failed");
      reported_ = true;
    }
  }
  void paintGL() override {
    const qreal dpr = devicePixelRatioF();
    renderer_.render(form_->view_.scene.frames(), form_->view_.scene.View, int(width() * dpr), int(height() * dpr));
  }
  void resizeEvent(QResizeEvent* e) override {
    QOpenGLWidget::resizeEvent(e);
    if (!form_->creating_ && form_->view_.Resize(width(), height())) form_->placePanel2();
  }

 private:
  Tfrm3D* form_;
  GLRenderer renderer_;
  bool reported_ = false;
};

}  // namespace view3d

Tfrm3D::Tfrm3D(QWidget* parent) : QDialog(parent) {
  creating_ = true;
  const View3DSettings stored = LoadView3DSettings();
  view_.StepMinutes = stored.StepMinutes;
  view_.FacadeOrientation = stored.FacadeOrientation;
  timer_.setInterval(1);
  connect(&timer_, &QTimer::timeout, this, &Tfrm3D::Timer1Timer);
  buildControls();
  spin4_->setValue(view_.FacadeOrientation);
  spin1_->setValue(view_.StepMinutes);
  view_.CameraDefaults();
  if (layout()) layout()->activate();
  engineSetUp();
  placePanel2();
  creating_ = false;
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

Tfrm3D::~Tfrm3D() {
  timer_.stop();
  SaveView3DSettings({view_.StepMinutes, view_.FacadeOrientation});
}

void Tfrm3D::engineSetUp() {
  try {
    const view3d::DeviceProbe probe = prober() ? prober()() : view3d::ProbeOpenGL(true);
    if (!probe.ok) throw E3DError{"Direct3DRMCreate failed."};
    view3d::Device& dev = view_.scene.Dev;
    dev.quality = view3d::Quality::Gouraud;
    if (probe.colourBits <= 8) {
      dev.dither = false;
      showInfo("3D modelling operates best with your display set for true color.");
    } else {
      dev.shades = probe.colourBits <= 16 ? 32 : 256;
      dev.textureColours = 64;
      dev.textureShades = 32;
      dev.dither = false;
      if (probe.colourBits <= 16) showInfo("3D Simulation operates best with your display set for true color.");
    }
    const view3d::Device keep = dev;
    std::string why;
    const bool built = view_.SetUp(view3d::CubeResource(), box_->width(), box_->height(), &why);
    view_.scene.Dev.quality = keep.quality;
    view_.scene.Dev.shades = keep.shades;
    view_.scene.Dev.dither = keep.dither;
    if (!built) throw E3DError{"CreateDevice failed."};
  } catch (const E3DError& e) {
    setupFailed_ = true;
    showError(e.message);
  }
}

void Tfrm3D::buildControls() {
  setWindowTitle("3D Shadow Model");
  resize(640, 475);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  menuBar_ = new QMenuBar(this);
  outer->setMenuBar(menuBar_);
  auto addCommand = [this](QMenu* menu, const char* name, const QString& text, const QKeySequence& key,
                           const QString& hint, void (Tfrm3D::*slot)()) {
    auto* a = new QAction(text, this);
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) a->setShortcut(key);
    a->setStatusTip(hint);
    if (slot) connect(a, &QAction::triggered, this, slot);
    menu->addAction(a);
    addAction(a);
    return a;
  };
  auto menuOf = [this](const QString& title, const QString& hint) {
    QMenu* m = menuBar_->addMenu(title);
    m->menuAction()->setStatusTip(hint);
    return m;
  };
  QMenu* file = menuOf("&File", "File commands");
  connect(addCommand(file, "mnuClose", "&Close", QKeySequence(Qt::CTRL | Qt::Key_F4), "Close", nullptr),
          &QAction::triggered, this, &QWidget::close);
  QMenu* camera = menuOf("&Camera", "Camera commands");
  addCommand(camera, "mnuCameraUp", "Camera &Up", QKeySequence(Qt::CTRL | Qt::Key_U), "Camera Up", &Tfrm3D::CameraUp);
  addCommand(camera, "mnuCamaraDown", "Camara &Down", QKeySequence(Qt::CTRL | Qt::Key_D), "Camera Down",
             &Tfrm3D::CameraDown);
  addCommand(camera, "mnuCameraLeft", "Camera &Left", QKeySequence(Qt::CTRL | Qt::Key_L), "Camera Left",
             &Tfrm3D::CameraLeft);
  addCommand(camera, "mnuCameraRight", "Camera &Right", QKeySequence(Qt::CTRL | Qt::Key_R), "Camera Right",
             &Tfrm3D::CameraRight);
  camera->addSeparator();
  addCommand(camera, "mnuZoomIn", "Zoom &In", QKeySequence(Qt::CTRL | Qt::Key_I), "Zoom In", &Tfrm3D::ZoomIn);
  addCommand(camera, "mnuZoomOut", "Zoom &Out", QKeySequence(Qt::CTRL | Qt::Key_O), "Zoom Out", &Tfrm3D::ZoomOut);
  QMenu* anim = menuOf("&Animation", "Animation commands");
  addCommand(anim, "mnuStart", "&Start", QKeySequence(Qt::Key_F9), "Start F9", &Tfrm3D::Start);
  addCommand(anim, "SingleStep1", "Single S&tep", QKeySequence(Qt::Key_F10), "Single Step F10", &Tfrm3D::SingleStep);
  addCommand(anim, "mnuPause", "&Pause/ Restart", QKeySequence(Qt::Key_F11), "Pause/ Restart F11",
             &Tfrm3D::PauseRestart);
  addCommand(anim, "Reset1", "&Reset", QKeySequence(Qt::Key_F12), "Reset F12", &Tfrm3D::Reset);
  QMenu* help = menuOf("&Help", "Help topics");
  addCommand(help, "mnuContents", "Topics...", QKeySequence(Qt::Key_F1), "Help topics", &Tfrm3D::ShowHelp);

  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  box_ = new view3d::View3DBox(this);
  box_->setObjectName("PaintBox1");
  box_->setMinimumSize(1, 1);
  row->addWidget(box_, 1);
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
  const int numbers[] = {10, 11, 12, 5, 6};
  for (int i = 0; i < 5; ++i) {
    auto* c = new QLabel(QString::fromLatin1(captions[i]), panel1_);
    c->move(4, 6 + 18 * i);
    info_[i] = new QLabel(panel1_);
    info_[i]->setObjectName(QStringLiteral("Label%1").arg(numbers[i]));
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
  spin1_->setGeometry(8, 16, 56, 22);
  (new QLabel("Minutes", gb1))->move(70, 19);
  auto* gb2 = new QGroupBox("Orientation", panel2_);
  gb2->setStatusTip("Set orientation compared to North");
  gb2->setToolTip("Set orientation compared to North");
  gb2->setGeometry(4, 48, 136, 44);
  spin4_ = new QSpinBox(gb2);
  spin4_->setObjectName("SpinEdit4");
  spin4_->setRange(0, 360);
  spin4_->setSingleStep(5);
  spin4_->setGeometry(8, 16, 56, 22);
  (new QLabel("Degrees", gb2))->move(70, 19);
  connect(spin1_, &QSpinBox::valueChanged, this, &Tfrm3D::SpinEdit1Change);
  connect(spin4_, &QSpinBox::valueChanged, this, &Tfrm3D::SpinEdit4Change);

  const auto buttons = makeAnimationButtons(panel2_, this);
  std::copy(buttons.begin(), buttons.end(), buttons_);
  label1_ = makeAnimationClock(panel2_);

  // Sun position over the top left of the drawing area.
  panel3_ = new QFrame(box_);
  panel3_->setObjectName("Panel3");
  panel3_->setAutoFillBackground(true);
  panel3_->setPalette(pal);
  panel3_->setGeometry(0, 0, 150, 40);
  (new QLabel("Azimuth:", panel3_))->move(4, 3);
  (new QLabel("Altitude:", panel3_))->move(4, 21);
  label16_ = new QLabel(panel3_);
  label16_->setObjectName("Label16");
  label16_->setGeometry(64, 3, 84, 16);
  label17_ = new QLabel(panel3_);
  label17_->setObjectName("Label17");
  label17_->setGeometry(64, 21, 84, 16);

  panel1_->installEventFilter(new PanelWatcher(this, [this] { placePanel2(); }));
}

QWidget* Tfrm3D::PaintBox1() const { return box_; }

QAction* Tfrm3D::action(const QString& objectName) const { return findChild<QAction*>(objectName); }

QLabel* Tfrm3D::Label(int n) const {
  switch (n) {
    case 1: return label1_;
    case 10: return info_[0];
    case 11: return info_[1];
    case 12: return info_[2];
    case 5: return info_[3];
    case 6: return info_[4];
    case 16: return label16_;
    case 17: return label17_;
    default: return nullptr;
  }
}

void Tfrm3D::placePanel2() { panel2_->move(panel2_->x(), panel1_->height() - panel2_->height() - 4); }

void Tfrm3D::SetSamples(std::vector<SunSample> samples) {
  view_.samples = std::move(samples);
  view_.SampleIndex = 0;
}

void Tfrm3D::SetLabels(const SunPathLabels& l) {
  const std::string* texts[] = {&l.Date, &l.Latitude, &l.Longitude, &l.Sunrise, &l.Sunset};
  for (int i = 0; i < 5; ++i) info_[i]->setText(fromUtf8(*texts[i]));
}

void Tfrm3D::showLabels() {
  label1_->setText(fromUtf8(view_.Labels.Time));
  label16_->setText(fromUtf8(view_.Labels.Azimuth));
  label17_->setText(fromUtf8(view_.Labels.Altitude));
}

void Tfrm3D::changed() {
  if (box_) box_->update();
}

void Tfrm3D::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Reset();
}

void Tfrm3D::closeEvent(QCloseEvent* e) {
  timer_.stop();
  QDialog::closeEvent(e);
}

void Tfrm3D::done(int r) {
  timer_.stop();
  QDialog::done(r);
}

bool Tfrm3D::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    status_->showMessage(static_cast<QStatusTipEvent*>(e)->tip());
    return true;
  }
  return QDialog::event(e);
}

void Tfrm3D::Timer1Timer() {
  bool on = timer_.isActive();
  view_.TimerTick(on);
  if (!on) timer_.stop();
  showLabels();
  changed();
}

void Tfrm3D::Start() {
  bool on = timer_.isActive();
  view_.Start(on);
  if (on) timer_.start();
}

void Tfrm3D::SingleStep() {
  bool on = timer_.isActive();
  view_.SingleStep(on);
  timer_.stop();
  showLabels();
  changed();
}

void Tfrm3D::PauseRestart() {
  bool on = timer_.isActive();
  view_.PauseRestart(on);
  if (on)
    timer_.start();
  else
    timer_.stop();
}

void Tfrm3D::Reset() {
  view_.Reset();
  timer_.stop();
  showLabels();
  changed();
}

void Tfrm3D::CameraUp() {
  if (view_.CameraUp()) changed();
}
void Tfrm3D::CameraDown() {
  if (view_.CameraDown()) changed();
}
void Tfrm3D::CameraLeft() {
  view_.CameraLeft();
  changed();
}
void Tfrm3D::CameraRight() {
  view_.CameraRight();
  changed();
}
void Tfrm3D::ZoomIn() {
  if (view_.ZoomIn()) changed();
}
void Tfrm3D::ZoomOut() {
  if (view_.ZoomOut()) changed();
}

void Tfrm3D::ShowHelp() { help::showTopic(7); }

void Tfrm3D::SpinEdit1Change(int value) { view_.SetStep(value); }

void Tfrm3D::SpinEdit4Change(int value) {
  if (creating_) return;
  if (view_.SetOrientation(value)) changed();
}

QImage Tfrm3D::grabScene() {
  if (setupFailed_ || !box_ || !box_->isVisible()) return {};
  QImage img = box_->grabFramebuffer();
  if (!box_->drawing()) return {};
  return img;
}

void Show3DView(QWidget* parent, const SiteTime& site, std::vector<SunSample> samples) {
  auto form = std::make_unique<Tfrm3D>(parent);
  if (form->SetupFailed()) {
    showError(kSetupFailedText);
    return;
  }
  form->SetSamples(std::move(samples));
  form->SetLabels(MakeSunPathLabels(site));
  form->exec();
}

}  // namespace kelvaro
