#include "models/ScenePainter.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>

namespace kelvaro::models {

namespace {
QColor colour(Rgb c) { return QColor(c.r, c.g, c.b); }
}  // namespace

QFont sceneFont() {
  QFont f(QStringLiteral("Liberation Sans"));
  f.setPixelSize(11);
  return f;
}

void paintScene(QPainter& p, const Scene& s) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(0, 0, s.width, s.height), colour(s.background));
  p.setFont(sceneFont());
  QPolygon poly;
  for (const Prim& pr : s.items()) {
    const std::span<const Pt> pts = s.points(pr);
    switch (pr.kind) {
      case Prim::Polygon:
        poly.resize(static_cast<int>(pts.size()));  // keeps its storage between polygons
        for (int i = 0; i < poly.size(); ++i) poly.setPoint(i, pts[i].x, pts[i].y);
        p.setPen(colour(pr.pen));
        p.setBrush(colour(pr.brush));
        p.drawPolygon(poly);
        break;
      case Prim::Line:
      case Prim::DottedLine:
        if (pts.size() < 2) break;
        p.setPen(QPen(colour(pr.pen), 0, pr.kind == Prim::DottedLine ? Qt::DotLine : Qt::SolidLine));
        p.drawLine(pts[0].x, pts[0].y, pts[1].x, pts[1].y);
        break;
      case Prim::Circle:
      case Prim::FilledCircle:
        if (pts.empty()) break;
        p.setPen(colour(pr.pen));
        if (pr.kind == Prim::FilledCircle)
          p.setBrush(colour(pr.brush));
        else
          p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPoint(pts[0].x, pts[0].y), pr.radius, pr.radius);
        break;
      case Prim::Rect:
        if (pts.size() < 2) break;
        p.setPen(colour(pr.pen));
        p.setBrush(colour(pr.brush));
        p.drawRect(QRect(QPoint(pts[0].x, pts[0].y), QPoint(pts[1].x, pts[1].y)).adjusted(0, 0, -1, -1));
        break;
      case Prim::Text: {
        if (pts.empty()) break;
        p.setPen(colour(pr.pen));
        QRect box(pts[0].x, pts[0].y, 4000, 100);
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, QString::fromStdString(pr.text));
        break;
      }
    }
  }
  p.restore();
}

QImage renderScene(const Scene& s) {
  QImage img(std::max(s.width, 1), std::max(s.height, 1), QImage::Format_RGB32);
  QPainter p(&img);
  paintScene(p, s);
  return img;
}

}  // namespace kelvaro::models
