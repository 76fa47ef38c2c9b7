#include "shell/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace kelvaro {
namespace {

constexpr int S = 32;  // drawn at 32 px, shown at toolbar size

void sun(QPainter& p, QPointF c, double r) {
  p.setPen(QPen(QColor(230, 150, 0), 2));
  for (int i = 0; i < 8; ++i) {
    const double a = i * M_PI / 4;
    p.drawLine(c + QPointF(std::cos(a) * (r + 2), std::sin(a) * (r + 2)),
               c + QPointF(std::cos(a) * (r + 5), std::sin(a) * (r + 5)));
  }
  p.setBrush(QColor(255, 200, 0));
  p.drawEllipse(c, r, r);
}

void magnifier(QPainter& p) {
  p.setPen(QPen(Qt::black, 2.5));
  p.setBrush(QColor(220, 235, 255));
  p.drawEllipse(QPointF(13, 13), 9, 9);
  p.setPen(QPen(QColor(90, 60, 30), 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(20, 20), QPointF(28, 28));
  p.setPen(QPen(Qt::black, 2.5));
}

void arrow(QPainter& p, QPointF from, QPointF to) {
  p.drawLine(from, to);
  const QPointF d = to - from;
  const double len = std::hypot(d.x(), d.y());
  const QPointF u = d / len, n(-u.y(), u.x());
  QPolygonF head{to, to - u * 7 + n * 5, to - u * 7 - n * 5};
  p.setBrush(p.pen().color());
  p.drawPolygon(head);
}

void windows(QPainter& p, const QList<QRectF>& rects) {
  for (const QRectF& r : rects) {
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setBrush(QColor(0, 0, 160));
    p.drawRect(QRectF(r.x(), r.y(), r.width(), 4));
  }
}

void draw(QPainter& p, const QString& name) {
  const QColor shade(90, 90, 110);
  p.setPen(QPen(Qt::black, 2));
  if (name == "ShadowHorizontal") {
    sun(p, {8, 8}, 4);
    p.fillRect(QRectF(15, 10, 4, 18), QColor(150, 80, 40));
    QPolygonF sh{{17, 28}, {30, 28}, {30, 31}, {17, 31}};
    p.setBrush(shade); p.setPen(Qt::NoPen); p.drawPolygon(sh);
  } else if (name == "ShadowVertical") {
    sun(p, {8, 8}, 4);
    p.fillRect(QRectF(20, 4, 8, 26), QColor(150, 80, 40));
    p.setPen(QPen(QColor(230, 150, 0), 1.5, Qt::DashLine));
    for (int i = 0; i < 3; ++i) p.drawLine(QPointF(10, 12 + i * 3), QPointF(20, 14 + i * 6));
  } else if (name == "ShadowOverhang") {
    sun(p, {8, 8}, 4);
    p.fillRect(QRectF(14, 12, 16, 3), QColor(150, 80, 40));
    p.setPen(QPen(Qt::black, 1.5)); p.setBrush(QColor(180, 220, 255));
    p.drawRect(QRectF(18, 17, 9, 12));
    p.fillRect(QRectF(18, 17, 9, 5), shade);
  } else if (name == "ShadowFin") {
    sun(p, {7, 7}, 4);
    p.setPen(QPen(Qt::black, 1.5)); p.setBrush(QColor(180, 220, 255));
    p.drawRect(QRectF(14, 14, 12, 14));
    p.fillRect(QRectF(11, 12, 3, 18), QColor(150, 80, 40));
    p.fillRect(QRectF(26, 12, 3, 18), QColor(150, 80, 40));
    p.fillRect(QRectF(14, 14, 5, 14), shade);
  } else if (name == "View3D" || name == "views3d") {
    QPolygonF top{{16, 4}, {28, 10}, {16, 16}, {4, 10}};
    QPolygonF left{{4, 10}, {16, 16}, {16, 29}, {4, 23}};
    QPolygonF right{{16, 16}, {28, 10}, {28, 23}, {16, 29}};
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(220, 220, 220)); p.drawPolygon(top);
    p.setBrush(QColor(160, 160, 170)); p.drawPolygon(left);
    p.setBrush(QColor(110, 110, 130)); p.drawPolygon(right);
    if (name == "View3D") sun(p, {26, 5}, 3);
  } else if (name == "SunData") {
    p.setPen(QPen(Qt::black, 1.5)); p.setBrush(Qt::white);
    p.drawRect(QRectF(5, 3, 20, 26));
    for (int i = 0; i < 4; ++i) p.drawLine(QPointF(8, 16 + i * 3.5), QPointF(22, 16 + i * 3.5));
    sun(p, {15, 9}, 3);
  } else if (name == "SolarCalculator") {
    p.setPen(QPen(Qt::black, 1.5)); p.setBrush(QColor(200, 200, 210));
    p.drawRoundedRect(QRectF(6, 2, 20, 28), 2, 2);
    p.setBrush(QColor(190, 230, 190)); p.drawRect(QRectF(9, 5, 14, 6));
    p.setBrush(Qt::white);
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) p.drawRect(QRectF(9 + c * 5, 14 + r * 5, 3.5, 3.5));
  } else if (name == "FileOpen1") {
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(240, 200, 80)); p.drawRect(QRectF(3, 9, 22, 18));
    p.setBrush(QColor(255, 225, 120));
    p.drawPolygon(QPolygonF{{7, 14}, {30, 14}, {25, 27}, {3, 27}});
  } else if (name == "FileSaveAs1") {
    p.setPen(QPen(Qt::black, 1.5)); p.setBrush(QColor(60, 80, 160));
    p.drawRect(QRectF(4, 4, 24, 24));
    p.setBrush(Qt::white); p.drawRect(QRectF(9, 4, 14, 9));
    p.setBrush(QColor(180, 180, 180)); p.drawRect(QRectF(8, 18, 16, 10));
  } else if (name == "Print1") {
    p.setPen(QPen(Qt::black, 1.5)); p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 3, 14, 10));
    p.setBrush(QColor(170, 170, 170)); p.drawRect(QRectF(3, 12, 26, 11));
    p.setBrush(Qt::white); p.drawRect(QRectF(9, 20, 14, 9));
  } else if (name == "ZoomRectangle") {
    p.setPen(QPen(Qt::black, 1.5, Qt::DashLine)); p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(2, 2, 20, 16));
    p.setPen(QPen(Qt::black, 2)); p.drawLine(QPointF(18, 22), QPointF(28, 30));
    p.drawLine(QPointF(22, 18), QPointF(30, 26));
  } else if (name == "ZoomIn" || name == "ZoomOut" || name == "ZoomExtents" || name == "ZoomPrevious") {
    magnifier(p);
    if (name == "ZoomIn") { p.drawLine(QPointF(8, 13), QPointF(18, 13)); p.drawLine(QPointF(13, 8), QPointF(13, 18)); }
    if (name == "ZoomOut") p.drawLine(QPointF(8, 13), QPointF(18, 13));
    if (name == "ZoomExtents") { p.setPen(QPen(Qt::black, 1.5)); p.setBrush(Qt::NoBrush); p.drawRect(QRectF(9, 9, 8, 8)); }
    if (name == "ZoomPrevious") { p.setPen(QPen(QColor(0, 120, 0), 2)); arrow(p, {18, 13}, {8, 13}); }
  } else if (name == "Pan") {
    p.setPen(QPen(QColor(0, 0, 150), 2));
    arrow(p, {16, 16}, {16, 3}); arrow(p, {16, 16}, {16, 29});
    arrow(p, {16, 16}, {3, 16}); arrow(p, {16, 16}, {29, 16});
  } else if (name == "vNamedViews") {
    p.setPen(QPen(Qt::black, 1.5)); p.setBrush(QColor(80, 80, 80));
    p.drawRoundedRect(QRectF(3, 9, 26, 17), 3, 3);
    p.setBrush(QColor(170, 210, 255)); p.drawEllipse(QPointF(16, 17.5), 6, 6);
    p.setBrush(QColor(80, 80, 80)); p.drawRect(QRectF(8, 5, 6, 4));
  } else if (name == "rotate") {
    p.setPen(QPen(QColor(0, 120, 0), 2.5)); p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(5, 5, 22, 22), 90 * 16, 270 * 16);
    arrow(p, {16, 5}, {23, 5});
  } else if (name == "vLayouts") {
    p.setPen(QPen(Qt::black, 1.5)); p.setBrush(Qt::white);
    p.drawRect(QRectF(3, 5, 26, 19));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(3, 24, 8, 5)); p.drawRect(QRectF(11, 24, 8, 5));
    p.drawLine(QPointF(7, 9), QPointF(25, 20));
  } else if (name == "LayerProperties") {
    const QColor cs[3] = {QColor(220, 60, 60), QColor(60, 170, 60), QColor(60, 90, 220)};
    p.setPen(QPen(Qt::black, 1.2));
    for (int i = 0; i < 3; ++i) {
      p.setBrush(cs[i]);
      p.drawPolygon(QPolygonF{{16, 4.0 + i * 8}, {29, 9.0 + i * 8}, {16, 14.0 + i * 8}, {3, 9.0 + i * 8}});
    }
  } else if (name == "opDrawingInfo" || name == "HelpContents") {
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(name == "HelpContents" ? QColor(255, 255, 180) : QColor(200, 220, 255));
    p.drawEllipse(QPointF(16, 16), 13, 13);
    QFont f; f.setPixelSize(20); f.setBold(true); p.setFont(f);
    p.setPen(QColor(0, 0, 140));
    p.drawText(QRectF(0, 0, S, S), Qt::AlignCenter, name == "HelpContents" ? "?" : "i");
  } else if (name == "WindowPrevious" || name == "WindowNext") {
    p.setPen(QPen(QColor(0, 0, 150), 3));
    if (name == "WindowPrevious") arrow(p, {28, 16}, {4, 16}); else arrow(p, {4, 16}, {28, 16});
  } else if (name == "FileClose1") {
    windows(p, {QRectF(3, 3, 26, 26)});
    p.setPen(QPen(QColor(200, 0, 0), 3));
    p.drawLine(QPointF(10, 12), QPointF(22, 24)); p.drawLine(QPointF(22, 12), QPointF(10, 24));
  } else if (name == "WindowCascade1") {
    windows(p, {QRectF(2, 2, 18, 14), QRectF(7, 8, 18, 14), QRectF(12, 14, 18, 14)});
  } else if (name == "WindowTileHorizontal1") {
    windows(p, {QRectF(3, 2, 26, 13), QRectF(3, 17, 26, 13)});
  } else if (name == "WindowTileVertical1") {
    windows(p, {QRectF(2, 3, 13, 26), QRectF(17, 3, 13, 26)});
  } else {
    p.setPen(QPen(Qt::black, 1.5)); p.setBrush(Qt::lightGray);
    p.drawRect(QRectF(4, 4, 24, 24));
  }
}

}  // namespace

QIcon commandIcon(const QString& name) {
  QPixmap pm(S, S);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p, name);
  p.end();
  return QIcon(pm);
}

}  // namespace kelvaro
