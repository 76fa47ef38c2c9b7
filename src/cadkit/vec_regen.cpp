// Regeneration: walks a space once, resolves layers, colours, linetypes and lineweights,
// expands blocks and applies dash patterns, and keeps the result as a display list so that a
// redraw only transforms and emits.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cadkit/text_layout.h"
#include "cadkit/vec_walk.h"

namespace kelvaro::cad::vec {
namespace {

constexpr int kMaxDepth = 32;
// More dashes than this along one run draw it continuous (the pattern is invisible anyway).
constexpr double kMaxDashesPerRun = 100000;

bool trueColorOf(const Frame& f, std::uint32_t& rgb) {
  for (const auto& g : f.extras())
    for (const auto& t : g.tags)
      if (t.code == 420) {
        rgb = static_cast<std::uint32_t>(t.asInt()) & 0xFFFFFF;
        return true;
      }
  return false;
}

std::size_t entityCount(const Document& doc) {
  std::size_t n = 0;
  for (const auto& b : doc.blocks) n += b.entities.size();
  return n;
}

RegenKey keyOf(const Document& doc, const DrawingState& st) {
  RegenKey k;
  k.quality = quality();
  k.quickText = doc.header.quickText;
  k.ltscale = doc.header.ltscale;
  k.generation = st.generation;
  k.entities = entityCount(doc);
  k.space = st.layout;
  return k;
}

// Releases before 13 keep a viewport's view in its extended data (application "ACAD", a
// "MVIEW" group): target, direction, twist, height, centre, then the frozen layers' names.
bool oldViewportView(const Frame& f, ViewportView& v, std::vector<std::string>& frozen) {
  const auto& x = f.xdata();
  std::size_t i = 0;
  while (i < x.size() && !(x[i].code == 1001 && x[i].text == "ACAD")) ++i;
  if (i + 3 >= x.size() || x[i + 1].code != 1000 || x[i + 1].text != "MVIEW") return false;
  std::vector<double> nums;
  int depth = 0;
  for (i += 2; i < x.size(); ++i) {
    const Tag& t = x[i];
    if (t.code == 1001) break;
    if (t.code == 1002) {
      depth += t.text == "{" ? 1 : -1;
      if (depth <= 0) break;
    } else if (depth == 1 && t.code >= 1010 && t.code <= 1040) {
      nums.push_back(t.asReal());
    } else if (depth == 2 && t.code == 1003) {
      frozen.push_back(t.text);
    }
  }
  if (nums.size() < 10) return false;
  for (double n : nums)
    if (!std::isfinite(n)) return false;
  v.view.target = {nums[0], nums[1], nums[2]};
  Vec3 dir{nums[3], nums[4], nums[5]};
  v.view.direction = length(dir) > 0 ? dir : Vec3{0, 0, 1};
  v.view.twist = nums[6] * M_PI / 180;
  if (nums[7] > 0) v.view.height = nums[7];
  v.view.center = {nums[8], nums[9]};
  v.view.width = v.view.height * v.width / v.height;
  return true;
}

}  // namespace

std::size_t Walk::maxPoints = 16'000'000;
std::size_t Walk::maxVisits = 50'000'000;

void setRegenLimits(std::size_t points, std::size_t visits) {
  Walk::maxPoints = points;
  Walk::maxVisits = visits;
}

void DisplayList::clearContents() {
  items.rewind();
  pts.clear();
  flat.rewind();
  rings.clear();
  ttf.clear();
  images.clear();
  ole.clear();
}

void DisplayList::clear() {
  items.clear();
  pts.clear();
  flat.clear();
  rings.clear();
  ttf.clear();
  images.clear();
  ole.clear();
  oleNames.clear();
  lo = {1e300, 1e300, 1e300};
  hi = {-1e300, -1e300, -1e300};
}

Walk::Walk(const Document& doc, DrawingState& st, DrawSink* sink) : doc_(doc), st_(st), sink_(sink) {
  ltscale_ = doc.header.ltscale > 0 && std::isfinite(doc.header.ltscale) ? doc.header.ltscale : 1;
  for (const auto& e : doc.linetypes.entries) {
    const Linetype& lt = e.rec;
    Pattern p;
    bool any = false;
    std::vector<int> index;  // of each stored dash in the pattern, -1 skipped
    for (const auto& d : lt.dashes) {
      index.push_back(std::isfinite(d.length) ? static_cast<int>(p.dashes.size()) : -1);
      if (!std::isfinite(d.length)) continue;
      p.dashes.push_back(d.length);
      p.length += std::fabs(d.length);
      any = any || d.length < 0;
    }
    // A pattern without gaps draws as a continuous line.
    if (!any || !(p.length > 0)) p = Pattern{};
    else readDashShapes(doc, lt, p, index);
    linetypeIndex_.emplace(lt.name, p.dashes.empty() ? -1 : static_cast<int>(patterns_.size()));
    if (!p.dashes.empty()) patterns_.push_back(std::move(p));
  }
  st.layers.clear();
  for (const auto& e : doc.layers.entries) {
    const Layer& l = e.rec;
    if (layerIndex_.count(l.name)) continue;
    LayerInfo info;
    info.name = l.name;
    info.handle = e.frame.handle;
    info.color = static_cast<std::int16_t>(std::abs(static_cast<int>(l.color)));
    if (info.color == 0 || info.color > 255) info.color = 7;
    info.hasRgb = trueColorOf(e.frame, info.rgb);
    auto lt = linetypeIndex_.find(l.linetype);
    info.linetype = lt == linetypeIndex_.end() ? -1 : lt->second;
    info.lineweight = l.lineweight;
    layerIndex_.emplace(l.name, static_cast<int>(st.layers.size()));
    layerOn_.push_back(l.color >= 0);
    layerFrozen_.push_back((l.flags & 1) != 0);
    info.visible = l.color >= 0 && !(l.flags & 1);
    st.layers.push_back(std::move(info));
  }
  if (!layerIndex_.count("0")) {
    LayerInfo zero;
    zero.name = "0";
    layerIndex_.emplace("0", static_cast<int>(st.layers.size()));
    st.layers.push_back(zero);
    layerOn_.push_back(true);
    layerFrozen_.push_back(false);
  }
  for (const auto& b : doc.blocks) blocks_.emplace(b.name(), &b);
  for (const auto& s : doc.styles.entries) {
    styles_.emplace(s.rec.name, &s.rec);
    if (s.frame.xdata().empty()) continue;
    StyleTtfInfo info = styleTtfInfo(s.frame.xdata());
    if (!info.family.empty() || info.bold || info.italic) families_.emplace(s.rec.name, std::move(info));
  }
  defaultStyle_.name = "STANDARD";
}

Walk::~Walk() = default;

const TextStyle& Walk::style(std::string_view name) {
  auto it = styles_.find(name);
  if (it != styles_.end()) return *it->second;
  it = styles_.find(std::string_view("STANDARD"));
  return it != styles_.end() ? *it->second : defaultStyle_;
}

void Walk::ttfOptions(std::string_view style, TextLayoutOptions& opt) const {
  if (families_.empty()) return;
  auto it = families_.find(style);
  if (it == families_.end()) return;
  opt.ttfFamily = it->second.family;
  opt.ttfBold = it->second.bold;
  opt.ttfItalic = it->second.italic;
}

const Object* Walk::object(Handle h) {
  if (!objectsIndexed_) {
    for (const auto& o : doc_.objects) objects_.emplace(o.frame.handle.v, &o);
    objectsIndexed_ = true;
  }
  auto it = objects_.find(h.v);
  return it == objects_.end() ? nullptr : it->second;
}

void Walk::space(const Block& b, DisplayList& out, bool layout, std::size_t from, std::size_t to) {
  out_ = &out;
  layout_ = layout;
  Attr top;
  Affine id;
  // A streamed list is handed on at about one block of points or items.
  constexpr std::size_t kStreamAt = BlockStore<Vec2>::kBlock / 2;
  to = std::min(to, b.entities.size());
  for (std::size_t i = from; i < to; ++i) {
    if (aborted_) break;
    entity(b.entities[i], id, top, false, 0);
    if (stream_ && out.flat.size() + out.pts.size() + out.items.size() > kStreamAt) {
      (*stream_)(out);
      out.clearContents();
    }
  }
  if (stream_) {
    (*stream_)(out);
    out.clearContents();
  }
  layout_ = false;
}

namespace {

bool hasLooseBox(const Entity& e) { return e.is<Circle>() || e.is<Arc>() || e.is<LwPolyline>() || e.is<Text>(); }

// Only entities lying in the drawing's plane (their points are then their own coordinates).
bool plainNormal(Vec3 n) { return n.x == 0 && n.y == 0 && n.z > 0 && std::isfinite(n.z); }

void disc(Vec3 c, double r, Vec3& lo, Vec3& hi) {
  // Tessellated points sit on the circle to within rounding.
  const double pad = 1e-9 * (std::fabs(r) + std::fabs(c.x) + std::fabs(c.y));
  r = std::fabs(r) + pad;
  lo = {std::min(lo.x, c.x - r), std::min(lo.y, c.y - r), std::min(lo.z, c.z)};
  hi = {std::max(hi.x, c.x + r), std::max(hi.y, c.y + r), std::max(hi.z, c.z)};
}

bool inside(Vec3 lo, Vec3 hi, Vec3 inLo, Vec3 inHi) {
  // Written so that a NaN anywhere answers no.
  return lo.x >= inLo.x && lo.y >= inLo.y && lo.z >= inLo.z && hi.x <= inHi.x && hi.y <= inHi.y && hi.z <= inHi.z;
}

}  // namespace

bool Walk::looseBox(const Entity& e, const Attr& a, Vec3& lo, Vec3& hi) {
  // Shapes and texts of a complex linetype stand off the line.
  if (a.linetype >= 0 && static_cast<std::size_t>(a.linetype) < patterns_.size() &&
      !patterns_[static_cast<std::size_t>(a.linetype)].shapes.empty())
    return false;
  lo = {1e300, 1e300, 1e300}, hi = {-1e300, -1e300, -1e300};
  if (const auto* c = e.as<Circle>()) {
    if (!plainNormal(c->normal) || c->thickness != 0 || !(c->radius > 0) || !finite(c->center)) return false;
    disc(c->center, c->radius, lo, hi);
    return true;
  }
  if (const auto* c = e.as<Arc>()) {
    if (!plainNormal(c->normal) || c->thickness != 0 || !(c->radius > 0) || !finite(c->center)) return false;
    disc(c->center, c->radius, lo, hi);
    return true;
  }
  if (const auto* p = e.as<LwPolyline>()) {
    if (!plainNormal(p->normal) || p->thickness != 0 || p->constWidth != 0 || !std::isfinite(p->elevation)) return false;
    const std::size_t n = p->vertices.size();
    for (std::size_t i = 0; i < n; ++i) {
      const auto& v = p->vertices[i];
      if (v.startWidth != 0 || v.endWidth != 0) return false;
      disc({v.p.x, v.p.y, p->elevation}, 0, lo, hi);
      Vec3 c;
      // A bulge's arc lies on the circle through its ends.
      if (std::isfinite(v.bulge) && bulgeCentre(v.p, p->vertices[(i + 1) % n].p, v.bulge, c)) {
        c.z = p->elevation;
        disc(c, std::hypot(v.p.x - c.x, v.p.y - c.y), lo, hi);
      }
    }
    return n > 0;
  }
  if (const auto* t = e.as<Text>()) {
    if (!plainNormal(t->normal) || !std::isfinite(t->height) || !finite(t->insert)) return false;
    TextLayoutOptions opt;
    opt.quickText = quickText();
    ttfOptions(t->style, opt);
    Vec2 c;
    double r;
    if (!looseTextDisc(*t, t->valign, style(t->style), fonts(), opt, c, r)) return false;
    disc({c.x, c.y, t->insert.z}, r, lo, hi);
    return true;
  }
  return false;
}

void Walk::boundsRange(const Block& b, DisplayList& out, std::size_t from, std::size_t to, int pass, Vec3 innerLo,
                       Vec3 innerHi) {
  out_ = &out;
  layout_ = false;
  Attr top;
  Affine id;
  to = std::min(to, b.entities.size());
  for (std::size_t i = from; i < to && !aborted_; ++i) {
    const Entity& e = b.entities[i];
    const bool loose = hasLooseBox(e);
    if (pass == 0) {
      if (!loose) entity(e, id, top, false, 0);
    } else if (loose) {
      Attr a;
      Vec3 lo, hi;
      if (!resolve(e.common, e.frame, top, false, false, a)) continue;  // not drawn at all
      if (looseBox(e, a, lo, hi)) {
        Vec3 inLo{std::min(innerLo.x, out.lo.x), std::min(innerLo.y, out.lo.y), std::min(innerLo.z, out.lo.z)};
        Vec3 inHi{std::max(innerHi.x, out.hi.x), std::max(innerHi.y, out.hi.y), std::max(innerHi.z, out.hi.z)};
        if (inside(lo, hi, inLo, inHi)) continue;
      }
      entity(e, id, top, false, 0);
    }
    // Only bounds are kept; what else piles up (TrueType runs) is let go now and then.
    if (out.items.size() + out.pts.size() > BlockStore<Vec2>::kBlock / 2) out.clearContents();
  }
}

bool Walk::resolve(const EntityCommon& c, const Frame& f, const Attr& parent, bool inBlock, bool isInsert, Attr& a) {
  if (c.invisible) return false;
  // Neighbouring entities mostly share a layer: compare with the last name before hashing.
  int li;
  if (lastLayerIdx_ >= 0 && c.layer == lastLayerName_) {
    li = lastLayerIdx_;
  } else {
    auto it = layerIndex_.find(std::string_view(c.layer));
    li = it == layerIndex_.end() ? layerIndex_.find(std::string_view("0"))->second : it->second;
    lastLayerName_ = c.layer;
    lastLayerIdx_ = li;
  }
  // Entities of a block on layer "0" take the layer of the insert.
  if (inBlock && c.layer == "0") li = parent.layer;
  if (layerFrozen_[li]) return false;
  // An insert on a layer that is off still shows what lies on other layers.
  if (!layerOn_[li] && !isInsert) return false;
  const LayerInfo& L = st_.layers[li];
  a.layer = static_cast<std::uint16_t>(std::min(li, 65535));
  a.topLayer = inBlock ? parent.topLayer : a.layer;
  // Colour.
  a.hasRgb = false;
  std::uint32_t rgb;
  int col = c.color;
  if (trueColorOf(f, rgb) && col != 0 && col != 256) {
    a.color = static_cast<std::int16_t>(std::clamp(std::abs(col), 1, 255));
    a.hasRgb = true, a.rgb = rgb;
  } else if (col == 256) {
    a.color = L.color;
    a.hasRgb = L.hasRgb, a.rgb = L.rgb;
  } else if (col == 0) {
    a.color = parent.color;
    a.hasRgb = parent.hasRgb, a.rgb = parent.rgb;
  } else {
    col = std::abs(col);
    a.color = static_cast<std::int16_t>(col > 255 ? 7 : col);
  }
  // Linetype.
  const std::string& lt = c.linetype;
  if (lt.empty() || sameName(lt, "BYLAYER")) a.linetype = L.linetype;
  else if (sameName(lt, "BYBLOCK")) a.linetype = parent.linetype;
  else {
    auto t = linetypeIndex_.find(std::string_view(lt));
    a.linetype = t == linetypeIndex_.end() ? -1 : t->second;
  }
  double s = c.ltscale > 0 && std::isfinite(c.ltscale) ? c.ltscale : 1;
  a.ltscale = parent.ltscale * s;
  // Lineweight.
  int lw = c.lineweight;
  if (lw == -1) lw = L.lineweight == -2 || L.lineweight == -1 ? -3 : L.lineweight;
  else if (lw == -2) lw = parent.lineweight;
  a.lineweight = static_cast<std::int16_t>(lw < -3 || lw > 211 ? -3 : lw);
  a.plinegen = true;
  return true;
}

void Walk::entity(const Entity& e, const Affine& m, const Attr& parent, bool inBlock, int depth) {
  if (depth > kMaxDepth) return;
  if (out_->pts.size() + out_->flat.size() > pointLimit_ || ++visits_ > visitLimit_) {
    aborted_ = true;
    return;
  }
  // The viewer's abort is asked now and then, not for every entity.
  if ((visits_ & 1023) == 0 && sink_ && sink_->cancelled()) {
    aborted_ = cancelled_ = true;
    return;
  }
  const auto* ins = e.as<Insert>();
  Attr a;
  if (!resolve(e.common, e.frame, parent, inBlock, ins != nullptr, a)) return;
  if (ins) return insert(e, *ins, m, a, depth);
  if (const auto* dim = e.as<Dimension>()) {
    // A dimension shows its anonymous block, placed by nothing but its own normal's plane.
    if (!dim->block.empty()) blockRef(dim->block, m, a, depth + 1);
    dimensionText(*dim, m, a);
    return;
  }
  if (const auto* vp = e.as<Viewport>()) {
    if (!layout_ || inBlock) return;
    if (vp->id == 1) return;
    double hw = vp->width / 2, hh = vp->height / 2;
    if (!(hw > 0 && hh > 0) || !std::isfinite(hw + hh)) return;
    Vec3 c = vp->center;
    Vec3 r[5] = {{c.x - hw, c.y - hh, c.z}, {c.x + hw, c.y - hh, c.z}, {c.x + hw, c.y + hh, c.z},
                 {c.x - hw, c.y + hh, c.z}, {c.x - hw, c.y - hh, c.z}};
    polyline(r, 5, a);
    if (vp->status == 0) return;
    ViewportView v;
    v.center = c;
    v.width = vp->width;
    v.height = vp->height;
    v.view.target = vp->viewTarget;
    v.view.direction = length(vp->viewDirection) > 0 ? vp->viewDirection : Vec3{0, 0, 1};
    v.view.twist = vp->twist * M_PI / 180;
    v.view.center = vp->viewCenter;
    v.view.height = vp->viewHeight > 0 && std::isfinite(vp->viewHeight) ? vp->viewHeight : vp->height;
    v.view.width = v.view.height * vp->width / vp->height;
    for (Handle h : vp->frozenLayers)
      for (std::size_t i = 0; i < st_.layers.size(); ++i)
        if (st_.layers[i].handle == h) v.frozen.push_back(static_cast<std::uint16_t>(std::min<std::size_t>(i, 65535)));
    if (doc_.release < Release::R13) {
      std::vector<std::string> names;
      if (oldViewportView(e.frame, v, names))
        for (const auto& n : names)
          if (auto li = layerIndex_.find(std::string_view(n)); li != layerIndex_.end())
            v.frozen.push_back(static_cast<std::uint16_t>(std::min(li->second, 65535)));
    }
    st_.viewports.push_back(std::move(v));
    return;
  }
  drawEntity(*this, e, m, a, inBlock);
}

void Walk::blockRef(const std::string& name, const Affine& m, const Attr& a, int depth) {
  auto it = blocks_.find(std::string_view(name));
  if (it == blocks_.end()) return;
  for (const auto& e : it->second->entities) {
    if (aborted_) return;
    entity(e, m, a, true, depth);
  }
}

namespace {

double headerReal(const Header& h, std::string_view name, double fallback) {
  for (const auto& v : h.all)
    if (v.name == name && !v.tags.empty()) {
      bool ok = false;
      double d = v.tags.front().asReal(&ok);
      if (ok && std::isfinite(d)) return d;
    }
  return fallback;
}

double angleBetween(Vec3 u, Vec3 v) {
  const double lu = length(u), lv = length(v);
  if (!(lu > 0 && lv > 0)) return 0;
  return std::acos(std::clamp(dot(u, v) / (lu * lv), -1.0, 1.0));
}

// What a dimension measures: the value the file keeps, else (releases before 13 keep none)
// what its definition points give.
double measured(const Dimension& d) {
  if (std::isfinite(d.measurement) && d.measurement != 0) return d.measurement;
  switch (d.kind()) {
    case 0: {
      const double a = std::isfinite(d.angle) ? d.angle * M_PI / 180 : 0;
      return std::fabs((d.p14.x - d.p13.x) * std::cos(a) + (d.p14.y - d.p13.y) * std::sin(a));
    }
    case 1: return length(d.p14 - d.p13);
    case 2: return angleBetween(d.p14 - d.p13, d.p15 - d.defPoint);
    case 3:
    case 4: return length(d.p15 - d.defPoint);
    case 5: return angleBetween(d.p13 - d.p15, d.p14 - d.p15);
    case 6: return std::fabs((d.type & 64) ? d.p13.x - d.defPoint.x : d.p13.y - d.defPoint.y);
    default: return d.measurement;
  }
}

}  // namespace

// Some programs write a dimension's block without its text and leave the measurement to the
// reader; mainstream CAD shows it then, so it is shown here too, at the text point.
void Walk::dimensionText(const Dimension& dim, const Affine& m, const Attr& a) {
  if (dim.block.empty()) return;
  auto it = blocks_.find(std::string_view(dim.block));
  if (it == blocks_.end()) return;
  for (const auto& e : it->second->entities)
    if (e.as<Text>() || e.as<MText>()) return;
  const int kind = dim.kind();
  // Only in the plane of the drawing: the text point of a dimension elsewhere is in its own plane.
  const double measure = measured(dim);
  if (kind > 6 || !std::isfinite(measure) || !(dim.normal.x == 0 && dim.normal.y == 0 && dim.normal.z > 0)) return;
  MText t;
  std::string value;
  if (kind == 2 || kind == 5) {
    value = std::to_string(static_cast<long long>(std::llround(measure * 180 / M_PI))) + "%%d";
  } else {
    const int places = std::clamp(static_cast<int>(headerReal(doc_.header, "$DIMDEC", 4)), 0, 8);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", places, measure);
    value = buf;
    if (kind == 3) value = "%%c" + value;
    if (kind == 4) value = "R" + value;
  }
  if (dim.text == " ") return;  // suppressed on purpose
  t.text = dim.text.empty() ? value : dim.text;
  if (auto at = t.text.find("<>"); at != std::string::npos) t.text.replace(at, 2, value);
  const double scale = headerReal(doc_.header, "$DIMSCALE", 1);
  t.height = headerReal(doc_.header, "$DIMTXT", 0.18) * (scale > 0 ? scale : 1);
  if (!(t.height > 0)) return;
  t.insert = dim.textMid;
  t.attachment = 5;
  // Along the dimension line for linear and aligned ones, else level.
  double rot = 0;
  if (dim.textRotation != 0 && std::isfinite(dim.textRotation)) rot = dim.textRotation * M_PI / 180;
  else if (kind == 0 && std::isfinite(dim.angle)) rot = dim.angle * M_PI / 180;
  else if (kind == 1) rot = std::atan2(dim.p14.y - dim.p13.y, dim.p14.x - dim.p13.x);
  if (rot > M_PI / 2 + 1e-9) rot -= M_PI;
  if (rot < -M_PI / 2 - 1e-9) rot += M_PI;
  t.rotation = rot;
  t.xDirection = {std::cos(rot), std::sin(rot), 0};
  drawMText(*this, t, m, a);
}

void Walk::insert(const Entity& e, const Insert& ins, const Affine& m, const Attr& a, int depth) {
  auto it = blocks_.find(std::string_view(ins.block));
  if (it != blocks_.end()) {
    const Block& b = *it->second;
    Vec3 base = b.begin.base;
    double sx = std::isfinite(ins.sx) ? ins.sx : 1, sy = std::isfinite(ins.sy) ? ins.sy : 1,
           sz = std::isfinite(ins.sz) ? ins.sz : 1;
    double rot = std::isfinite(ins.rotation) ? ins.rotation * M_PI / 180 : 0;
    double c = std::cos(rot), s = std::sin(rot);
    int cols = std::max<int>(1, ins.columns), rows = std::max<int>(1, ins.rows);
    // A million copies is more than any screen shows; larger arrays lose rows.
    if (static_cast<long>(cols) * rows > 1'000'000) rows = std::max(1, 1'000'000 / cols);
    Affine ocs = m * ocsToWorld(ins.normal);
    for (int r = 0; r < rows && !aborted_; ++r) {
      for (int k = 0; k < cols && !aborted_; ++k) {
        double ox = k * ins.columnSpacing, oy = r * ins.rowSpacing;
        if (!std::isfinite(ox)) ox = 0;
        if (!std::isfinite(oy)) oy = 0;
        // OCS ∘ move to the insertion point ∘ rotate ∘ array offset ∘ scale ∘ from the base.
        Affine local;
        local.m[0][0] = c * sx, local.m[0][1] = -s * sy, local.m[0][2] = 0;
        local.m[1][0] = s * sx, local.m[1][1] = c * sy, local.m[1][2] = 0;
        local.m[2][0] = 0, local.m[2][1] = 0, local.m[2][2] = sz;
        double tx = ox - (sx * base.x), ty = oy - (sy * base.y);
        local.m[0][3] = ins.insert.x + c * tx - s * ty;
        local.m[1][3] = ins.insert.y + s * tx + c * ty;
        local.m[2][3] = ins.insert.z - sz * base.z;
        Affine full = ocs * local;
        Attr inner = a;
        inner.ltscale = a.ltscale * full.planarScale() / m.planarScale();
        for (const auto& be : b.entities) {
          if (aborted_) break;
          entity(be, full, inner, true, depth + 1);
        }
      }
    }
  }
  // Attribute values follow the insert in its own space, not in the block's.
  for (const auto& at : ins.attribs) {
    if (at.data.flags & 1) continue;
    Attr aa;
    if (!resolve(at.common, at.frame, a, true, false, aa)) continue;
    drawText(*this, e, at.data, at.data.valign, std::string(), m, aa);
  }
}

// --- output --------------------------------------------------------------------------------

Item& Walk::add(ItemKind k, const Attr& a, std::size_t first, std::size_t count) {
  Item it;
  it.kind = k;
  it.color = a.color;
  it.trueColor = a.hasRgb ? 1 : 0;
  it.rgb = a.rgb;
  it.lineweight = a.lineweight;
  it.layer = a.layer;
  it.topLayer = a.topLayer;
  it.first = static_cast<std::uint32_t>(first);
  it.count = static_cast<std::uint32_t>(count);
  return out_->items.push_back(it);
}

// Copies points into the list (the flat one when they all lie at z = 0) and widens its box;
// false (nothing kept) for a broken point, or when only the bounds are wanted.
bool Walk::append(const Vec3* p, std::size_t n, std::size_t& first, bool& flat) {
  Vec3 lo = out_->lo, hi = out_->hi;
  double bad = 0;
  bool planar = true;
  for (std::size_t i = 0; i < n; ++i) {
    const Vec3& q = p[i];
    bad += (q.x - q.x) + (q.y - q.y) + (q.z - q.z);  // NaN for any infinity or NaN
    planar = planar && q.z == 0;
    lo.x = q.x < lo.x ? q.x : lo.x, hi.x = q.x > hi.x ? q.x : hi.x;
    lo.y = q.y < lo.y ? q.y : lo.y, hi.y = q.y > hi.y ? q.y : hi.y;
    lo.z = q.z < lo.z ? q.z : lo.z, hi.z = q.z > hi.z ? q.z : hi.z;
  }
  if (bad != 0 || bad != bad) return false;
  out_->lo = lo, out_->hi = hi;
  if (boundsOnly_) return false;  // nothing will read the points
  flat = planar;
  if (planar) {
    Vec2* v = out_->flat.append(n, first);
    for (std::size_t i = 0; i < n; ++i) v[i] = {p[i].x, p[i].y};
  } else {
    first = out_->pts.size();
    out_->pts.insert(out_->pts.end(), p, p + n);
  }
  return true;
}

void Walk::flatPolyline(const Vec2* p, std::size_t n, const double (&m)[6], const Attr& a) {
  if (n == 0) return;
  thread_local std::vector<Vec2> mapped;
  if (mapped.size() < n) mapped.resize(n + 64);
  Vec3 lo = out_->lo, hi = out_->hi;
  double bad = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = m[0] * p[i].x + m[1] * p[i].y + m[2];
    const double y = m[3] * p[i].x + m[4] * p[i].y + m[5];
    bad += (x - x) + (y - y);
    lo.x = x < lo.x ? x : lo.x, hi.x = x > hi.x ? x : hi.x;
    lo.y = y < lo.y ? y : lo.y, hi.y = y > hi.y ? y : hi.y;
    mapped[i] = {x, y};
  }
  if (bad != 0 || bad != bad) return;
  lo.z = 0 < lo.z ? 0 : lo.z, hi.z = 0 > hi.z ? 0 : hi.z;
  out_->lo = lo, out_->hi = hi;
  if (boundsOnly_) return;
  std::size_t first;
  Vec2* v = out_->flat.append(n, first);
  std::copy(mapped.begin(), mapped.begin() + static_cast<std::ptrdiff_t>(n), v);
  add(ItemKind::Polyline, a, first, n).flat = 1;
}

void Walk::polyline(const Vec3* p, std::size_t n, const Attr& a, const std::uint32_t* runs, std::size_t nruns) {
  if (n == 0) return;
  if (a.linetype >= 0 && static_cast<std::size_t>(a.linetype) < patterns_.size()) {
    const Pattern& pat = patterns_[a.linetype];
    double scale = ltscale_ * a.ltscale;
    if (!runs || nruns == 0) return dashRun(p, n, a, pat, scale);
    std::size_t start = 0;
    for (std::size_t r = 0; r <= nruns; ++r) {
      std::size_t end = r < nruns ? std::min<std::size_t>(runs[r], n - 1) : n - 1;
      if (end > start) dashRun(p + start, end - start + 1, a, pat, scale);
      start = end;
    }
    return;
  }
  std::size_t first;
  bool flat;
  if (append(p, n, first, flat)) add(ItemKind::Polyline, a, first, n).flat = flat;
}

void Walk::dashRun(const Vec3* p, std::size_t n, const Attr& a, const Pattern& pat, double scale) {
  double total = 0;
  for (std::size_t i = 1; i < n; ++i) total += length(p[i] - p[i - 1]);
  double patLen = pat.length * scale;
  Attr solid = a;
  solid.linetype = -1;
  if (!(patLen > 0) || !std::isfinite(patLen) || total / patLen > kMaxDashesPerRun || !(total > 0))
    return polyline(p, n, solid);
  std::size_t k = 0;
  double left = std::fabs(pat.dashes[0]) * scale;
  bool on = pat.dashes[0] >= 0;
  Vec3 dir{1, 0, 0};
  for (std::size_t i = 1; i < n; ++i)
    if (length(p[i] - p[i - 1]) > 0) {
      dir = unit(p[i] - p[i - 1]);
      break;
    }
  // Shapes and texts sit where their element starts.
  auto embed = [&](std::size_t at, Vec3 q) {
    if (pat.shapeOf.empty() || pat.shapeOf[at] < 0) return;
    drawDashShape(*this, pat.shapes[static_cast<std::size_t>(pat.shapeOf[at])], q, dir, scale, solid);
  };
  auto flush = [&] {
    if (dash_.size() >= 2) polyline(dash_.data(), dash_.size(), solid);
    dash_.clear();
  };
  auto next = [&](Vec3 at) {
    // Zero-length entries are dots; several in a row each leave one.
    for (std::size_t guard = 0; guard <= pat.dashes.size(); ++guard) {
      k = (k + 1) % pat.dashes.size();
      embed(k, at);
      double d = pat.dashes[k];
      if (d == 0) {
        point(at, solid);
        continue;
      }
      left = std::fabs(d) * scale;
      on = d > 0;
      return;
    }
    left = patLen, on = false;
  };
  dash_.clear();
  embed(0, p[0]);
  if (pat.dashes[0] == 0) {
    point(p[0], solid);
    next(p[0]);
  }
  if (on) dash_.push_back(p[0]);
  for (std::size_t i = 1; i < n; ++i) {
    Vec3 a0 = p[i - 1], d = p[i] - p[i - 1];
    double segLen = length(d), t = 0;
    if (!(segLen > 0)) continue;
    dir = d * (1 / segLen);
    while (segLen - t > left) {
      t += left;
      Vec3 q = a0 + d * (t / segLen);
      if (on) {
        dash_.push_back(q);
        flush();
      }
      next(q);
      if (on) dash_.push_back(q);
    }
    left -= segLen - t;
    if (on) dash_.push_back(p[i]);
  }
  if (on) flush();
  dash_.clear();
}

void Walk::polygon(const Vec3* p, std::size_t n, const Attr& a) {
  if (n < 3) return polyline(p, n, a);
  std::size_t first;
  bool flat;
  if (append(p, n, first, flat)) add(ItemKind::Polygon, a, first, n).flat = flat;
}

void Walk::rings(const Vec3* p, const int* counts, int nrings, const Attr& a) {
  std::size_t total = 0;
  for (int r = 0; r < nrings; ++r) total += static_cast<std::size_t>(counts[r]);
  std::size_t first, ring0 = out_->rings.size();
  bool flat;
  if (!append(p, total, first, flat)) return;
  out_->rings.insert(out_->rings.end(), counts, counts + nrings);
  Item& it = add(ItemKind::PolyPolygon, a, first, total);
  it.flat = flat;
  it.aux = static_cast<std::uint32_t>(ring0);
  it.auxCount = static_cast<std::uint32_t>(nrings);
}

void Walk::point(Vec3 p, const Attr& a) {
  if (!finite(p)) return;
  std::size_t first = out_->pts.size();
  out_->pts.push_back(p);
  out_->pts.push_back(p);
  out_->grow(p);
  add(ItemKind::Polyline, a, first, 2);
}

void Walk::infinite(Vec3 p, Vec3 dir, bool ray, const Attr& a) {
  if (!finite(p) || !finite(dir) || !(length(dir) > 0)) return;
  std::size_t first = out_->pts.size();
  out_->pts.push_back(p);
  out_->pts.push_back(unit(dir));
  out_->grow(p);
  Attr solid = a;
  add(ray ? ItemKind::Ray : ItemKind::XLine, solid, first, 2);
}

// --- regeneration ------------------------------------------------------------------------------

namespace {
bool g_keepLists = true;
}  // namespace

const std::function<void(DisplayList&)>& boundsOnlyStream() {
  static const std::function<void(DisplayList&)> discard = [](DisplayList&) {};
  return discard;
}

void setKeepDisplayLists(bool keep) { g_keepLists = keep; }
bool keepDisplayLists() { return g_keepLists; }


void regenerate(AdDrawing, const Document& doc, DrawingState& st, DrawSink* sink,
                const std::function<void(DisplayList&)>* stream) {
  st.space.clear();
  st.spaceMore.clear();
  st.model.clear();
  st.viewports.clear();
  st.ttfAsked = false;
  st.pointViewHeight = 0;
  st.boundsOnly = false;
  const Block* model = doc.findBlock(kModelSpace);
  // Without kept lists only the bounds of model space stay (nothing to emit, or emitted as walked).
  const auto* discard = &boundsOnlyStream();
  if (!stream && !keepDisplayLists() && st.layout.empty()) stream = discard;
  bool full = false;
  // Nothing but bounds, and nobody to ask about fonts or cancelling: every core can walk.
  if (st.layout.empty() && stream == discard && !sink && model && parallelBounds(doc, st, *model, full)) {
    st.boundsOnly = true;
    st.key = keyOf(doc, st);
    st.valid = true;
    st.builtWithSink = false;
    (void)full;  // without a sink nobody hears the warning
    return;
  }
  bool cancelled = false;
  if (st.layout.empty() && !stream && model && parallelKept(doc, st, sink, *model, full, cancelled)) {
    if (full && !cancelled && sink) sink->warning("The drawing is too large to show completely.");
    st.key = keyOf(doc, st);
    st.valid = !cancelled;
    st.builtWithSink = sink != nullptr;
    return;
  }
  Walk w(doc, st, sink);
  if (st.layout.empty()) {
    w.streamTo(stream, stream == discard);
    st.boundsOnly = stream != nullptr;
    if (model) w.space(*model, st.space, false);
  } else if (const Block* b = doc.findBlock(st.layout)) {
    w.space(*b, st.space, true);
    if (!st.viewports.empty() && model) w.space(*model, st.model, false);
  }
  if (w.full() && !w.cancelled() && sink) sink->warning("The drawing is too large to show completely.");
  st.key = keyOf(doc, st);
  // A cancelled regeneration is shown as far as it got and done again next time.
  st.valid = !w.cancelled();
  st.builtWithSink = sink != nullptr;
}

void ensureRegen(AdDrawing d, DrawingState& st, DrawSink* sink) {
  const Document* doc = adDocument(d);
  if (!doc) return;
  bool stale = !st.valid || !(st.key == keyOf(*doc, st)) || (sink && !st.builtWithSink && st.ttfAsked) ||
               (st.pointViewHeight > 0 && st.view.height != st.pointViewHeight) ||
               (st.boundsOnly && keepDisplayLists());
  if (stale) regenerate(d, *doc, st, sink);
}

}  // namespace kelvaro::cad::vec
