#include "models/EzRgnBtn.h"

#include <QBitmap>
#include <QMouseEvent>
#include <QPainter>

namespace kelvaro {

TEzRgnBtn::TEzRgnBtn(QWidget* parent) : QWidget(parent) {
  resize(15, 15);
  setMouseTracking(true);
  timer_.setInterval(interval_);
  connect(&timer_, &QTimer::timeout, this, [this] { click(); });
}

void TEzRgnBtn::SetAutoRepeat(bool on) {
  autoRepeat_ = on;
  updateTimer();
}

void TEzRgnBtn::SetAutoRepeatInterval(int ms) {
  if (ms == 0) return;
  if (ms < 0) return;  // no period below zero either
  interval_ = ms;
  timer_.setInterval(ms);
}

void TEzRgnBtn::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  applySize();
  update();
}

void TEzRgnBtn::SetPicIdle(const QImage& img) { setPicture(0, img); }
void TEzRgnBtn::SetPicUp(const QImage& img) { setPicture(1, img); }
void TEzRgnBtn::SetPicDown(const QImage& img) { setPicture(2, img); }
void TEzRgnBtn::SetPicDsbld(const QImage& img) { setPicture(3, img); }

void TEzRgnBtn::SetImageList(const TImageList& images) {
  for (int i = 0; i < 4 && i < images.size(); ++i) setPicture(i, images[i]);
}

void TEzRgnBtn::setPicture(int index, const QImage& img) {
  pics_[index] = img;
  keyed_[index] = keyedCopy(img);  // made once, not at every paint
  if (index == 0 && cropped_) buildRegion();
  applySize();
  update();
}

void TEzRgnBtn::SetPaintMode(TPaintMode mode) {
  if (mode == mode_) return;
  mode_ = mode;
  if (mode == TPaintMode::pmCrop) {
    buildRegion();
  } else if (cropped_) {
    clearMask();
    cropped_ = false;
  }
  update();
}

QRegion TEzRgnBtn::cropRegion(const QImage& img) {
  if (img.isNull()) return {};
  const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
  const QRgb key = rgb.pixel(0, 0);
  // Row runs of the pixels that stay give the same region as taking the keyed pixels away
  // one by one, without a region operation per pixel.
  QRegion r;
  for (int y = 0; y < rgb.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    int x = 0;
    while (x < rgb.width()) {
      while (x < rgb.width() && line[x] == key) ++x;
      const int start = x;
      while (x < rgb.width() && line[x] != key) ++x;
      if (x > start) r += QRect(start, y, x - start, 1);
    }
  }
  return r;
}

void TEzRgnBtn::buildRegion() {
  if (pics_[0].isNull()) {
    clearMask();
    cropped_ = false;
    return;
  }
  QRegion r = cropRegion(pics_[0]);
  // A picture made only of its key colour would hide the button for good; keep it whole.
  if (r.isEmpty()) r = QRegion(pics_[0].rect());
  setMask(r);
  cropped_ = true;
  update();
}

int TEzRgnBtn::chosenIndex() const {
  const int normal = enabled_ ? 0 : (pics_[3].isNull() ? 0 : 3);
  if (pressed_ && inside_ && enabled_) return pics_[2].isNull() ? normal : 2;
  if (inside_ && !pressed_ && enabled_) return pics_[1].isNull() ? normal : 1;
  return normal;
}

const QImage& TEzRgnBtn::chosenPicture() const { return pics_[chosenIndex()]; }

void TEzRgnBtn::applySize() {
  const QImage& pic = chosenPicture();
  if (!pic.isNull() && size() != pic.size()) resize(pic.size());
}

void TEzRgnBtn::paintEvent(QPaintEvent*) {
  const int index = chosenIndex();
  const QImage& pic = pics_[index];
  if (pic.isNull()) return;
  if (size() != pic.size()) resize(pic.size());
  QPainter p(this);
  p.drawImage(0, 0, mode_ == TPaintMode::pmTransparent ? keyed_[index] : pic);
}

QImage TEzRgnBtn::keyedCopy(const QImage& img) {
  if (img.isNull()) return {};
  QImage keyed = img.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = keyed.pixel(0, 0);
  for (int y = 0; y < keyed.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
    for (int x = 0; x < keyed.width(); ++x)
      if (line[x] == key) line[x] = 0;
  }
  return keyed;
}

void TEzRgnBtn::setInside(bool in) {
  if (in == inside_) return;
  inside_ = in;
  applySize();
  update();
  if (in)
    Q_EMIT OnMouseEnter();
  else
    Q_EMIT OnMouseLeave();
  updateTimer();
}

void TEzRgnBtn::enterEvent(QEnterEvent*) { setInside(true); }
void TEzRgnBtn::leaveEvent(QEvent*) { setInside(false); }

void TEzRgnBtn::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  pressed_ = true;
  setInside(rect().contains(e->position().toPoint()));
  applySize();
  update();
  Q_EMIT OnMouseDown();
  updateTimer();
}

void TEzRgnBtn::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const bool wasPressed = pressed_;
  pressed_ = false;
  const bool in = rect().contains(e->position().toPoint()) && (!cropped_ || mask().contains(e->position().toPoint()));
  applySize();
  update();
  Q_EMIT OnMouseUp();
  updateTimer();
  if (wasPressed && in) click();
}

void TEzRgnBtn::mouseDoubleClickEvent(QMouseEvent*) {}

void TEzRgnBtn::mouseMoveEvent(QMouseEvent* e) {
  // While the button is held the pointer stays captured, so leaving and coming back show only
  // as moves.
  const QPoint pos = e->position().toPoint();
  setInside(rect().contains(pos) && (!cropped_ || mask().contains(pos)));
  Q_EMIT OnMouseMove(pos);
}

void TEzRgnBtn::updateTimer() {
  const bool run = autoRepeat_ && inside_ && pressed_;
  if (run && !timer_.isActive())
    timer_.start(interval_);
  else if (!run && timer_.isActive())
    timer_.stop();
}

void TEzRgnBtn::click() {
  if (enabled_) Q_EMIT OnClick();
}

}  // namespace kelvaro
