// The side pictures of the settings dialog: one small illustration per mode.
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

#include "shadow/shadow.h"

namespace kelvaro {
namespace {

constexpr int W = 110, H = 300;
const QColor kShade(70, 70, 95, 170);
const QColor kWall(170, 110, 70);
const QColor kGlass(170, 215, 245);

void sun(QPainter& p, QPointF c, double r = 11) {
  p.setPen(QPen(QColor(235, 150, 0), 2));
  for (int i = 0; i < 12; ++i) {
    const double a = i * M_PI / 6;
    p.drawLine(c + QPointF(std::cos(a), std::sin(a)) * (r + 3), c + QPointF(std::cos(a), std::sin(a)) * (r + 8));
  }
  p.setBrush(QColor(255, 210, 40));
  p.drawEllipse(c, r, r);
}

void ground(QPainter& p, double y) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(120, 170, 90));
  p.drawRect(QRectF(0, y, W, H - y));
}

void caption(QPainter& p, const QString& text) {
  QFont f;
  f.setPixelSize(11);
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(20, 30, 80));
  p.drawText(QRectF(0, H - 26, W, 22), Qt::AlignCenter, text);
}

void horizontalProfile(QPainter& p) {
  sun(p, {28, 40});
  ground(p, 120);
  // Plan: a pole at the centre and its hourly shadows fanning out to the north.
  const QPointF foot(55, 215);
  p.setPen(QPen(QColor(60, 60, 60), 1.5));
  for (int h = -5; h <= 5; ++h) {
    const double a = h * 0.28;
    const double len = 30 + std::abs(h) * 9;
    p.drawLine(foot, foot + QPointF(std::sin(a) * len, -std::cos(a) * len));
  }
  p.setBrush(kWall);
  p.drawEllipse(foot, 5, 5);
  p.setPen(QPen(Qt::black, 1));
  p.drawText(QRectF(45, 126, 20, 12), Qt::AlignCenter, "N");
  caption(p, "Plan");
}

void verticalProfile(QPainter& p) {
  sun(p, {26, 36});
  ground(p, 230);
  p.setPen(QPen(Qt::black, 1.5));
  p.setBrush(kWall);
  p.drawRect(QRectF(62, 110, 30, 120));
  p.setPen(QPen(QColor(235, 150, 0), 1.2, Qt::DashLine));
  for (int i = 0; i < 5; ++i) p.drawLine(QPointF(10, 70 + i * 18), QPointF(62, 120 + i * 24));
  caption(p, "Section");
}

void report(QPainter& p) {
  sun(p, {82, 32}, 9);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(14, 60, 82, 200));
  p.setBrush(QColor(210, 225, 245));
  p.drawRect(QRectF(14, 60, 82, 16));
  for (int r = 0; r < 10; ++r) {
    const double y = 84 + r * 17;
    p.drawLine(QPointF(20, y), QPointF(48, y));
    p.drawLine(QPointF(56, y), QPointF(90, y));
  }
}

void block3d(QPainter& p) {
  sun(p, {86, 34});
  ground(p, 150);
  QPolygonF shadow{{30, 215}, {66, 235}, {20, 262}, {-10, 245}};
  p.setPen(Qt::NoPen);
  p.setBrush(kShade);
  p.drawPolygon(shadow);
  p.setPen(QPen(Qt::black, 1.2));
  p.setBrush(QColor(225, 225, 225));
  p.drawPolygon(QPolygonF{{55, 150}, {90, 168}, {55, 186}, {20, 168}});
  p.setBrush(QColor(170, 170, 180));
  p.drawPolygon(QPolygonF{{20, 168}, {55, 186}, {55, 236}, {20, 218}});
  p.setBrush(QColor(120, 120, 140));
  p.drawPolygon(QPolygonF{{55, 186}, {90, 168}, {90, 218}, {55, 236}});
}

void overhang(QPainter& p) {
  sun(p, {24, 34});
  p.setPen(QPen(Qt::black, 1.5));
  p.setBrush(QColor(225, 215, 195));
  p.drawRect(QRectF(40, 80, 60, 190));
  p.setBrush(kWall);
  p.drawRect(QRectF(22, 110, 78, 8));
  p.setBrush(kGlass);
  p.drawRect(QRectF(55, 135, 32, 90));
  p.setPen(Qt::NoPen);
  p.setBrush(kShade);
  p.drawRect(QRectF(55, 135, 32, 40));
  p.setPen(QPen(QColor(235, 150, 0), 1.2, Qt::DashLine));
  p.drawLine(QPointF(10, 60), QPointF(22, 118));
  p.drawLine(QPointF(22, 118), QPointF(55, 175));
  caption(p, "Elevation");
}

void fin(QPainter& p) {
  sun(p, {24, 34});
  ground(p, 120);
  // Plan of a window between two fins, with the shade of the left fin.
  p.setPen(QPen(Qt::black, 1.5));
  p.setBrush(QColor(225, 215, 195));
  p.drawRect(QRectF(8, 200, 94, 22));
  p.setBrush(kGlass);
  p.drawRect(QRectF(30, 200, 50, 6));
  p.setBrush(kWall);
  p.drawRect(QRectF(26, 150, 6, 50));
  p.drawRect(QRectF(78, 150, 6, 50));
  p.setPen(Qt::NoPen);
  p.setBrush(kShade);
  p.drawPolygon(QPolygonF{{32, 150}, {60, 200}, {32, 200}});
  p.setPen(QPen(QColor(235, 150, 0), 1.2, Qt::DashLine));
  p.drawLine(QPointF(4, 100), QPointF(60, 200));
  caption(p, "Plan");
}

void calculator(QPainter& p) {
  ground(p, 190);
  // The sun over the horizon with its altitude arc.
  const QPointF eye(30, 190);
  const QPointF s(82, 90);
  p.setPen(QPen(QColor(40, 40, 40), 1.2, Qt::DashLine));
  p.drawLine(eye, s);
  p.setPen(QPen(QColor(200, 30, 30), 1.5));
  p.drawArc(QRectF(eye.x() - 28, eye.y() - 28, 56, 56), 0, 62 * 16);
  p.setPen(QPen(Qt::black, 1));
  p.drawText(QRectF(48, 160, 30, 14), Qt::AlignLeft, "alt");
  sun(p, s, 10);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(200, 200, 210));
  p.drawRoundedRect(QRectF(30, 215, 50, 50), 4, 4);
  p.setBrush(QColor(190, 230, 190));
  p.drawRect(QRectF(35, 220, 40, 10));
}

}  // namespace

QPixmap shadowPicture(int index) {
  QPixmap pm(W, H);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, H);
  sky.setColorAt(0, QColor(120, 175, 235));
  sky.setColorAt(1, QColor(225, 240, 255));
  p.fillRect(pm.rect(), sky);
  switch (index) {
    case 1: horizontalProfile(p); break;
    case 2: verticalProfile(p); break;
    case 3: report(p); break;
    case 4: block3d(p); break;
    case 5: overhang(p); break;
    case 6: fin(p); break;
    default: calculator(p); break;
  }
  p.setPen(QPen(QColor(90, 90, 90), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, W - 1, H - 1));
  return pm;
}

}  // namespace kelvaro
