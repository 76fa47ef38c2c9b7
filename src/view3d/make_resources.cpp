// Writes the 3D view's resources into a folder: the CUBE mesh file and the two textures
// BACK1 (a vertical pastel gradient) and BACK2 (a red compass rose on black). Run by hand
// when the pictures change; the results are kept in src/view3d/resources.
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <numbers>

#include "view3d/XFile.h"

namespace {

QImage gradient() {
  QImage img(256, 256, QImage::Format_RGB888);
  QPainter p(&img);
  QLinearGradient g(0, 0, 0, 255);
  g.setColorAt(0.0, QColor(226, 214, 248));  // pale lavender
  g.setColorAt(0.55, QColor(196, 226, 214));
  g.setColorAt(1.0, QColor(92, 170, 96));    // green
  p.fillRect(img.rect(), g);
  return img;
}

QImage rose() {
  QImage img(256, 256, QImage::Format_RGB888);
  img.fill(Qt::black);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QPointF c(128, 128);
  const QColor red(220, 0, 0), dark(150, 0, 0);
  p.setPen(QPen(red, 2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(c, 62, 62);
  p.drawEllipse(c, 30, 30);
  // Eight points: long arms to the four quarters, short ones between; each arm has a lit
  // and a shaded half.
  for (int k = 0; k < 8; ++k) {
    const double a = k * std::numbers::pi / 4;
    const double len = (k % 2 == 0) ? 96 : 50, half = (k % 2 == 0) ? 14 : 9;
    const QPointF tip(c.x() + len * std::sin(a), c.y() - len * std::cos(a));
    const QPointF l(c.x() + half * std::sin(a - std::numbers::pi / 2), c.y() - half * std::cos(a - std::numbers::pi / 2));
    const QPointF r(c.x() + half * std::sin(a + std::numbers::pi / 2), c.y() - half * std::cos(a + std::numbers::pi / 2));
    QPainterPath left, right;
    left.moveTo(c);
    left.lineTo(l);
    left.lineTo(tip);
    left.closeSubpath();
    right.moveTo(c);
    right.lineTo(tip);
    right.lineTo(r);
    right.closeSubpath();
    p.fillPath(left, red);
    p.fillPath(right, dark);
  }
  QFont f("DejaVu Sans");
  f.setBold(true);
  f.setPixelSize(17);
  p.setFont(f);
  p.setPen(red);
  p.drawText(QRectF(78, 0, 100, 24), Qt::AlignCenter, "NORTH");
  p.drawText(QRectF(232, 116, 24, 24), Qt::AlignCenter, "E");
  p.drawText(QRectF(116, 232, 24, 24), Qt::AlignCenter, "S");
  p.drawText(QRectF(0, 116, 24, 24), Qt::AlignCenter, "W");
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  const auto cube = kelvaro::view3d::WriteBinaryX(kelvaro::view3d::UnitBlock());
  QFile f(dir.filePath("CUBE"));
  if (!f.open(QIODevice::WriteOnly) ||
      f.write(reinterpret_cast<const char*>(cube.data()), static_cast<qint64>(cube.size())) != qint64(cube.size()))
    return 1;
  f.close();
  if (!gradient().save(dir.filePath("BACK1.bmp"), "BMP")) return 1;
  if (!rose().save(dir.filePath("BACK2.bmp"), "BMP")) return 1;
  return 0;
}
