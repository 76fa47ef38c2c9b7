#include "viewer/PointerTools.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <utility>

namespace kelvaro::viewer {

bool PointerTools::StartZoomRectangle() {
  DrawingSession& s = v_.session();
  if (!s.hasDrawing() || s.busy) return false;
  v_.LeaveTool();
  s.pointerMode = PointerMode::ZoomRectangle;
  v_.tool().cursor = kCursorMagnifier;
  return true;
}

bool PointerTools::StartPan() {
  DrawingSession& s = v_.session();
  if (!s.hasDrawing() || s.busy) return false;
  v_.LeaveTool();
  s.pointerMode = PointerMode::Pan;
  v_.tool().cursor = kCursorHand;
  return true;
}

bool PointerTools::BeginPrintWindowPick() {
  DrawingSession& s = v_.session();
  if (!s.hasDrawing() || s.busy) return false;
  v_.LeaveTool();
  v_.tool().printPickPending = true;
  v_.tool().cursor = kCursorCross;
  return true;
}

PointerTools::Result PointerTools::LeftDown(ScreenPoint p) {
  DrawingSession& s = v_.session();
  BusyGuard guard(s.busy);
  if (!guard || !s.hasDrawing()) return Result::Nothing;
  pick_ = s.PixelToWorld(p.x, p.y);
  press_ = current_ = p;
  if (s.pointerMode == PointerMode::ZoomRectangle) rectOn_ = true;
  if (s.pointerMode == PointerMode::Pan) lineOn_ = true;
  if (v_.tool().printPickPending) {
    rectOn_ = true;
    v_.tool().printCorner[0] = pick_;
  }
  return rectOn_ || lineOn_ ? Result::Overlay : Result::Nothing;
}

PointerTools::Result PointerTools::Move(ScreenPoint p) {
  DrawingSession& s = v_.session();
  BusyGuard guard(s.busy);
  if (!guard || !s.hasDrawing()) return Result::Nothing;
  cursor_ = s.PixelToWorld(p.x, p.y);
  if (!rectOn_ && !lineOn_ && !middleOn_) return Result::CursorOnly;
  current_ = p;
  return Result::Overlay;
}

PointerTools::Result PointerTools::LeftUp(ScreenPoint p) {
  DrawingSession& s = v_.session();
  const bool hadRect = std::exchange(rectOn_, false), hadLine = std::exchange(lineOn_, false);
  BusyGuard guard(s.busy);
  if (!guard || !s.hasDrawing()) return Result::Nothing;
  if (!hadRect && !hadLine) return Result::Nothing;  // the press happened elsewhere
  current_ = p;
  Result r = Result::Overlay;
  if (s.pointerMode == PointerMode::ZoomRectangle && hadRect) {
    ViewPixel a = bottomUp(press_), b = bottomUp(current_);
    if (a.x > b.x) std::swap(a.x, b.x);
    if (a.y > b.y) std::swap(a.y, b.y);
    if (a.x != b.x && a.y != b.y) {
      v_.PanToWindowCentre(a, b);
      v_.ZoomWindow(a, b);
    }
    // A click without a drag still leaves a history entry.
    s.PushHistory();
    r = Result::Redraw;
  } else if (s.pointerMode == PointerMode::Pan && hadLine) {
    v_.PanBy(bottomUp(press_), bottomUp(current_));
    s.PushHistory();
    r = Result::Redraw;
  }
  if (v_.tool().printPickPending && hadRect) {
    v_.tool().printCorner[1] = s.PixelToWorld(p.x, p.y);
    v_.tool().printPickPending = false;
    v_.tool().cursor = kCursorDefault;
    r = Result::PrintPicked;
  }
  return r;
}

PointerTools::Result PointerTools::MiddleDown(ScreenPoint p) {
  DrawingSession& s = v_.session();
  if (!s.hasDrawing() || s.busy) return Result::Nothing;
  middleOn_ = true;
  middlePress_ = current_ = p;
  return Result::Overlay;
}

PointerTools::Result PointerTools::MiddleUp(ScreenPoint p) {
  DrawingSession& s = v_.session();
  if (!std::exchange(middleOn_, false)) return Result::Nothing;
  BusyGuard guard(s.busy);
  if (!guard || !s.hasDrawing()) return Result::Overlay;
  current_ = p;
  if (p.x == middlePress_.x && p.y == middlePress_.y) return Result::Overlay;
  v_.PanBy(bottomUp(middlePress_), bottomUp(p));
  s.PushHistory();
  return Result::Redraw;
}

// --- cursors -------------------------------------------------------------------------------------------

namespace {

QCursor magnifier() {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // Handle first, with a white rim so it shows on dark backgrounds.
  p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(18, 18), QPointF(28, 28));
  p.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(18, 18), QPointF(28, 28));
  p.setPen(QPen(Qt::white, 4));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(12, 12), 8, 8);
  p.setPen(QPen(Qt::black, 2));
  p.setBrush(QColor(255, 255, 255, 110));
  p.drawEllipse(QPointF(12, 12), 8, 8);
  p.end();
  return QCursor(pm, 12, 12);
}

QCursor hand() {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(8, 14, 16, 13), 4, 4);         // palm
  for (int i = 0; i < 4; ++i) shape.addRoundedRect(QRectF(8 + i * 4, 5 + (i == 0 || i == 3 ? 3 : 0), 4, 14), 2, 2);
  shape.addRoundedRect(QRectF(3, 15, 9, 4), 2, 2);           // thumb
  shape.setFillRule(Qt::WindingFill);
  p.setPen(QPen(Qt::black, 1.2));
  p.setBrush(Qt::white);
  p.drawPath(shape.simplified());
  p.setPen(QPen(Qt::black, 0.8));
  for (int i = 1; i < 4; ++i) p.drawLine(QPointF(8 + i * 4, 10), QPointF(8 + i * 4, 17));
  p.end();
  return QCursor(pm, 16, 16);
}

}  // namespace

QCursor viewerCursor(int number) {
  switch (number) {
    case kCursorMagnifier: {
      static const QCursor c = magnifier();
      return c;
    }
    case kCursorHand: {
      static const QCursor c = hand();
      return c;
    }
    case kCursorCross: return QCursor(Qt::CrossCursor);
    default: return QCursor(Qt::ArrowCursor);
  }
}

}  // namespace kelvaro::viewer
