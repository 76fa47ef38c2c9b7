#pragma once
// Vectorising: the view record, the world-to-pixel transform and the walk of the visible
// drawing. The walk resolves layers, colours, linetypes, blocks and text and hands plain pixel
// geometry to a DrawSink; the viewer's display is one sink, a recording sink serves the tests.
// Pixel coordinates count y up from the bottom edge of the pixel window.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cadkit/toolkit.h"

namespace kelvaro::cad {

// What the viewer keeps of a view: where it looks from, what it looks at and how much of it.
struct AdViewRecord {
  Vec3 target;                 // world point the view looks at
  Vec3 direction{0, 0, 1};     // from the target towards the viewer
  double twist = 0;            // radians, counter-clockwise on screen
  Vec2 center;                 // view centre in view coordinates (relative to the target)
  double width = 0, height = 0;  // drawing units shown across and up
};

struct AdPixelWindow {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // x1, y1 exclusive
  int width() const { return x1 - x0; }
  int height() const { return y1 - y0; }
};

// World to pixel: p' = M * (p, 1); only x and y of the result are used for drawing.
struct AdTransform {
  double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
};

struct PixelPoint {
  double x = 0, y = 0;
};

// A raster image as the walk hands it over: four corners (pixels), optional clip polygons.
struct RawImageRecord {
  PixelPoint corner[4];  // insert, +u, +u+v, +v
  const PixelPoint* clip[2] = {nullptr, nullptr};
  int clipCount[2] = {0, 0};
  std::int32_t userData = -1;  // what prepare returned; -1 none
};

// An embedded OLE picture: the picture found in the object's data (first byte = kind: 0
// metafile, 1 bitmap file, 2 PNG file, 255 none; see ole_picture.h), the object's name
// ("Paintbrush Picture") and where it goes.
struct OlePicRecord {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::string name;
  PixelPoint rectMin, rectMax;  // target rectangle
  PixelPoint frame[4];          // frame polygon
};

// A run of text in a TrueType style, placed in pixels: the baseline starts at origin,
// `xAxis` and `yAxis` are the pixel vectors of one text unit along and up the baseline
// (they carry height, width factor, rotation, oblique and mirroring).
struct TtfRun {
  std::string fontFile;  // as the style names it ("arial.ttf")
  std::string family;    // the style's font family when stored, else empty
  bool bold = false, italic = false;
  std::string text;      // UTF-8
  PixelPoint origin, xAxis, yAxis;
  // The length layout gave the run, in xAxis units, so that the glyphs can be fitted to it.
  double advance = 0;
};

class DrawSink {
 public:
  virtual ~DrawSink() = default;
  virtual void moveTo(double x, double y) = 0;
  virtual void lineTo(double x, double y) = 0;
  // An open polyline in one call (the walk's usual output); the default is moves and lines.
  virtual void polyline(const PixelPoint* pts, std::size_t n);
  // Colour number 0..255 of the palette; true colours come as 0xRRGGBB through trueColor.
  virtual void penColor(int index) = 0;
  virtual void trueColor(std::uint32_t rgb) { penColor(7); }
  virtual void lineweight(int hundredthsMm) {}
  virtual void paintPolygon(const PixelPoint* pts, int n) = 0;
  virtual void polyPolygon(const PixelPoint* pts, const int* counts, int rings) = 0;
  // TrueType styles: examine tells whether the sink can draw the font; false makes the walk
  // use the stroke font instead.
  virtual bool examineTtf(const std::string& fontFile, const std::string& family) { return false; }
  virtual void ttfText(const TtfRun& run) {}
  // File lookups for shape/font files, external references and images; return the found
  // path or empty.
  enum class FileKind { Shape, Xref, Image };
  virtual std::string findFile(FileKind kind, const std::string& storedPath) { return {}; }
  virtual bool rawImagePrepare(const std::string& path, std::int32_t& userData) { return false; }
  virtual void rawImage(const RawImageRecord& rec) {}
  virtual void rawImageRelease(std::int32_t userData) {}
  virtual void olePicData(const OlePicRecord& rec) {}
  virtual void warning(const std::string& text) {}
  virtual void criticalError(const std::string& text) {}
  // Returning true stops the walk (the viewer's abort); checked between entities.
  virtual bool cancelled() { return false; }
};

// Prepares drawing: fills the view record for the layout (empty handle: model space, as the
// active viewport "*ACTIVE" shows it, else its extents; a paper-space block: the whole sheet
// as its overall viewport shows it, else the layout's extents) and the transform.
// The transform keeps the aspect: one scale for both axes, the smaller of width and height
// fitted, the view centre in the middle of the pixel window.
int adInitVectorize(AdDrawing d, AdViewRecord& view, const AdPixelWindow& win, AdTransform& xf, Handle layoutBlock);
int adMakeViewTransform(AdDrawing d, AdViewRecord& view, const AdPixelWindow& win, AdTransform& xf);
// Walks the visible drawing of the last adInitVectorize/adMakeViewTransform into the sink.
// The first draw (and the first after adForceRegen, a layer change, a new curve quality,
// $QTEXTMODE or $LTSCALE) regenerates the drawing into a kept display list; later draws only
// transform and emit it. 0 for an unknown handle; a failure inside (out of memory) is thrown.
int adDrawDrawing(AdDrawing d, DrawSink& sink);
void adForceRegen(AdDrawing d);
// 1 (the default): a regeneration keeps its display list so later draws only emit it. 0: every
// draw of model space walks the drawing again straight into the sink and keeps nothing but the
// extents, for one picture of a large drawing (batch rendering). Paper-space layouts are always
// kept. Applies to regenerations from now on, for every drawing.
void adSetKeepDisplayLists(int keep);
// The view record to the drawing's extents (computed from the geometry when the header's
// are missing or wrong).
int adZoomExtents(AdDrawing d, AdViewRecord& view);
int adSetViewParmsFromView(AdDrawing d, const View& stored, AdViewRecord& view);
void adPanTarget(AdViewRecord& view, double dx, double dy);
void adRotateRight(AdViewRecord& view, double radians);
void adRotateForward(AdViewRecord& view, double radians);
void adRotateCounterClockwise(AdViewRecord& view, double radians);
void adCurrentPixelToWorld(AdDrawing d, double px, double py, Vec3& world);
void adCurrentWorldToPixel(AdDrawing d, const Vec3& world, double& px, double& py);
// Curve quality 1..50 (default 10; other values are ignored): a full circle takes
// 8 + 4 × quality segments, an arc its share (at least one), each spline knot span an eighth
// of that (at least two).
void adSetInterpolationQuality(int quality);
int adInterpolationQuality();
void adSetDefaultLineweight(int on);
void adSetModelSpaceLineweightScale(double scale);
// Extents of the geometry of one block (model space when empty), in world coordinates; false
// when the block draws nothing.
bool adComputeExtents(AdDrawing d, const std::string& block, Vec3& lo, Vec3& hi);

}  // namespace kelvaro::cad
