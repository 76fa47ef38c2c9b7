#include "models/ButtonPictures.h"

#include <QPainter>
#include <QPainterPath>

namespace kelvaro {

namespace {

enum class State { Idle, Up, Down, Disabled };

void drawGlyph(QPainter& p, ButtonGlyph g, const QRectF& r, const QColor& ink) {
  const double cx = r.center().x(), cy = r.center().y(), w = r.width(), h = r.height();
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  auto triangle = [&](QPointF a, QPointF b, QPointF c) { p.drawPolygon(QPolygonF({a, b, c})); };
  switch (g) {
    case ButtonGlyph::CameraUp:
      triangle({cx, r.top()}, {r.right(), r.bottom()}, {r.left(), r.bottom()});
      break;
    case ButtonGlyph::CameraDown:
      triangle({r.left(), r.top()}, {r.right(), r.top()}, {cx, r.bottom()});
      break;
    case ButtonGlyph::CameraLeft:
      triangle({r.left(), cy}, {r.right(), r.top()}, {r.right(), r.bottom()});
      break;
    case ButtonGlyph::CameraRight:
      triangle({r.left(), r.top()}, {r.right(), cy}, {r.left(), r.bottom()});
      break;
    case ButtonGlyph::ZoomIn:
    case ButtonGlyph::ZoomOut: {
      // A magnifier with a plus or a minus in its lens.
      const double lr = w * 0.34;
      const QPointF lens(r.left() + lr + 1, r.top() + lr + 1);
      p.setPen(QPen(ink, std::max(2.0, w / 8), Qt::SolidLine, Qt::RoundCap));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(lens, lr, lr);
      p.drawLine(lens + QPointF(lr * 0.75, lr * 0.75), r.bottomRight());
      const double a = lr * 0.55;
      p.setPen(QPen(ink, std::max(1.5, w / 10)));
      p.drawLine(lens - QPointF(a, 0), lens + QPointF(a, 0));
      if (g == ButtonGlyph::ZoomIn) p.drawLine(lens - QPointF(0, a), lens + QPointF(0, a));
      break;
    }
    case ButtonGlyph::Start:
      triangle({r.left() + w * 0.15, r.top()}, {r.right(), cy}, {r.left() + w * 0.15, r.bottom()});
      break;
    case ButtonGlyph::Step:
      triangle({r.left(), r.top()}, {r.left() + w * 0.65, cy}, {r.left(), r.bottom()});
      p.drawRect(QRectF(r.right() - w * 0.22, r.top(), w * 0.22, h));
      break;
    case ButtonGlyph::Pause:
      p.drawRect(QRectF(r.left() + w * 0.1, r.top(), w * 0.28, h));
      p.drawRect(QRectF(r.right() - w * 0.38, r.top(), w * 0.28, h));
      break;
    case ButtonGlyph::Reset: {
      // A circular arrow back to the start.
      p.setPen(QPen(ink, std::max(2.0, w / 7), Qt::SolidLine, Qt::FlatCap));
      p.setBrush(Qt::NoBrush);
      QRectF arc = r.adjusted(w * 0.12, h * 0.12, -w * 0.12, -h * 0.12);
      p.drawArc(arc, 100 * 16, 290 * 16);
      p.setPen(Qt::NoPen);
      p.setBrush(ink);
      const QPointF top(arc.center().x(), arc.top());
      triangle(top + QPointF(-w * 0.05, -h * 0.2), top + QPointF(w * 0.3, 0), top + QPointF(-w * 0.05, h * 0.2));
      break;
    }
    case ButtonGlyph::Close:
      p.setPen(QPen(ink, std::max(2.0, w / 6), Qt::SolidLine, Qt::RoundCap));
      p.drawLine(r.topLeft(), r.bottomRight());
      p.drawLine(r.topRight(), r.bottomLeft());
      break;
  }
}

QImage drawState(ButtonGlyph g, int size, State st) {
  QImage img(size, size, QImage::Format_RGB32);
  img.fill(kButtonKey);
  QPainter p(&img);
  // The face: a rounded plate, lighter under the pointer, sunk when pressed, grey when off.
  QColor face(196, 196, 196), ink(0, 0, 128), rim(96, 96, 96);
  if (st == State::Up) face = QColor(232, 232, 200);
  if (st == State::Down) face = QColor(150, 150, 150);
  if (st == State::Disabled) ink = QColor(140, 140, 140);
  // Antialiasing only inside the plate, so the key colour around it stays exact.
  const QRectF plate(1.5, 1.5, size - 3, size - 3);
  p.setPen(QPen(rim, 1));
  p.setBrush(face);
  p.drawRoundedRect(plate, size / 5.0, size / 5.0);
  p.setRenderHint(QPainter::Antialiasing, true);
  const double inset = size * 0.28;
  QRectF glyph(inset, inset, size - 2 * inset, size - 2 * inset);
  if (st == State::Down) glyph.translate(1, 1);
  p.setClipRect(QRectF(2, 2, size - 4, size - 4));
  drawGlyph(p, g, glyph, ink);
  return img;
}

}  // namespace

TImageList buttonPictures(ButtonGlyph glyph, int size) {
  if (size < 8) size = 8;
  return {drawState(glyph, size, State::Idle), drawState(glyph, size, State::Up),
          drawState(glyph, size, State::Down), drawState(glyph, size, State::Disabled)};
}

}  // namespace kelvaro
