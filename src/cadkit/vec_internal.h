#pragma once
// Inside the vectoriser: the cached display list a regeneration builds, the per-drawing state
// and the small vector maths the walk, the view code and the redraw share.
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <type_traits>
#include <string>
#include <vector>

#include "cadkit/vectorize.h"

namespace kelvaro::cad::vec {

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 crossP(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double length(Vec3 a) { return std::sqrt(dot(a, a)); }
inline bool finite(Vec3 a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }
// Unit vector, or `fallback` for a null or broken one.
inline Vec3 unit(Vec3 a, Vec3 fallback = {0, 0, 1}) {
  double l = length(a);
  if (!(l > 1e-300) || !std::isfinite(l)) return fallback;
  return a * (1 / l);
}

// An affine map of 3D points: p' = R p + t (rows of a 3x4 matrix).
struct Affine {
  double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
  Vec3 apply(Vec3 p) const {
    return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3],
            m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3],
            m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]};
  }
  Vec3 applyDir(Vec3 p) const {
    return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z, m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z,
            m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z};
  }
  bool identity() const {
    return m[0][0] == 1 && m[0][1] == 0 && m[0][2] == 0 && m[0][3] == 0 && m[1][0] == 0 && m[1][1] == 1 &&
           m[1][2] == 0 && m[1][3] == 0 && m[2][0] == 0 && m[2][1] == 0 && m[2][2] == 1 && m[2][3] == 0;
  }
  // this ∘ o (o applied first)
  Affine operator*(const Affine& o) const;
  // Mean scale of the map in its own plane, for linetype scaling inside blocks.
  double planarScale() const;
  static Affine fromAxes(Vec3 x, Vec3 y, Vec3 z, Vec3 origin);
};

// The arbitrary axis convention: the x and y axes of the plane whose normal is n.
void arbitraryAxes(Vec3 n, Vec3& ax, Vec3& ay);
// Object (OCS) to world for an extrusion direction.
Affine ocsToWorld(Vec3 normal);

// The screen axes of a view record in world coordinates (x right, y up, z towards the viewer).
void viewAxes(const AdViewRecord& v, Vec3& x, Vec3& y, Vec3& z);

// One cached piece of output. Points live in the display list's shared arrays.
enum class ItemKind : std::uint8_t {
  Polyline,     // open polyline (a closed one repeats its first point)
  Polygon,      // filled polygon
  PolyPolygon,  // filled rings, even-odd
  XLine,        // pts[0] point, pts[1] direction
  Ray,
  Ttf,          // pts: origin, origin + xAxis, origin + yAxis; text in strings[aux]
  Image,        // pts: four corners then the clip ring; aux: image slot
  Ole,          // pts: four frame corners; aux: data slot
};

struct Item {
  ItemKind kind = ItemKind::Polyline;
  std::uint8_t trueColor = 0;  // 1: rgb holds the colour
  std::int16_t color = 7;      // palette number
  std::uint32_t rgb = 0;
  std::int16_t lineweight = 0;  // hundredths of a millimetre
  std::uint16_t layer = 0;      // layer index of the entity (after block inheritance)
  std::uint16_t topLayer = 0;   // layer index of the entity drawn in the space itself
  std::uint8_t flat = 0;        // 1: the points are in DisplayList::flat (all at z = 0)
  std::uint32_t first = 0, count = 0;  // points
  std::uint32_t aux = 0;               // rings (PolyPolygon: first ring), strings, images
  std::uint32_t auxCount = 0;
};

struct TtfItem {
  std::string fontFile, family, text;
  bool bold = false, italic = false;
  double advance = 0;
};

struct ImageSlot {
  std::string path;  // as stored
  bool prepared = false, ok = false;
  std::int32_t userData = -1;
  std::size_t clipCount = 0;
};

// Points or items kept in blocks that never move: a list of millions grows without the copy a
// doubling array makes (which briefly holds the old and the new array, half of it unused).
// A run taken by append() is contiguous; an index names a block (high bits) and a place in it.
// Values added one at a time have the indices 0 .. size() - 1.
template <class P>
class BlockStore {
 public:
  static constexpr unsigned kShift = 16;
  static constexpr std::size_t kBlock = std::size_t{1} << kShift;
  static_assert(std::is_trivially_copyable_v<P> && std::is_trivially_destructible_v<P>);

  BlockStore() = default;
  BlockStore(const BlockStore&) = delete;
  BlockStore& operator=(const BlockStore&) = delete;
  BlockStore(BlockStore&&) noexcept = default;
  BlockStore& operator=(BlockStore&&) noexcept = default;

  // Room for n contiguous points; `first` is the index of the first of them.
  P* append(std::size_t n, std::size_t& first) {
    count_ += n;
    if (n > kBlock) {  // a run longer than a block gets blocks of its own
      std::size_t m = (n + kBlock - 1) / kBlock;
      P* base = allocate(n);
      first = blocks_.size() << kShift;
      for (std::size_t j = 0; j < m; ++j) blocks_.push_back(base + j * kBlock);
      next_ = blocks_.size() << kShift;
      return base;
    }
    if ((next_ >> kShift) == blocks_.size() || (next_ & (kBlock - 1)) + n > kBlock) {
      next_ = blocks_.size() << kShift;
      blocks_.push_back(allocate(kBlock));
    }
    first = next_;
    next_ += n;
    return at(first);
  }
  P& push_back(const P& v) {
    std::size_t i;
    P* p = append(1, i);
    *p = v;
    return *p;
  }
  P* at(std::size_t i) { return blocks_[i >> kShift] + (i & (kBlock - 1)); }
  const P* at(std::size_t i) const { return blocks_[i >> kShift] + (i & (kBlock - 1)); }
  std::size_t size() const { return count_; }  // points kept
  bool empty() const { return count_ == 0; }
  void clear() {
    owned_.clear();
    blocks_.clear();
    next_ = count_ = 0;
    firstIsBlock_ = false;
  }
  // Empties the store but keeps its first block for reuse (a buffer refilled again and again).
  void rewind() {
    if (!firstIsBlock_ || owned_.empty()) return clear();  // nothing kept, or a long run of its own
    owned_.resize(1);
    blocks_.resize(1);
    next_ = count_ = 0;
  }

 private:
  struct Free {
    void operator()(P* p) const { ::operator delete(p); }
  };
  // Left uninitialised: pages are only touched as points are written.
  P* allocate(std::size_t n) {
    if (owned_.empty()) firstIsBlock_ = n == kBlock;
    owned_.emplace_back(static_cast<P*>(::operator new(n * sizeof(P))));
    return owned_.back().get();
  }
  std::vector<std::unique_ptr<P, Free>> owned_;
  std::vector<P*> blocks_;
  std::size_t next_ = 0, count_ = 0;
  bool firstIsBlock_ = false;
};

// A regenerated space: everything resolved, in world coordinates.
struct DisplayList {
  BlockStore<Item> items;
  std::vector<Vec3> pts;
  BlockStore<Vec2> flat;  // points of items that lie in the plane z = 0 (most of a 2D drawing)
  std::vector<int> rings;
  std::vector<TtfItem> ttf;
  std::vector<ImageSlot> images;
  std::vector<std::vector<std::uint8_t>> ole;
  std::vector<std::string> oleNames;
  Vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};  // of finite geometry (not xlines)
  bool empty() const { return items.empty(); }
  void clear();
  // Empties the list but keeps its bounds (and storage for refilling).
  void clearContents();
  void grow(Vec3 p) {
    if (p.x < lo.x) lo.x = p.x;
    if (p.y < lo.y) lo.y = p.y;
    if (p.z < lo.z) lo.z = p.z;
    if (p.x > hi.x) hi.x = p.x;
    if (p.y > hi.y) hi.y = p.y;
    if (p.z > hi.z) hi.z = p.z;
  }
};

// A paper-space viewport: model space shown through its own view inside its rectangle.
struct ViewportView {
  AdViewRecord view;
  Vec3 center;              // paper-space centre of the viewport rectangle
  double width = 0, height = 0;  // paper-space size
  std::vector<std::uint16_t> frozen;  // layer indices frozen in this viewport
};

struct LayerInfo {
  std::string name;
  bool visible = true;  // on and not frozen
  std::int16_t color = 7;
  std::uint32_t rgb = 0;
  bool hasRgb = false;
  int linetype = -1;  // index into the linetype table, -1 continuous
  std::int16_t lineweight = -3;
  Handle handle;
};

// What a regeneration used, so a change of any of it forces the next one.
struct RegenKey {
  int quality = 0;
  int quickText = -1;
  double ltscale = 0;
  std::uint64_t generation = 0;
  std::size_t entities = 0;  // of model and paper space (catches direct edits of the model)
  std::string space;  // block name of the layout
  bool operator==(const RegenKey&) const = default;
};

struct DrawingState {
  AdViewRecord view;
  AdPixelWindow win;
  AdTransform xf;
  bool haveTransform = false;
  std::string layout;  // block name drawn; empty: model space
  // Cache.
  bool valid = false;
  RegenKey key;
  bool ttfAsked = false;      // some text asked the sink about a TrueType font
  bool builtWithSink = false; // false: built for extents only
  bool boundsOnly = false;    // the lists were walked without being kept: only their bounds are
  DisplayList space;          // the layout's (or model space's) own geometry
  // The rest of model space when it was walked in parts, drawn in order after `space`
  // (whose bounds hold theirs too).
  std::vector<DisplayList> spaceMore;
  DisplayList model;          // model space for the viewports of a paper-space layout
  std::vector<ViewportView> viewports;
  std::vector<LayerInfo> layers;
  std::uint64_t generation = 0;  // bumped by every change of the drawing
  // Point figures sized from the view: the view height they were sized for (0: not so).
  double pointViewHeight = 0;
};

DrawingState& drawingState(AdDrawing d);
int quality();
bool defaultLineweightOn();
double lineweightScale();
// Tessellation: segments for a sweep of `radians` at the current quality (at least 1).
int curveSegments(double radians);

// Bounds of one regeneration (points kept, entities visited); defaults 16 and 50 million.
void setRegenLimits(std::size_t points, std::size_t visits);
// Drawings with at least this many entities in model space are walked on several threads
// where that gives the same result (default 8192; tests lower it).
void setParallelFrom(std::size_t entities);
std::size_t parallelFrom();
// Whether regenerations keep their display lists (the default) so that a redraw only emits
// them; without, every draw of model space walks the drawing again through a small buffer
// (a single picture of a large drawing then needs little more memory than the drawing).
void setKeepDisplayLists(bool keep);
bool keepDisplayLists();
// Regenerates the display lists of `st` for drawing `doc` (sink may be null: extents only).
// With `stream`, model space is walked through a small list handed to `stream` whenever it
// fills (and at the end) and emptied again; `st` keeps only the bounds.
void regenerate(AdDrawing d, const Document& doc, DrawingState& st, DrawSink* sink,
                const std::function<void(DisplayList&)>* stream = nullptr);
// The stream that throws the list away: a regeneration for the bounds alone (model space).
const std::function<void(DisplayList&)>& boundsOnlyStream();
// Regenerates when anything the cache depends on changed.
void ensureRegen(AdDrawing d, DrawingState& st, DrawSink* sink);
// Sends the display lists through the transform of `st` into the sink.
void emit(DrawingState& st, DrawSink& sink);
// Walks model space straight through the transform of `st` into the sink, keeping no list.
void drawStreamed(AdDrawing d, const Document& doc, DrawingState& st, DrawSink& sink);

// Projects a world box through a view; false when the box is empty.
bool viewBox(const AdViewRecord& v, Vec3 lo, Vec3 hi, double& x0, double& y0, double& x1, double& y1);
AdTransform makeTransform(const AdViewRecord& view, const AdPixelWindow& win);

}  // namespace kelvaro::cad::vec

namespace kelvaro::cad {
// Called by the toolkit when a drawing changes or closes.
void vecDrawingChanged(AdDrawing d);
void vecDrawingClosed(AdDrawing d);
}  // namespace kelvaro::cad
