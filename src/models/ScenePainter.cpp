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
  for (const Prim& pr : s.prims) {
    switch (pr.kind) {
      case Prim::Polygon:
        poly.resize(static_cast<int>(pr.pts.size()));
        for (int i = 0; i < poly.size(); ++i) poly.setPoint(i, pr.pts[i].x, pr.pts[i].y);
        p.setPen(colour(pr.pen));
        p.setBrush(colour(pr.brush));
        p.drawPolygon(poly);
        break;
      case Prim::Line:
      case Prim::DottedLine:
        if (pr.pts.size() < 2) break;
        p.setPen(QPen(colour(pr.pen), 0, pr.kind == Prim::DottedLine ? Qt::DotLine : Qt::SolidLine));
        p.drawLine(pr.pts[0].x, pr.pts[0].y, pr.pts[1].x, pr.pts[1].y);
        break;
      case Prim::Circle:
      case Prim::FilledCircle:
        if (pr.pts.empty()) break;
        p.setPen(colour(pr.pen));
        if (pr.kind == Prim::FilledCircle)
          p.setBrush(colour(pr.brush));
        else
          p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPoint(pr.pts[0].x, pr.pts[0].y), pr.radius, pr.radius);
        break;
      case Prim::Rect:
        if (pr.pts.size() < 2) break;
        p.setPen(colour(pr.pen));
        p.setBrush(colour(pr.brush));
        p.drawRect(QRect(QPoint(pr.pts[0].x, pr.pts[0].y), QPoint(pr.pts[1].x, pr.pts[1].y)).adjusted(0, 0, -1, -1));
        break;
      case Prim::Text: {
        if (pr.pts.empty()) break;
        p.setPen(colour(pr.pen));
        QRect box(pr.pts[0].x, pr.pts[0].y, 4000, 100);
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
