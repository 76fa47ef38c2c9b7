#pragma once
// The screen display: a DrawSink that paints what the toolkit's walk hands over onto a
// QPainter, with the palette and colour modes of the viewer. On a plain 32-bit picture 1-pixel
// lines go straight into its pixels; otherwise moves and lines are gathered into runs and drawn
// in bulk, and a colour change, a fill or the end of the draw flushes them.
#include <QColor>
#include <QImage>
#include <QLineF>
#include <QPolygonF>
#include <QVector>

#include <map>
#include <string>
#include <vector>

#include "cadkit/vectorize.h"
#include "viewer/Palette.h"

class QPainter;

namespace kelvaro::viewer {

enum class DeviceKind { Screen, Printer, Preview };

// The raster images prepared during the life of one drawing; the toolkit keeps an index.
using TBitmapList = std::vector<QImage>;

// Rotates a bitmap by `a` radians about its centre (nearest neighbour); pixels that fall outside
// the source are pure blue. The new size is |round(h s)| + |round(w c)| by |round(w s)| + |round(h c)|
// with s = sin(-a), c = cos(-a).
QImage rotateBitmap(const QImage& src, double a);
// Images turned less than this (radians) are drawn unrotated.
inline constexpr double kImageRotationThreshold = 0.004361111111111111;

// Maps a TrueType font file a text style names ("arial.ttf") to an installed family.
QString fontFamilyFor(const std::string& fontFile, const std::string& family);

struct DisplayOptions {
  bool allBlack = false;
  bool grayscale = false;
  bool useLineweights = false;  // the printing path only; the screen keeps 1-pixel lines
  bool rasterImages = true;
  DeviceKind device = DeviceKind::Screen;
  QPointF previewOffset;
  // Lets 1-pixel lines on a plain 32-bit picture bypass the painter; off, every line goes
  // through QPainter (kept for comparing the two).
  bool directPixels = true;
};

class TDisplaySink final : public cad::DrawSink {
 public:
  TDisplaySink() = default;

  // Set before each draw (one draw at a time).
  void begin(QPainter* painter, int deviceHeight, const TPalette* palette, const DisplayOptions& opt);
  void end();  // flushes what is gathered

  TBitmapList* bitmaps = nullptr;
  const std::vector<std::string>* searchFolders = nullptr;
  std::string drawingPath;
  std::string programFolder;

  // What the last draw did, for tests and timing.
  std::size_t bulkCalls() const { return bulkCalls_; }
  std::size_t penChanges() const { return penChanges_; }  // pens handed to the painter
  bool drawsDirectly() const { return direct(); }

  void moveTo(double x, double y) override;
  void lineTo(double x, double y) override;
  void polyline(const cad::PixelPoint* pts, std::size_t n) override;
  void penColor(int index) override;
  void trueColor(std::uint32_t rgb) override;
  void lineweight(int hundredthsMm) override;
  void paintPolygon(const cad::PixelPoint* pts, int n) override;
  void polyPolygon(const cad::PixelPoint* pts, const int* counts, int rings) override;
  bool examineTtf(const std::string& fontFile, const std::string& family) override;
  void ttfText(const cad::TtfRun& run) override;
  std::string findFile(FileKind kind, const std::string& storedPath) override;
  bool rawImagePrepare(const std::string& path, std::int32_t& userData) override;
  void rawImage(const cad::RawImageRecord& rec) override;
  void olePicData(const cad::OlePicRecord& rec) override;
  void warning(const std::string& text) override;
  void criticalError(const std::string& text) override;

 private:
  void setColor(QRgb c);
  void syncPen();  // hands the current colour and width to the painter when they changed
  void flush();
  // Screen lines one pixel wide go straight into the picture's pixels when the painter draws
  // on a plain 32-bit picture without clipping or transform: no painter call per segment.
  bool direct() const { return bits_ != nullptr && penWidth_ == 0; }
  void directLine(QPointF a, QPointF b);
  bool clipToPicture(double& x0, double& y0, double& x1, double& y1) const;
  void directPixel(QPointF a);
  QPointF dev(double x, double y) const { return {x, height_ - y}; }

  QPainter* p_ = nullptr;
  const TPalette* palette_ = nullptr;
  DisplayOptions opt_;
  double height_ = 0;
  QRgb rgb_ = 0xFF000000;
  bool penStale_ = true;
  std::size_t penChanges_ = 0;
  QRgb colors_[256] = {};  // the palette in the colour mode of this draw
  double penWidth_ = 0;
  QPointF cur_;
  bool haveCur_ = false;
  // Gathered geometry: the open run, finished runs of two points as lines, single pixels.
  QPolygonF run_;
  QVector<QLineF> lines_;
  QVector<QPointF> points_;
  std::size_t bulkCalls_ = 0;
  uchar* bits_ = nullptr;
  qsizetype stride_ = 0;
  int devW_ = 0, devH_ = 0;
  QRgb pixel_ = 0xFF000000;
  std::map<std::string, std::pair<std::int32_t, qint64>> loaded_;  // found path → index, image key
  // The picture less half a pixel: a point inside rounds to a pixel inside.
  double maxX_ = 0, maxY_ = 0;
};

}  // namespace kelvaro::viewer
