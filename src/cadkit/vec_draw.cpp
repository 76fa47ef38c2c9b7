// Redraw: the cached display lists go through the view transform into the sink. Items wholly
// outside the window are skipped; paper-space viewports show model space clipped to their
// rectangle (Liang–Barsky for lines, Sutherland–Hodgman for fills).
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "cadkit/vec_walk.h"

namespace kelvaro::cad {

void DrawSink::polyline(const PixelPoint* pts, std::size_t n) {
  if (n == 0) return;
  moveTo(pts[0].x, pts[0].y);
  // A lone point still leaves a dot.
  if (n == 1) return lineTo(pts[0].x, pts[0].y);
  for (std::size_t i = 1; i < n; ++i) lineTo(pts[i].x, pts[i].y);
}

}  // namespace kelvaro::cad

namespace kelvaro::cad::vec {
namespace {

struct Rect {
  double x0, y0, x1, y1;
  bool contains(const Rect& r) const { return r.x0 >= x0 && r.x1 <= x1 && r.y0 >= y0 && r.y1 <= y1; }
  bool misses(const Rect& r) const { return r.x1 < x0 || r.x0 > x1 || r.y1 < y0 || r.y0 > y1; }
};

// Pixel coordinates beyond this distance from the window are clipped even without a viewport,
// so that a deep zoom never hands the sink numbers it cannot draw.
constexpr double kFar = 1 << 22;

Affine toAffine(const AdTransform& t) {
  Affine a;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 4; ++j) a.m[i][j] = t.m[i][j];
  return a;
}

bool clipSegment(const Rect& r, double& x0, double& y0, double& x1, double& y1, double& t0, double& t1) {
  double dx = x1 - x0, dy = y1 - y0;
  double p[4] = {-dx, dx, -dy, dy}, q[4] = {x0 - r.x0, r.x1 - x0, y0 - r.y0, r.y1 - y0};
  t0 = 0, t1 = 1;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    double t = q[i] / p[i];
    if (p[i] < 0) t0 = std::max(t0, t);
    else t1 = std::min(t1, t);
    if (t0 > t1) return false;
  }
  double ax = x0 + dx * t0, ay = y0 + dy * t0, bx = x0 + dx * t1, by = y0 + dy * t1;
  x0 = ax, y0 = ay, x1 = bx, y1 = by;
  return true;
}

class Emitter {
 public:
  Emitter(DrawSink& sink, Rect window) : sink_(sink), window_(window) {}

  void list(DisplayList& l, const Affine& xf, const Rect* clip, const std::vector<std::uint16_t>* frozen) {
    Rect cull = window_;
    if (clip) {
      cull = {std::max(cull.x0, clip->x0), std::max(cull.y0, clip->y0), std::min(cull.x1, clip->x1),
              std::min(cull.y1, clip->y1)};
      if (cull.x0 > cull.x1 || cull.y0 > cull.y1) return;
    }
    Rect far{window_.x0 - kFar, window_.y0 - kFar, window_.x1 + kFar, window_.y1 + kFar};
    std::size_t n = 0;
    for (std::size_t i = 0, count = l.items.size(); i < count; ++i) {
      const Item& it = *l.items.at(i);
      if ((++n & 4095) == 0 && sink_.cancelled()) return;
      if (frozen && !frozen->empty() &&
          (std::find(frozen->begin(), frozen->end(), it.layer) != frozen->end() ||
           std::find(frozen->begin(), frozen->end(), it.topLayer) != frozen->end()))
        continue;
      const Vec3* p = l.pts.data() + it.first;
      switch (it.kind) {
        case ItemKind::Polyline:
        case ItemKind::Polygon:
        case ItemKind::PolyPolygon: {
          Rect box = it.flat ? project(xf, l.flat.at(it.first), it.count) : project(xf, p, it.count);
          if (cull.misses(box)) break;
          pen(it);
          const Rect* c = clip ? (clip->contains(box) ? nullptr : clip) : (far.contains(box) ? nullptr : &far);
          if (it.kind == ItemKind::Polyline) polyline(c);
          else if (it.kind == ItemKind::Polygon) polygon(c, 0, it.count);
          else rings(l, it, c);
          break;
        }
        case ItemKind::XLine:
        case ItemKind::Ray:
          infinite(it, xf, p, clip ? cull : window_);
          break;
        case ItemKind::Ttf: ttf(l, it, xf, p, cull); break;
        case ItemKind::Image: image(l, it, xf, p, clip); break;
        case ItemKind::Ole: ole(l, it, xf, p, cull); break;
      }
    }
  }

 private:
  Rect project(const Affine& xf, const Vec3* p, std::size_t n) {
    if (buf_.size() < n) buf_.resize(n);
    Rect r{1e300, 1e300, -1e300, -1e300};
    const double(*m)[4] = xf.m;
    for (std::size_t i = 0; i < n; ++i) {
      double x = m[0][0] * p[i].x + m[0][1] * p[i].y + m[0][2] * p[i].z + m[0][3];
      double y = m[1][0] * p[i].x + m[1][1] * p[i].y + m[1][2] * p[i].z + m[1][3];
      buf_[i] = {x, y};
      r.x0 = std::min(r.x0, x), r.x1 = std::max(r.x1, x);
      r.y0 = std::min(r.y0, y), r.y1 = std::max(r.y1, y);
    }
    count_ = n;
    return r;
  }

  Rect project(const Affine& xf, const Vec2* p, std::size_t n) {
    if (buf_.size() < n) buf_.resize(n);
    Rect r{1e300, 1e300, -1e300, -1e300};
    const double(*m)[4] = xf.m;
    for (std::size_t i = 0; i < n; ++i) {
      double x = m[0][0] * p[i].x + m[0][1] * p[i].y + m[0][3];
      double y = m[1][0] * p[i].x + m[1][1] * p[i].y + m[1][3];
      buf_[i] = {x, y};
      r.x0 = std::min(r.x0, x), r.x1 = std::max(r.x1, x);
      r.y0 = std::min(r.y0, y), r.y1 = std::max(r.y1, y);
    }
    count_ = n;
    return r;
  }

  void pen(const Item& it) {
    if (it.trueColor) {
      if (!lastTrue_ || lastRgb_ != it.rgb) sink_.trueColor(it.rgb);
      lastTrue_ = true, lastRgb_ = it.rgb, lastColor_ = -1;
    } else {
      if (lastTrue_ || lastColor_ != it.color) sink_.penColor(it.color);
      lastTrue_ = false, lastColor_ = it.color;
    }
    int lw = it.lineweight >= 0 ? it.lineweight : (defaultLineweightOn() ? 25 : 0);
    if (lw != lastLw_) sink_.lineweight(lw);
    lastLw_ = lw;
  }

  void polyline(const Rect* c) {
    if (!c) return sink_.polyline(buf_.data(), count_);
    out_.clear();
    if (count_ == 1) return;
    for (std::size_t i = 0; i + 1 < count_; ++i) {
      double x0 = buf_[i].x, y0 = buf_[i].y, x1 = buf_[i + 1].x, y1 = buf_[i + 1].y, t0, t1;
      if (!clipSegment(*c, x0, y0, x1, y1, t0, t1)) {
        flush();
        continue;
      }
      if (t0 > 0 || out_.empty()) {
        flush();
        out_.push_back({x0, y0});
      }
      out_.push_back({x1, y1});
      if (t1 < 1) flush();
    }
    flush();
  }

  void flush() {
    if (out_.size() >= 2) sink_.polyline(out_.data(), out_.size());
    out_.clear();
  }

  // Clips buf_[from, from + n) into poly_; returns the point count.
  std::size_t clipPolygon(const Rect& c, std::size_t from, std::size_t n) {
    poly_.assign(buf_.begin() + static_cast<std::ptrdiff_t>(from), buf_.begin() + static_cast<std::ptrdiff_t>(from + n));
    for (int edge = 0; edge < 4 && !poly_.empty(); ++edge) {
      tmp_.clear();
      auto inside = [&](const PixelPoint& p) {
        switch (edge) {
          case 0: return p.x >= c.x0;
          case 1: return p.x <= c.x1;
          case 2: return p.y >= c.y0;
          default: return p.y <= c.y1;
        }
      };
      auto cut = [&](const PixelPoint& a, const PixelPoint& b) {
        double t;
        switch (edge) {
          case 0: t = (c.x0 - a.x) / (b.x - a.x); break;
          case 1: t = (c.x1 - a.x) / (b.x - a.x); break;
          case 2: t = (c.y0 - a.y) / (b.y - a.y); break;
          default: t = (c.y1 - a.y) / (b.y - a.y); break;
        }
        return PixelPoint{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
      };
      for (std::size_t i = 0; i < poly_.size(); ++i) {
        const PixelPoint& a = poly_[i];
        const PixelPoint& b = poly_[(i + 1) % poly_.size()];
        bool ia = inside(a), ib = inside(b);
        if (ia) tmp_.push_back(a);
        if (ia != ib) tmp_.push_back(cut(a, b));
      }
      poly_.swap(tmp_);
    }
    return poly_.size();
  }

  void polygon(const Rect* c, std::size_t from, std::size_t n) {
    if (!c) return sink_.paintPolygon(buf_.data() + from, static_cast<int>(n));
    if (clipPolygon(*c, from, n) >= 3) sink_.paintPolygon(poly_.data(), static_cast<int>(poly_.size()));
  }

  void rings(const DisplayList& l, const Item& it, const Rect* c) {
    const int* counts = l.rings.data() + it.aux;
    if (!c) {
      counts_.assign(counts, counts + it.auxCount);
      return sink_.polyPolygon(buf_.data(), counts_.data(), static_cast<int>(it.auxCount));
    }
    all_.clear();
    counts_.clear();
    std::size_t from = 0;
    for (std::uint32_t r = 0; r < it.auxCount; ++r) {
      std::size_t n = static_cast<std::size_t>(counts[r]);
      if (clipPolygon(*c, from, n) >= 3) {
        all_.insert(all_.end(), poly_.begin(), poly_.end());
        counts_.push_back(static_cast<int>(poly_.size()));
      }
      from += n;
    }
    if (!counts_.empty()) sink_.polyPolygon(all_.data(), counts_.data(), static_cast<int>(counts_.size()));
  }

  void infinite(const Item& it, const Affine& xf, const Vec3* p, const Rect& r) {
    Vec3 o = xf.apply(p[0]), d = xf.applyDir(p[1]);
    double len = std::hypot(d.x, d.y);
    if (!(len > 1e-12)) return;
    // A line through the whole window: far enough both ways, then cut to it.
    double reach = (std::fabs(o.x - r.x0) + std::fabs(o.y - r.y0) + (r.x1 - r.x0) + (r.y1 - r.y0)) / len * 2;
    double x0 = it.kind == ItemKind::Ray ? o.x : o.x - d.x * reach, y0 = it.kind == ItemKind::Ray ? o.y : o.y - d.y * reach;
    double x1 = o.x + d.x * reach, y1 = o.y + d.y * reach, t0, t1;
    if (!clipSegment(r, x0, y0, x1, y1, t0, t1)) return;
    pen(it);
    PixelPoint seg[2] = {{x0, y0}, {x1, y1}};
    sink_.polyline(seg, 2);
  }

  void ttf(const DisplayList& l, const Item& it, const Affine& xf, const Vec3* p, const Rect& cull) {
    Vec3 o = xf.apply(p[0]), x = xf.apply(p[1]), y = xf.apply(p[2]);
    const TtfItem& t = l.ttf[it.aux];
    // Roughly the run's box: its length in text units is unknown here, so allow a long line.
    double reach = (std::hypot(x.x - o.x, x.y - o.y) + std::hypot(y.x - o.x, y.y - o.y)) * (t.text.size() + 2);
    Rect box{o.x - reach, o.y - reach, o.x + reach, o.y + reach};
    if (cull.misses(box)) return;
    pen(it);
    TtfRun run;
    run.fontFile = t.fontFile;
    run.family = t.family;
    run.bold = t.bold;
    run.italic = t.italic;
    run.text = t.text;
    run.advance = t.advance;
    run.origin = {o.x, o.y};
    run.xAxis = {x.x - o.x, x.y - o.y};
    run.yAxis = {y.x - o.x, y.y - o.y};
    sink_.ttfText(run);
  }

  void image(DisplayList& l, const Item& it, const Affine& xf, const Vec3* p, const Rect* clip) {
    ImageSlot& s = l.images[it.aux];
    Rect box = project(xf, p, it.count);
    if (window_.misses(box) || (clip && clip->misses(box))) return;
    // Prepared when first seen in this draw (a model-space image may show in several
    // viewports), released once at the end of it.
    if (!s.prepared) {
      s.prepared = true;
      s.userData = -1;
      s.ok = !s.path.empty() && sink_.rawImagePrepare(s.path, s.userData);
      if (s.ok) held_.push_back(&s);
    }
    if (!s.ok) return;
    RawImageRecord rec;
    for (int i = 0; i < 4; ++i) rec.corner[i] = buf_[i];
    if (s.clipCount >= 3) {
      rec.clip[0] = buf_.data() + 4;
      rec.clipCount[0] = static_cast<int>(s.clipCount);
    }
    PixelPoint vp[4];
    if (clip) {
      vp[0] = {clip->x0, clip->y0}, vp[1] = {clip->x1, clip->y0}, vp[2] = {clip->x1, clip->y1}, vp[3] = {clip->x0, clip->y1};
      rec.clip[1] = vp;
      rec.clipCount[1] = 4;
    }
    rec.userData = s.userData;
    sink_.rawImage(rec);
  }

  void ole(const DisplayList& l, const Item& it, const Affine& xf, const Vec3* p, const Rect& cull) {
    Rect box = project(xf, p, 4);
    if (cull.misses(box)) return;
    const auto& data = l.ole[it.aux];
    OlePicRecord rec;
    rec.data = data.data();
    rec.size = data.size();
    if (it.aux < l.oleNames.size()) rec.name = l.oleNames[it.aux];
    rec.rectMin = {box.x0, box.y0};
    rec.rectMax = {box.x1, box.y1};
    for (int i = 0; i < 4; ++i) rec.frame[i] = buf_[i];
    sink_.olePicData(rec);
  }

 public:
  // Images prepared in this draw, released by release() (also when the draw stops early).
  void release() {
    for (ImageSlot* s : held_) {
      s->prepared = s->ok = false;
      sink_.rawImageRelease(s->userData);
      s->userData = -1;
    }
    held_.clear();
  }

  ~Emitter() {
    try {
      release();
    } catch (...) {
    }
  }

 private:
  DrawSink& sink_;
  Rect window_;
  std::vector<ImageSlot*> held_;
  std::vector<PixelPoint> buf_, out_, poly_, tmp_, all_;
  std::vector<int> counts_;
  std::size_t count_ = 0;
  int lastColor_ = -1, lastLw_ = INT_MIN;
  std::uint32_t lastRgb_ = 0;
  bool lastTrue_ = false;
};

}  // namespace

namespace {
Rect windowOf(const DrawingState& st) {
  return {static_cast<double>(st.win.x0) - 1, static_cast<double>(st.win.y0) - 1, static_cast<double>(st.win.x1) + 1,
          static_cast<double>(st.win.y1) + 1};
}
}  // namespace

namespace {

// Lists pass from the walk to the drawing thread and back: one being filled, one being drawn,
// one spare.
struct Handoff {
  std::mutex lock;
  std::condition_variable changed;
  DisplayList lists[3];
  std::vector<DisplayList*> spare{&lists[0], &lists[1], &lists[2]};
  std::deque<DisplayList*> filled;
  bool walkDone = false;
};

// Everything but the bounds, which stay with the walk's own list.
void swapContents(DisplayList& a, DisplayList& b) {
  std::swap(a.items, b.items);
  a.pts.swap(b.pts);
  std::swap(a.flat, b.flat);
  a.rings.swap(b.rings);
  a.ttf.swap(b.ttf);
  a.images.swap(b.images);
  a.ole.swap(b.ole);
  a.oleNames.swap(b.oleNames);
}

void drawStreamedHere(AdDrawing d, const Document& doc, DrawingState& st, DrawSink& sink) {
  Emitter e(sink, windowOf(st));
  const Affine paper = toAffine(st.xf);
  const std::function<void(DisplayList&)> fn = [&](DisplayList& l) {
    e.list(l, paper, nullptr, nullptr);
    // The list is emptied and filled again: its images are given back first.
    e.release();
  };
  regenerate(d, doc, st, &sink, &fn);
}

}  // namespace

void drawStreamed(AdDrawing d, const Document& doc, DrawingState& st, DrawSink& sink) {
  const Block* model = doc.findBlock(kModelSpace);
  if (std::thread::hardware_concurrency() < 2 || !model || model->entities.size() < parallelFrom())
    return drawStreamedHere(d, doc, st, sink);
  // The walk (tessellating, laying out text) runs on a second thread while this one draws what
  // it has handed over, list after list in the order walked: the sink sees exactly the calls
  // of a walk on one thread. One emitter for the whole walk, as for a kept list.
  Emitter e(sink, windowOf(st));
  const Affine paper = toAffine(st.xf);
  std::mutex sinkLock;
  SharedSink side(sink, sinkLock, false);
  Handoff h;
  const std::function<void(DisplayList&)> handOver = [&](DisplayList& l) {
    DisplayList* empty;
    {
      std::unique_lock<std::mutex> hold(h.lock);
      h.changed.wait(hold, [&] { return !h.spare.empty() || side.stop.load(); });
      if (h.spare.empty()) return;  // drawing has stopped: the walk's list is dropped
      empty = h.spare.back();
      h.spare.pop_back();
    }
    swapContents(l, *empty);
    {
      std::lock_guard<std::mutex> hold(h.lock);
      h.filled.push_back(empty);
    }
    h.changed.notify_all();
  };
  std::exception_ptr walkError;
  std::thread walker;
  try {
    walker = std::thread([&] {
      try {
        regenerate(d, doc, st, &side, &handOver);
      } catch (...) {
        walkError = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> hold(h.lock);
        h.walkDone = true;
      }
      h.changed.notify_all();
    });
  } catch (const std::system_error&) {
    return drawStreamedHere(d, doc, st, sink);  // no second thread to be had
  }
  std::exception_ptr drawError;
  for (;;) {
    DisplayList* l;
    {
      std::unique_lock<std::mutex> hold(h.lock);
      h.changed.wait(hold, [&] { return !h.filled.empty() || h.walkDone; });
      if (h.filled.empty()) break;
      l = h.filled.front();
      h.filled.pop_front();
    }
    if (!side.stop.load() && !drawError) {
      try {
        std::lock_guard<std::mutex> hold(sinkLock);
        if (sink.cancelled()) {
          side.stop = true;
        } else {
          e.list(*l, paper, nullptr, nullptr);
          e.release();
        }
      } catch (...) {
        drawError = std::current_exception();
        side.stop = true;
      }
    }
    l->clearContents();
    {
      std::lock_guard<std::mutex> hold(h.lock);
      h.spare.push_back(l);
    }
    h.changed.notify_all();
  }
  walker.join();
  if (drawError) std::rethrow_exception(drawError);
  if (walkError) std::rethrow_exception(walkError);
  for (const auto& w : side.warnings) sink.warning(w);
}

void emit(DrawingState& st, DrawSink& sink) {
  Rect window{static_cast<double>(st.win.x0) - 1, static_cast<double>(st.win.y0) - 1, static_cast<double>(st.win.x1) + 1,
              static_cast<double>(st.win.y1) + 1};
  Emitter e(sink, window);
  Affine paper = toAffine(st.xf);
  for (const ViewportView& vp : st.viewports) {
    if (!(vp.width > 0 && vp.height > 0 && vp.view.height > 0)) continue;
    Vec3 x, y, z;
    viewAxes(vp.view, x, y, z);
    double s = vp.height / vp.view.height;
    // Model space → the viewport's place on the sheet → pixels.
    Affine toPaper;
    Vec3 rows[2] = {x * s, y * s};
    double off[2] = {vp.center.x - s * (dot(vp.view.target, x) + vp.view.center.x),
                     vp.center.y - s * (dot(vp.view.target, y) + vp.view.center.y)};
    for (int i = 0; i < 2; ++i) {
      toPaper.m[i][0] = rows[i].x, toPaper.m[i][1] = rows[i].y, toPaper.m[i][2] = rows[i].z, toPaper.m[i][3] = off[i];
    }
    toPaper.m[2][0] = z.x * s, toPaper.m[2][1] = z.y * s, toPaper.m[2][2] = z.z * s, toPaper.m[2][3] = 0;
    Rect clip{1e300, 1e300, -1e300, -1e300};
    for (int i = 0; i < 4; ++i) {
      Vec3 c{vp.center.x + (i & 1 ? 0.5 : -0.5) * vp.width, vp.center.y + (i & 2 ? 0.5 : -0.5) * vp.height, 0};
      Vec3 q = paper.apply(c);
      clip.x0 = std::min(clip.x0, q.x), clip.x1 = std::max(clip.x1, q.x);
      clip.y0 = std::min(clip.y0, q.y), clip.y1 = std::max(clip.y1, q.y);
    }
    e.list(st.model, paper * toPaper, &clip, &vp.frozen);
  }
  e.list(st.space, paper, nullptr, nullptr);
  for (DisplayList& l : st.spaceMore) e.list(l, paper, nullptr, nullptr);
  e.release();
}

}  // namespace kelvaro::cad::vec
