#pragma once
// The regeneration walk: what it carries while it descends through blocks, and the output
// calls every entity handler uses (they apply linetypes and fill the display list).
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cadkit/document.h"
#include "cadkit/font.h"
#include "cadkit/text_layout.h"
#include "cadkit/vec_internal.h"

namespace kelvaro::cad::vec {

// Case-insensitive keys for table names, looked up without building a string.
struct CiHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const {
    std::size_t h = 1469598103934665603ull;
    for (unsigned char c : s) h = (h ^ static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c)) * 1099511628211ull;
    return h;
  }
};
struct CiEq {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return sameName(a, b); }
};
template <class V>
using NameMap = std::unordered_map<std::string, V, CiHash, CiEq>;

// A shape or text a complex linetype draws at the start of one of its elements.
struct DashShape {
  int flags = 0;      // 1 rotation absolute, 2 text, 4 shape
  int shape = 0;      // shape number in the style's shape file
  std::string style;  // text style (its font is the shape file)
  double scale = 1, rotation = 0;  // rotation in radians, as files keep it
  Vec2 offset;
  std::string text;
};

// A linetype's dash pattern in drawing units before any scaling: > 0 dash, < 0 gap, 0 dot.
struct Pattern {
  std::vector<double> dashes;
  double length = 0;
  std::vector<DashShape> shapes;
  std::vector<int> shapeOf;  // per dash: index into shapes or -1 (empty when there are none)
};


// The properties an entity hands down to what it contains (BYBLOCK) and draws with.
struct Attr {
  std::int16_t color = 7;
  std::uint32_t rgb = 0;
  bool hasRgb = false;
  int linetype = -1;
  std::int16_t lineweight = -3;  // as stored: -3 default, else hundredths of a millimetre
  std::uint16_t layer = 0;
  std::uint16_t topLayer = 0;
  double ltscale = 1;  // entity linetype scale × block scale
  bool plinegen = true;  // the pattern runs on across the vertices of a polyline
};

class Walk {
 public:
  Walk(const Document& doc, DrawingState& st, DrawSink* sink);
  ~Walk();
  // Walks one block of entities into `out` (with viewports noted when `layout`); `from`/`to`
  // limit the walk to a range of the block's entities.
  void space(const Block& b, DisplayList& out, bool layout, std::size_t from = 0, std::size_t to = SIZE_MAX);
  // For a walk of bounds alone, over a range of a space's entities. Pass 0 walks the entities
  // no loose box is known for (lines, inserts, hatches...). Pass 1 walks the others (circles,
  // arcs, thin light-weight polylines, text) unless their loose box lies inside `inner` or the
  // bounds found so far: then they cannot widen the bounds, which come out exactly as a walk
  // of every entity gives them.
  void boundsRange(const Block& b, DisplayList& out, std::size_t from, std::size_t to, int pass, Vec3 innerLo,
                   Vec3 innerHi);
  // Hands the list to `fn` and empties it whenever it has filled, between entities of the
  // space, and once at the end of it.
  // `boundsOnly`: the list is thrown away, only its bounds count.
  void streamTo(const std::function<void(DisplayList&)>* fn, bool boundsOnly) {
    stream_ = fn;
    boundsOnly_ = boundsOnly;
  }

  // --- output, used by the entity handlers ---
  // An open polyline (closed: first point repeated by the caller) in world coordinates; `runs`
  // marks where the linetype pattern starts again (indices of points), none: one run.
  void polyline(const Vec3* p, std::size_t n, const Attr& a, const std::uint32_t* runs = nullptr,
                std::size_t nruns = 0);
  void polygon(const Vec3* p, std::size_t n, const Attr& a);
  // A solid polyline of points in a plane the map takes to z = 0, as text strokes mostly are:
  // mapped by x' = m[0] x + m[1] y + m[2], y' = m[3] x + m[4] y + m[5] straight into the flat
  // points, kept as polyline() keeps them.
  void flatPolyline(const Vec2* p, std::size_t n, const double (&m)[6], const Attr& a);
  void rings(const Vec3* p, const int* counts, int nrings, const Attr& a);
  void point(Vec3 p, const Attr& a);
  void infinite(Vec3 p, Vec3 dir, bool ray, const Attr& a);
  DisplayList& out() { return *out_; }
  DrawSink* sink() { return sink_; }
  const Document& doc() const { return doc_; }
  DrawingState& state() { return st_; }
  FontLibrary& fonts();
  const TextStyle& style(std::string_view name);
  // The TrueType family, weight and slant a style names in its extended data.
  void ttfOptions(std::string_view style, TextLayoutOptions& opt) const;
  bool quickText() const { return doc_.header.quickText != 0; }
  bool full() const { return aborted_; }

  // Scratch buffers reused by the handlers (never held across a nested walk).
  std::vector<Vec3> s0, s1, s2;
  std::vector<double> sd;
  std::vector<int> si;
  std::vector<std::uint32_t> su;

 private:
  friend struct EntityDraw;
  void entity(const Entity& e, const Affine& m, const Attr& parent, bool inBlock, int depth);
  void insert(const Entity& e, const Insert& ins, const Affine& m, const Attr& a, int depth);
  void blockRef(const std::string& name, const Affine& m, const Attr& a, int depth);
  void dimensionText(const Dimension& dim, const Affine& m, const Attr& a);
  // A box that surely holds all an entity of the space itself draws; false: not known cheaply.
  bool looseBox(const Entity& e, const Attr& a, Vec3& lo, Vec3& hi);
  bool resolve(const EntityCommon& c, const Frame& f, const Attr& parent, bool inBlock, bool isInsert, Attr& a);
  void dashRun(const Vec3* p, std::size_t n, const Attr& a, const Pattern& pat, double scale);
  bool append(const Vec3* p, std::size_t n, std::size_t& first, bool& flat);
  Item& add(ItemKind k, const Attr& a, std::size_t first, std::size_t count);

  const Document& doc_;
  DrawingState& st_;
  DrawSink* sink_;
  DisplayList* out_ = nullptr;
  bool layout_ = false;
  bool aborted_ = false;
  bool cancelled_ = false;
  std::size_t visits_ = 0;
  std::size_t visitLimit_ = maxVisits;
  std::size_t pointLimit_ = maxPoints;
  NameMap<int> layerIndex_;
  std::vector<bool> layerOn_, layerFrozen_;
  std::vector<Pattern> patterns_;
  NameMap<int> linetypeIndex_;
  NameMap<const Block*> blocks_;
  NameMap<const TextStyle*> styles_;
  NameMap<StyleTtfInfo> families_;
  std::unordered_map<std::uint64_t, const Object*> objects_;
  bool objectsIndexed_ = false;
  std::unique_ptr<FontLibrary> fonts_;
  TextStyle defaultStyle_;
  std::vector<Vec3> dash_;
  double ltscale_ = 1;
  const std::function<void(DisplayList&)>* stream_ = nullptr;
  bool boundsOnly_ = false;
  std::string_view lastLayerName_;
  int lastLayerIdx_ = -1;

 public:
  const Object* object(Handle h);
  // The dash pattern of a linetype by name, -1 continuous or unknown.
  int linetypeIndex(std::string_view name) const {
    auto it = linetypeIndex_.find(name);
    return it == linetypeIndex_.end() ? -1 : it->second;
  }
  // A runaway block nesting stops at either limit (points kept, entities visited).
  static std::size_t maxPoints, maxVisits;
  bool cancelled() const { return cancelled_; }
  // A walk that shares the drawing with others stops after this many visits of its own.
  void limitVisits(std::size_t n) { visitLimit_ = n; }
  void limitPoints(std::size_t n) { pointLimit_ = n; }
  // $PDMODE and the point size in drawing units for this regeneration (mode -1: not read yet).
  int pointMode = -1;
  double pointSize = 0;
};

// What walks on other threads ask of the sink: questions go to the real sink one at a time
// (font answers are kept), warnings wait for the calling thread to pass them on. Cancelling
// is `stop`, or also the real sink's answer when `askCancel`.
class SharedSink final : public DrawSink {
 public:
  SharedSink(DrawSink& real, std::mutex& lock, bool askCancel) : real_(real), lock_(lock), askCancel_(askCancel) {}
  void moveTo(double, double) override {}
  void lineTo(double, double) override {}
  void penColor(int) override {}
  void paintPolygon(const PixelPoint*, int) override {}
  void polyPolygon(const PixelPoint*, const int*, int) override {}
  bool examineTtf(const std::string& fontFile, const std::string& family) override;
  std::string findFile(FileKind kind, const std::string& storedPath) override;
  void warning(const std::string& text) override { warnings.push_back(text); }
  void criticalError(const std::string& text) override { warnings.push_back(text); }
  bool cancelled() override;

  std::atomic<bool> stop{false};
  std::vector<std::string> warnings;

 private:
  DrawSink& real_;
  std::mutex& lock_;
  bool askCancel_;
  std::map<std::string, bool> ttf_;
};

// Walks of model space on several threads (vec_parallel.cpp); false when the space is too
// small to be worth it, and the caller walks it alone.
// Bounds alone on every core (no sink), exactly those of one walk.
bool parallelBounds(const Document& doc, DrawingState& st, const Block& model, bool& full);
// Kept lists in one part per core: `st.space` and then `st.spaceMore`, drawn in order.
bool parallelKept(const Document& doc, DrawingState& st, DrawSink* sink, const Block& model, bool& full,
                  bool& cancelled);

// Entity handlers (vec_entities.cpp, vec_fill.cpp, vec_text.cpp).
void drawEntity(Walk& w, const Entity& e, const Affine& m, const Attr& a, bool inBlock);
void drawHatch(Walk& w, const Hatch& h, const Affine& m, const Attr& a);
void drawText(Walk& w, const Entity& e, const TextBase& t, int valign, const std::string& textOverride,
              const Affine& m, const Attr& a);
void drawMText(Walk& w, const MText& t, const Affine& m, const Attr& a);
void drawPoint(Walk& w, const Point& p, const Affine& m, const Attr& a);  // vec_point.cpp
void drawMLine(Walk& w, const MLine& ml, const Affine& m, const Attr& a);  // vec_mline.cpp
// Draws a complex linetype's shape or text at `at` on a line running along `dir` (world),
// sized by the pattern's scale (vec_linetype.cpp).
void drawDashShape(Walk& w, const DashShape& s, Vec3 at, Vec3 dir, double scale, const Attr& a);
// The embedded shapes of a linetype's elements, with their styles named (vec_linetype.cpp).
void readDashShapes(const Document& doc, const Linetype& lt, Pattern& p, const std::vector<int>& dashIndex);

// The centre of the arc a bulge makes between a and b (z = 0); false for a straight segment.
bool bulgeCentre(Vec2 a, Vec2 b, double bulge, Vec3& c);
// Curves into scratch (local coordinates, z constant).
void bulgePoints(Vec2 a, Vec2 b, double bulge, double z, std::vector<Vec3>& out, bool first);
void splineCurve(const Spline& s, std::vector<Vec3>& out);
void ellipseArc(Vec3 c, Vec3 major, Vec3 minor, double t0, double t1, std::vector<Vec3>& out);

}  // namespace kelvaro::cad::vec
