#include "viewer/Display.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "cadkit/ole_picture.h"
#include "platform/notify.h"
#include "viewer/FileLookup.h"
#include "viewer/ImageSupport.h"

namespace kelvaro::viewer {

namespace {

constexpr int kBatchLimit = 8192;  // lines gathered before they are drawn

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

// --- raster helpers ---------------------------------------------------------------------------

QImage rotateBitmap(const QImage& srcIn, double a) {
  const QImage src = srcIn.convertToFormat(QImage::Format_RGB32);
  const int w = src.width(), h = src.height();
  const double s = std::sin(-a), c = std::cos(-a);
  const int nw = std::abs(static_cast<int>(std::lround(h * s))) + std::abs(static_cast<int>(std::lround(w * c)));
  const int nh = std::abs(static_cast<int>(std::lround(w * s))) + std::abs(static_cast<int>(std::lround(h * c)));
  QImage out(std::max(nw, 1), std::max(nh, 1), QImage::Format_RGB32);
  const QRgb blue = qRgb(0, 0, 255);
  const double ocx = w / 2.0, ocy = h / 2.0, ncx = out.width() / 2.0, ncy = out.height() / 2.0;
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    const double dy = y + 0.5 - ncy;
    for (int x = 0; x < out.width(); ++x) {
      const double dx = x + 0.5 - ncx;
      // Turn the offset back by the angle; y grows downwards in the bitmap, so a turn that is
      // counter-clockwise on the screen is clockwise in these coordinates.
      const double sx = dx * c - dy * s + ocx, sy = dx * s + dy * c + ocy;
      const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
      line[x] = (ix >= 0 && iy >= 0 && ix < w && iy < h) ? reinterpret_cast<const QRgb*>(src.constScanLine(iy))[ix] : blue;
    }
  }
  return out;
}

QString fontFamilyFor(const std::string& fontFile, const std::string& family) {
  static const std::map<std::string, QString> known = {
      {"arial", "Liberation Sans"},       {"arialbd", "Liberation Sans"},    {"ariali", "Liberation Sans"},
      {"arialn", "Liberation Sans Narrow"}, {"helvetica", "Liberation Sans"}, {"times", "Liberation Serif"},
      {"timesbd", "Liberation Serif"},    {"timesnewroman", "Liberation Serif"}, {"cour", "Liberation Mono"},
      {"courbd", "Liberation Mono"},      {"couriernew", "Liberation Mono"}, {"verdana", "DejaVu Sans"},
      {"tahoma", "DejaVu Sans"},          {"georgia", "DejaVu Serif"},       {"consola", "DejaVu Sans Mono"},
      {"lucon", "DejaVu Sans Mono"},      {"calibri", "Liberation Sans"},    {"segoeui", "Liberation Sans"}};
  std::string stem = lower(storedFileName(fontFile));
  if (auto dot = stem.rfind('.'); dot != std::string::npos) stem.resize(dot);
  std::string fam = lower(family);
  std::string famKey;
  for (char ch : fam)
    if (ch != ' ') famKey += ch;
  if (auto it = known.find(stem); it != known.end()) return it->second;
  if (auto it = known.find(famKey); it != known.end()) return it->second;
  const QStringList installed = QFontDatabase::families();
  for (const QString& f : installed)
    if (!family.empty() && f.compare(QString::fromStdString(family), Qt::CaseInsensitive) == 0) return f;
  return "DejaVu Sans";
}

// --- the sink -----------------------------------------------------------------------------------

void TDisplaySink::begin(QPainter* painter, int deviceHeight, const TPalette* palette, const DisplayOptions& opt) {
  static const TPalette standard;
  p_ = painter;
  height_ = deviceHeight;
  palette_ = palette ? palette : &standard;
  opt_ = opt;
  haveCur_ = false;
  run_.clear();
  lines_.clear();
  points_.clear();
  bulkCalls_ = 0;
  penChanges_ = 0;
  penWidth_ = 0;
  // Colour numbers arrive once per item: look them up in the mode of this draw only once.
  for (int i = 0; i < 256; ++i) {
    const Rgb c = screenColor((*palette_)[i], opt_.allBlack, opt_.grayscale);
    colors_[i] = qRgb(c.r, c.g, c.b);
  }
  rgb_ = pixel_ = qRgb(0, 0, 0);
  penStale_ = true;  // the painter gets a pen only when something goes through it
  p_->setRenderHint(QPainter::Antialiasing, opt.device != DeviceKind::Screen);
  bits_ = nullptr;
  QPaintDevice* dev = painter->device();
  if (opt.directPixels && opt.device == DeviceKind::Screen && dev && dev->devType() == QInternal::Image &&
      !painter->hasClipping() && painter->transform().isIdentity() &&
      painter->compositionMode() == QPainter::CompositionMode_SourceOver) {
    auto* img = static_cast<QImage*>(dev);
    const auto f = img->format();
    if ((f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied) &&
        img->devicePixelRatio() == 1.0 && img->width() > 0 && img->height() > 0) {
      bits_ = img->bits();
      stride_ = img->bytesPerLine();
      devW_ = img->width();
      devH_ = img->height();
      maxX_ = devW_ - 0.5;
      maxY_ = devH_ - 0.5;
    }
  }
}

void TDisplaySink::end() {
  flush();
  p_ = nullptr;
  bits_ = nullptr;
}

void TDisplaySink::directPixel(QPointF a) {
  // Compared before converting, so that far-off or broken numbers never reach an int.
  if (!(a.x() > -0.5 && a.x() < maxX_ && a.y() > -0.5 && a.y() < maxY_)) return;
  const int x = static_cast<int>(a.x() + 1.5) - 1, y = static_cast<int>(a.y() + 1.5) - 1;
  reinterpret_cast<QRgb*>(bits_ + y * stride_)[x] = pixel_;
}

namespace {
// Floor for a coordinate known to be above -2 (a plain cut, no library call).
inline int cell(double v) { return static_cast<int>(v + 2.0) - 2; }
// Ceiling of a number known to lie well inside the int range: the cut towards zero is the
// ceiling of a negative number and one short of it for a positive one with a fraction.
inline int up(double v) {
  const int t = static_cast<int>(v);
  return t + (static_cast<double>(t) < v);
}
// Coordinates from which the index of the next pixel centre is safe to take.
constexpr double kCellRange = 1e9;
}  // namespace

// A 1-pixel line straight into the picture. Along its longer axis it takes every pixel whose
// centre lies from the lower end up to, not including, the higher end; across, the pixel the
// exact line passes through at that centre. This is how the painter's aliased lines fall, to
// within a pixel, and a polyline's shared vertex is drawn once.
void TDisplaySink::directLine(QPointF a, QPointF b) {
  double x0 = a.x(), y0 = a.y(), x1 = b.x(), y1 = b.y();
  const bool inside = x0 >= 0 && x0 < devW_ && x1 >= 0 && x1 < devW_ && y0 >= 0 && y0 < devH_ && y1 >= 0 && y1 < devH_;
  // Cut to just beyond the picture first, so that far-off geometry costs nothing.
  if (!inside && !clipToPicture(x0, y0, x1, y1)) return;
  const double dx = x1 - x0, dy = y1 - y0;
  const bool alongX = std::fabs(dx) >= std::fabs(dy);
  const double from = alongX ? x0 : y0, lo = std::min(from, alongX ? x1 : y1), hi = std::max(from, alongX ? x1 : y1);
  const int limit = alongX ? devW_ : devH_, across = alongX ? devH_ : devW_;
  int i = std::max(0, up(lo - 0.5));
  const int end = std::min(limit, up(hi - 0.5));
  if (i >= end) return;  // no pixel centre on the line's length
  const double slope = alongX ? dy / dx : dx / dy;
  double m = (alongX ? y0 : x0) + (i + 0.5 - from) * slope;
  QRgb* const first = reinterpret_cast<QRgb*>(bits_);
  const qsizetype pitch = stride_ / static_cast<qsizetype>(sizeof(QRgb));
  const QRgb pixel = pixel_;
  if (alongX) {
    for (; i < end; ++i, m += slope) {
      const int row = cell(m);
      if (static_cast<unsigned>(row) < static_cast<unsigned>(across)) first[row * pitch + i] = pixel;
    }
  } else {
    for (; i < end; ++i, m += slope) {
      const int col = cell(m);
      if (static_cast<unsigned>(col) < static_cast<unsigned>(across)) first[i * pitch + col] = pixel;
    }
  }
}

// Liang–Barsky against the picture grown by a pixel; false when nothing is left or an end is
// not a number.
bool TDisplaySink::clipToPicture(double& x0, double& y0, double& x1, double& y1) const {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return false;
  const double lo = -1.0, hiX = devW_ + 1.0, hiY = devH_ + 1.0;
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  auto clip = [&](double p, double q) {
    if (p == 0) return q >= 0;
    const double r = q / p;
    if (p < 0) {
      if (r > t1) return false;
      if (r > t0) t0 = r;
    } else {
      if (r < t0) return false;
      if (r < t1) t1 = r;
    }
    return true;
  };
  if (!clip(-dx, x0 - lo) || !clip(dx, hiX - x0) || !clip(-dy, y0 - lo) || !clip(dy, hiY - y0)) return false;
  const double ax = x0, ay = y0;
  if (t1 < 1) x1 = ax + t1 * dx, y1 = ay + t1 * dy;
  if (t0 > 0) x0 = ax + t0 * dx, y0 = ay + t0 * dy;
  // Rounding may leave an end a hair outside the grown box; hold it inside.
  x0 = std::clamp(x0, lo, hiX), x1 = std::clamp(x1, lo, hiX);
  y0 = std::clamp(y0, lo, hiY), y1 = std::clamp(y1, lo, hiY);
  return true;
}

void TDisplaySink::setColor(QRgb c) {
  if (c == rgb_) return;
  // What is gathered keeps the colour it was given in.
  if (run_.size() >= 2 || !lines_.isEmpty() || !points_.isEmpty()) flush();
  rgb_ = pixel_ = c;
  penStale_ = true;
}

void TDisplaySink::syncPen() {
  if (!penStale_ || !p_) return;
  const QColor color(rgb_);
  QPen pen(color, penWidth_);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  p_->setPen(pen);
  p_->setBrush(color);
  penStale_ = false;
  ++penChanges_;
}

void TDisplaySink::flush() {
  if (!p_) return;
  if (run_.size() >= 2 || !lines_.isEmpty() || !points_.isEmpty()) syncPen();
  if (run_.size() == 2) lines_.append(QLineF(run_[0], run_[1]));
  else if (run_.size() > 2) {
    p_->drawPolyline(run_);
    ++bulkCalls_;
  }
  if (run_.size() >= 2) {
    // The run goes on from its last point.
    QPointF last = run_.back();
    run_.clear();
    run_.append(last);
  }
  if (!lines_.isEmpty()) {
    p_->drawLines(lines_);
    ++bulkCalls_;
    lines_.clear();
  }
  if (!points_.isEmpty()) {
    p_->drawPoints(points_.constData(), static_cast<int>(points_.size()));
    ++bulkCalls_;
    points_.clear();
  }
}

void TDisplaySink::moveTo(double x, double y) {
  if (direct()) {
    cur_ = dev(x, y);
    haveCur_ = true;
    return;
  }
  if (run_.size() == 2) {
    lines_.append(QLineF(run_[0], run_[1]));
    if (lines_.size() >= kBatchLimit) flush();
  } else if (run_.size() > 2) {
    syncPen();
    p_->drawPolyline(run_);
    ++bulkCalls_;
  }
  run_.clear();
  cur_ = dev(x, y);
  haveCur_ = true;
  run_.append(cur_);
}

void TDisplaySink::lineTo(double x, double y) {
  const QPointF q = dev(x, y);
  if (direct()) {
    if (!haveCur_ || q == cur_) directPixel(q);
    else directLine(cur_, q);
    cur_ = q;
    haveCur_ = true;
    return;
  }
  if (!haveCur_) {
    cur_ = q;
    haveCur_ = true;
    run_.clear();
    run_.append(q);
  }
  if (q == cur_) {
    // A line of no length still shows as one pixel in the pen colour.
    points_.append(QPointF(std::round(q.x()), std::round(q.y())));
    return;
  }
  if (run_.isEmpty()) run_.append(cur_);
  run_.append(q);
  cur_ = q;
}

void TDisplaySink::polyline(const cad::PixelPoint* pts, std::size_t n) {
  if (n == 0 || !pts) return;
  if (!direct()) {
    moveTo(pts[0].x, pts[0].y);
    if (n == 1) return lineTo(pts[0].x, pts[0].y);  // a lone point still leaves a dot
    for (std::size_t i = 1; i < n; ++i) lineTo(pts[i].x, pts[i].y);
    return;
  }
  QPointF a = dev(pts[0].x, pts[0].y);
  if (n == 1) directPixel(a);
  // The index of the next pixel centre along each axis: a segment whose ends share both crosses
  // no centre, so the line rule gives it no pixel. Most segments of small text and curves are
  // such, and are passed over here without the full line set-up.
  auto centres = [](QPointF p, int& cx, int& cy) {
    const double x = p.x() - 0.5, y = p.y() - 0.5;
    if (!(x > -kCellRange && x < kCellRange && y > -kCellRange && y < kCellRange)) return false;
    cx = up(x), cy = up(y);
    return true;
  };
  int ax = 0, ay = 0;
  bool aKnown = centres(a, ax, ay);
  for (std::size_t i = 1; i < n; ++i) {
    const QPointF q = dev(pts[i].x, pts[i].y);
    int qx = 0, qy = 0;
    const bool qKnown = centres(q, qx, qy);
    if (q == a) directPixel(q);
    else if (!(aKnown && qKnown && ax == qx && ay == qy)) directLine(a, q);
    a = q, ax = qx, ay = qy, aKnown = qKnown;
  }
  cur_ = a;
  haveCur_ = true;
}

void TDisplaySink::penColor(int index) { setColor(colors_[index & 0xFF]); }

void TDisplaySink::trueColor(std::uint32_t rgb) {
  const Rgb raw{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb)};
  const Rgb c = screenColor(raw, opt_.allBlack, opt_.grayscale);
  setColor(qRgb(c.r, c.g, c.b));
}

void TDisplaySink::lineweight(int hundredthsMm) {
  if (!opt_.useLineweights) return;  // the screen keeps lines one pixel wide
  // The printing path sets the device scale; here a lineweight is a pen width in device pixels.
  const double w = hundredthsMm > 0 ? hundredthsMm / 100.0 : 0.0;
  if (w == penWidth_) return;
  flush();
  penWidth_ = w;
  penStale_ = true;
}

void TDisplaySink::paintPolygon(const cad::PixelPoint* pts, int n) {
  if (!p_ || !pts || n <= 0) return;
  flush();
  syncPen();
  QPolygonF poly;
  poly.reserve(n);
  for (int i = 0; i < n; ++i) poly.append(dev(pts[i].x, pts[i].y));
  p_->drawPolygon(poly);
  ++bulkCalls_;
}

void TDisplaySink::polyPolygon(const cad::PixelPoint* pts, const int* counts, int rings) {
  if (!p_ || !pts || !counts || rings <= 0) return;
  flush();
  syncPen();
  QPainterPath path;  // odd-even fill, as overlapping rings leave holes
  const cad::PixelPoint* at = pts;
  for (int r = 0; r < rings; ++r) {
    const int n = counts[r];
    if (n <= 0) continue;
    QPolygonF poly;
    poly.reserve(n);
    for (int i = 0; i < n; ++i) poly.append(dev(at[i].x, at[i].y));
    path.addPolygon(poly);
    path.closeSubpath();
    at += n;
  }
  p_->drawPath(path);
  ++bulkCalls_;
}

bool TDisplaySink::examineTtf(const std::string&, const std::string&) {
  // Every TrueType style is drawn with an installed family (fontFamilyFor picks one).
  return true;
}

void TDisplaySink::ttfText(const cad::TtfRun& run) {
  if (!p_ || run.text.empty()) return;
  flush();
  static constexpr double kRef = 100.0;  // glyphs are laid out at this pixel size, then mapped
  QFont font(fontFamilyFor(run.fontFile, run.family));
  font.setPixelSize(static_cast<int>(kRef));
  font.setBold(run.bold);
  font.setItalic(run.italic);
  QPainterPath glyphs;
  glyphs.addText(0, 0, font, QString::fromUtf8(run.text.data(), static_cast<qsizetype>(run.text.size())));
  // One text unit is the height of a capital letter.
  double cap = QFontMetricsF(font).capHeight();
  if (cap <= 0) cap = kRef * 0.72;
  const double ax = run.xAxis.x / cap, ay = run.xAxis.y / cap, bx = run.yAxis.x / cap, by = run.yAxis.y / cap;
  const QTransform t(ax, -ay, -bx, by, run.origin.x, height_ - run.origin.y);
  p_->save();
  p_->setPen(Qt::NoPen);
  p_->setBrush(QColor(rgb_));
  p_->setRenderHint(QPainter::Antialiasing, true);
  p_->drawPath(t.map(glyphs));
  p_->restore();
  ++bulkCalls_;
}

std::string TDisplaySink::findFile(FileKind kind, const std::string& storedPath) {
  static const std::vector<std::string> none;
  std::vector<std::string> folders = searchFolders ? *searchFolders : none;
  // Shape and font files may also sit beside the program.
  if (kind == FileKind::Shape && !programFolder.empty()) folders.push_back(programFolder);
  return findDrawingFile(storedPath, drawingPath, folders);
}

bool TDisplaySink::rawImagePrepare(const std::string& path, std::int32_t& userData) {
  if (!opt_.rasterImages || !bitmaps) return false;
  const std::string found = findFile(FileKind::Image, path);
  if (found.empty()) return false;
  // The walk prepares an image for every draw and releases it after: a file loaded before
  // keeps its one bitmap in the list (checked by identity, the list may have been cleared).
  if (auto it = loaded_.find(found); it != loaded_.end()) {
    const auto [index, key] = it->second;
    if (static_cast<std::size_t>(index) < bitmaps->size() && (*bitmaps)[static_cast<std::size_t>(index)].cacheKey() == key) {
      userData = index;
      return true;
    }
    loaded_.erase(it);
  }
  QImage img;
  if (!loadRasterImage(img, QString::fromStdString(found))) return false;
  bitmaps->push_back(img.convertToFormat(QImage::Format_RGB32));
  userData = static_cast<std::int32_t>(bitmaps->size() - 1);
  loaded_[found] = {userData, bitmaps->back().cacheKey()};
  return true;
}

void TDisplaySink::rawImage(const cad::RawImageRecord& rec) {
  if (!p_ || rec.userData < 0) return;  // nothing prepared: the image is not drawn
  flush();
  QImage bmp;
  if (bitmaps && static_cast<std::size_t>(rec.userData) < bitmaps->size()) bmp = (*bitmaps)[static_cast<std::size_t>(rec.userData)];
  else {
    bmp = QImage(1, 1, QImage::Format_RGB32);
    bmp.fill(qRgb(0, 0, 255));
  }
  if (bmp.isNull()) return;
  p_->save();
  const QPointF off = opt_.device == DeviceKind::Preview ? opt_.previewOffset : QPointF();
  for (int k = 0; k < 2; ++k) {
    if (!rec.clip[k] || rec.clipCount[k] <= 0) continue;
    QPolygonF poly;
    for (int i = 0; i < rec.clipCount[k]; ++i) poly.append(dev(rec.clip[k][i].x, rec.clip[k][i].y) + off);
    p_->setClipRegion(QRegion(poly.toPolygon()), p_->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  }
  // The turn of the image is read from its upward edge (insert corner to the +v corner), which
  // is upright for an image that is not turned.
  const cad::PixelPoint& c0 = rec.corner[0];
  const cad::PixelPoint& cv = rec.corner[3];
  const double a = std::atan2(cv.x - c0.x, cv.y - c0.y);
  if (std::fabs(a) > kImageRotationThreshold) bmp = rotateBitmap(bmp, a);
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  for (const auto& c : rec.corner) {
    QPointF d = dev(c.x, c.y);
    x0 = std::min(x0, d.x()), x1 = std::max(x1, d.x());
    y0 = std::min(y0, d.y()), y1 = std::max(y1, d.y());
  }
  p_->drawImage(QRectF(x0, y0, x1 - x0, y1 - y0), bmp);
  p_->restore();
  ++bulkCalls_;
}

void TDisplaySink::olePicData(const cad::OlePicRecord& rec) {
  if (!p_ || !rec.data || rec.size < 1) return;
  flush();
  try {
    QRectF target(dev(rec.rectMin.x, rec.rectMax.y), dev(rec.rectMax.x, rec.rectMin.y));
    target = target.normalized();
    QPolygonF frame;
    for (const auto& f : rec.frame) frame.append(dev(f.x, f.y));
    p_->save();
    p_->setClipRegion(QRegion(frame.toPolygon()));
    const std::uint8_t kind = rec.data[0];
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(rec.data + 1), static_cast<qsizetype>(rec.size - 1));
    QImage picture;
    if (kind == cad::kOleDib) {
      picture = decodeDibPicture(rec.data + 1, rec.size - 1);
      // Bitmaps with a short colour table are still bitmaps.
      if (picture.isNull()) picture.loadFromData(bytes, "BMP");
    } else if (kind == cad::kOlePng) {
      picture.loadFromData(bytes, "PNG");
    }
    if (!picture.isNull()) {
      p_->drawImage(target, picture);
    } else {
      // A metafile is not played: like other viewers that cannot play one, show the object's
      // frame with its name.
      p_->fillRect(target, Qt::white);
      p_->setPen(QPen(QColor(rgb_), 0));
      p_->setBrush(Qt::NoBrush);
      p_->drawRect(target);
      p_->setPen(Qt::black);  // on the white box whatever the entity's colour
      const QString name = rec.name.empty() ? QStringLiteral("OLE") : QString::fromStdString(rec.name);
      QFont font = p_->font();
      font.setPixelSize(std::clamp(static_cast<int>(target.height() / 4), 6, 14));
      p_->setFont(font);
      p_->drawText(target.adjusted(2, 2, -2, -2), Qt::AlignCenter | Qt::TextWordWrap, name);
    }
    p_->restore();
    ++bulkCalls_;
  } catch (...) {
  }
}

void TDisplaySink::warning(const std::string& text) { showWarning(text); }
void TDisplaySink::criticalError(const std::string& text) { showError(text); }

}  // namespace kelvaro::viewer
