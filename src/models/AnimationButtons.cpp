#include "models/AnimationButtons.h"

#include <QLabel>

#include "models/ButtonPictures.h"
#include "models/EzRgnBtn.h"

namespace kelvaro {

std::array<TEzRgnBtn*, 11> makeAnimationButtons(QWidget* panel, QWidget* form, const AnimationCommands& commands) {
  struct ButtonDef {
    ButtonGlyph glyph;
    const char* hint;
    int x, y;
    int repeat;  // auto-repeat period, 0: none
  };
  static const ButtonDef defs[11] = {
      {ButtonGlyph::CameraUp, "Camera Up", 60, 98, 50},
      {ButtonGlyph::CameraRight, "Camera Right", 88, 124, 50},
      {ButtonGlyph::CameraDown, "Camera Down", 60, 150, 50},
      {ButtonGlyph::CameraLeft, "Camera Left", 32, 124, 50},
      {ButtonGlyph::ZoomIn, "Zoom In", 8, 150, 50},
      {ButtonGlyph::ZoomOut, "Zoom Out", 112, 150, 50},
      {ButtonGlyph::Start, "Start F9", 6, 236, 0},
      {ButtonGlyph::Pause, "Pause/ Restart F11", 60, 236, 0},
      {ButtonGlyph::Reset, "Reset F12", 87, 236, 0},
      {ButtonGlyph::Close, "Close", 114, 236, 0},
      {ButtonGlyph::Step, "Single Step F10", 33, 236, 300},
  };
  std::array<TEzRgnBtn*, 11> out{};
  for (int i = 0; i < 11; ++i) {
    auto* b = new TEzRgnBtn(panel);
    b->setObjectName(QStringLiteral("EzRgnBtn%1").arg(i + 1));
    b->SetImageList(buttonPictures(defs[i].glyph, 24));
    b->SetPaintMode(TPaintMode::pmCrop);
    b->move(defs[i].x, defs[i].y);
    b->setToolTip(QString::fromLatin1(defs[i].hint));
    b->setStatusTip(QString::fromLatin1(defs[i].hint));
    if (defs[i].repeat) {
      b->SetAutoRepeat(true);
      b->SetAutoRepeatInterval(defs[i].repeat);
    }
    if (commands[i])
      QObject::connect(b, &TEzRgnBtn::OnClick, form, commands[i]);
    else
      QObject::connect(b, &TEzRgnBtn::OnClick, form, &QWidget::close);
    out[i] = b;
  }
  return out;
}

QLabel* makeAnimationClock(QWidget* panel) {
  auto* label = new QLabel("00 : 00", panel);
  label->setObjectName("Label1");
  QFont tf = label->font();
  tf.setBold(true);
  tf.setPixelSize(19);
  label->setFont(tf);
  QPalette lp = label->palette();
  lp.setColor(QPalette::WindowText, QColor(0, 0, 128));
  label->setPalette(lp);
  label->setAlignment(Qt::AlignCenter);
  label->setGeometry(4, 202, 136, 28);
  return label;
}

}  // namespace kelvaro
