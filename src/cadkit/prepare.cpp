// Turns a drawing into what an older release can hold: newer entities become their closest
// older equivalents, what has none is left out and reported; R13 and later get the block
// records, dictionaries and layouts their structure needs.
#include <cmath>
#include <utility>
#include <set>

#include "cadkit/dxf_io.h"
#include "cadkit/geometry.h"

namespace kelvaro::cad {
namespace {

Vertex vertexAt(Vec3 p, bool is3d, const EntityCommon& c, double bulge = 0) {
  Vertex v;
  v.common = c;
  v.data.location = p;
  v.data.bulge = bulge;
  v.data.flags = is3d ? 32 : 0;
  return v;
}

// A polyline through points in world coordinates (3D when the release has 3D polylines).
Polyline worldPolyline(const std::vector<Vec3>& pts, bool closed, const EntityCommon& c, Release rel) {
  Polyline p;
  bool is3d = rel >= Release::R10;
  p.flags = static_cast<std::int16_t>((closed ? 1 : 0) | (is3d ? 8 : 0));
  for (const Vec3& q : pts) p.vertices.push_back(vertexAt(is3d ? q : Vec3{q.x, q.y, 0}, is3d, c));
  p.seqend.common = c;
  return p;
}

std::string plainMText(const std::string& s, std::vector<std::string>& lines) {
  std::string cur;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '{' || c == '}') continue;
    if (c != '\\' || i + 1 >= s.size()) {
      cur += c;
      continue;
    }
    char k = s[++i];
    if (k == 'P') {
      lines.push_back(cur);
      cur.clear();
    } else if (k == '~') {
      cur += ' ';
    } else if (k == '\\' || k == '{' || k == '}') {
      cur += k;
    } else if (std::string_view("LlOoKk").find(k) != std::string_view::npos) {
      // underline/overline/strike toggles
    } else {
      std::size_t e = s.find(';', i);  // \f...; \H...; \C...; and the like
      if (e == std::string::npos) break;
      i = e;
    }
  }
  lines.push_back(cur);
  return {};
}

class Preparer {
 public:
  Preparer(Document& d, Release rel, SaveReport* rep) : d_(d), rel_(rel), rep_(rep) {}

  void run() {
    for (auto& b : d_.blocks) {
      std::vector<Entity> out;
      out.reserve(b.entities.size());
      bool paperBlock = b.name().size() >= 12 && sameName(b.name().substr(0, 12), kPaperSpace);
      if (paperBlock && rel_ < Release::R12 && !b.entities.empty()) {
        dropped("paper space entities", static_cast<int>(b.entities.size()));
        b.entities.clear();
      }
      if (paperBlock && rel_ < Release::R13 && !sameName(b.name(), kPaperSpace) && !b.entities.empty()) {
        dropped("entities of other layouts", static_cast<int>(b.entities.size()));
        b.entities.clear();
      }
      for (auto& e : b.entities) convert(e, out);
      b.entities = std::move(out);
    }
    forEachTable(d_, [&](auto& t) {
      using Rec = std::decay_t<decltype(t.entries.front().rec)>;
      if (!t.present && rel_ >= Rec::kSince) t.frame.handle = d_.newHandle(), t.present = true;
    });
    if (rel_ >= Release::R13) structure();
    if (rel_ >= Release::R12) appIds();
    if (rel_ < Release::R13) d_.objects.clear();
    d_.assignHandles();
  }

 private:
  void dropped(const std::string& what, int n = 1) {
    if (rep_) rep_->dropped[what] += n;
  }
  void converted(const std::string& what) {
    if (rep_) rep_->converted[what]++;
  }

  Entity like(const Entity& e, EntityData data) {
    Entity n;
    n.frame.handle = e.frame.handle;
    n.frame.tags = e.frame.tags;
    n.frame.appGroups().clear();
    n.frame.extras().clear();
    n.frame.embedded().clear();
    n.common = e.common;
    n.data = std::move(data);
    return n;
  }

  void convert(Entity& e, std::vector<Entity>& out) {
    const Release r = rel_;
    std::string type = typeName(e.data);
    if (auto* lw = e.as<LwPolyline>(); lw && r < Release::R14) {
      Polyline p;
      p.flags = static_cast<std::int16_t>(lw->flags & 1);
      p.elevation = {0, 0, lw->elevation};
      p.thickness = lw->thickness;
      p.normal = lw->normal;
      for (const auto& v : lw->vertices) {
        Vertex x = vertexAt({v.p.x, v.p.y, lw->elevation}, false, e.common, v.bulge);
        x.data.startWidth = lw->constWidth ? lw->constWidth : v.startWidth;
        x.data.endWidth = lw->constWidth ? lw->constWidth : v.endWidth;
        p.vertices.push_back(std::move(x));
      }
      p.seqend.common = e.common;
      out.push_back(like(e, std::move(p)));
      return converted("LWPOLYLINE -> POLYLINE");
    }
    if (auto* h = e.as<Hatch>(); h && r < Release::R14) {
      for (const auto& path : h->paths) {
        Polyline p;
        p.flags = 1;
        p.elevation = {0, 0, h->elevation.z};
        p.normal = h->normal;
        if (path.polyline()) {
          for (const auto& v : path.vertices)
            p.vertices.push_back(vertexAt({v.p.x, v.p.y, h->elevation.z}, false, e.common, v.bulge));
        } else {
          for (const auto& ed : path.edges)
            for (const Vec3& q : edgePoints(ed)) p.vertices.push_back(vertexAt({q.x, q.y, h->elevation.z}, false, e.common));
        }
        p.seqend.common = e.common;
        Entity n = like(e, std::move(p));
        if (!out.empty() || &path != &h->paths.front()) n.frame.handle = {};
        out.push_back(std::move(n));
      }
      return converted("HATCH -> POLYLINE (boundary only)");
    }
    if (r >= Release::R13) {
      if (auto* raw = e.as<RawEntity>(); raw && r < d_.release) return dropped(raw->type);
      out.push_back(std::move(e));
      return;
    }
    // Before R13 ------------------------------------------------------------------------------
    if (auto* el = e.as<Ellipse>()) {
      double span = el->endParam - el->startParam;
      bool full = std::fabs(std::fabs(span) - 2 * M_PI) < 1e-9 || span == 0;
      auto pts = ellipsePoints(el->center, el->majorAxis, el->ratio, el->normal, el->startParam,
                               full ? el->startParam + 2 * M_PI : el->endParam, 72);
      if (full) pts.pop_back();
      out.push_back(like(e, worldPolyline(pts, full, e.common, r)));
      return converted("ELLIPSE -> POLYLINE");
    }
    if (auto* sp = e.as<Spline>()) {
      auto pts = sp->control.empty() ? sp->fit : splinePoints(sp->degree, sp->knots, sp->control, sp->weights, 16);
      out.push_back(like(e, worldPolyline(pts, (sp->flags & 1) != 0, e.common, r)));
      return converted("SPLINE -> POLYLINE");
    }
    if (auto* ld = e.as<Leader>()) {
      out.push_back(like(e, worldPolyline(ld->vertices, false, e.common, r)));
      return converted("LEADER -> POLYLINE");
    }
    if (auto* ml = e.as<MLine>()) {
      std::vector<Vec3> pts;
      for (const auto& v : ml->vertices) pts.push_back(v.location);
      out.push_back(like(e, worldPolyline(pts, (ml->flags & 2) != 0, e.common, r)));
      return converted("MLINE -> POLYLINE");
    }
    if (auto* mt = e.as<MText>()) {
      std::vector<std::string> lines;
      plainMText(mt->text, lines);
      double rot = mt->rotation;
      // The model's x direction defaults to (1, 0, 0): a rotation-only MTEXT keeps its angle.
      const bool defaultDir = mt->xDirection == Vec3{1, 0, 0};
      if ((mt->xDirection.x != 0 || mt->xDirection.y != 0) && !(defaultDir && rot != 0))
        rot = std::atan2(mt->xDirection.y, mt->xDirection.x) * 180 / M_PI;
      int a = mt->attachment >= 1 && mt->attachment <= 9 ? mt->attachment - 1 : 0;
      double step = mt->height * 5.0 / 3.0 * (mt->spacingFactor > 0 ? mt->spacingFactor : 1);
      double rr = rot * M_PI / 180;
      for (std::size_t i = 0; i < lines.size(); ++i) {
        Text t;
        t.text = lines[i];
        t.height = mt->height;
        t.rotation = rot;
        t.style = mt->style;
        t.normal = mt->normal;
        double dy = -static_cast<double>(i) * step;
        t.insert = {mt->insert.x - dy * std::sin(rr), mt->insert.y + dy * std::cos(rr), mt->insert.z};
        t.halign = static_cast<std::int16_t>(a % 3);
        t.valign = static_cast<std::int16_t>(3 - a / 3);
        t.align = t.insert;
        Entity n = like(e, std::move(t));
        if (i) n.frame.handle = {};
        out.push_back(std::move(n));
      }
      return converted("MTEXT -> TEXT");
    }
    if (auto* vp = e.as<Viewport>()) {
      if (r < Release::R12) return dropped(type);
      mviewXData(e.frame, *vp);
    }
    if (e.is<Ray>() || e.is<XLine>() || e.is<Image>() || e.is<Ole2Frame>()) return dropped(type);
    // Entities kept as read (SHAPE, 3DLINE ...) go back into a file of their own release or later.
    if (e.is<RawEntity>() && r < d_.release) return dropped(type);
    if (auto* p = e.as<Polyline>(); p && r < Release::R10 && (p->flags & (8 | 16 | 64))) {
      if (p->flags & (16 | 64)) return dropped("POLYLINE (mesh)");
      p->flags = static_cast<std::int16_t>(p->flags & ~8);
      for (auto& v : p->vertices) v.data.flags = 0;
      converted("3D POLYLINE -> 2D POLYLINE");
    }
    out.push_back(std::move(e));
  }

  // Before R13 a viewport's view lives in its "ACAD" extended data.
  static void mviewXData(Frame& f, const Viewport& v) {
    for (const Tag& t : std::as_const(f).xdata())
      if (t.code == 1000 && t.asText() == "MVIEW") return;  // already there (an older source)
    std::vector<Tag> x;
    bool inAcad = false;
    for (const Tag& t : std::as_const(f).xdata()) {
      if (t.code == 1001) inAcad = t.asText() == "ACAD";
      if (!inAcad) x.push_back(t);
    }
    auto text = [&](int c, std::string s) {
      Tag t;
      t.code = c;
      t.text = std::move(s);
      x.push_back(std::move(t));
    };
    auto num = [&](int c, double d) {
      Tag t;
      t.code = c;
      t.kind = Tag::kReal;
      t.real = d;
      x.push_back(t);
    };
    auto integer = [&](int c, std::int64_t i) {
      Tag t;
      t.code = c;
      t.kind = Tag::kInt;
      t.integer = i;
      x.push_back(t);
    };
    auto point = [&](Vec3 p) {
      num(1010, p.x);
      num(1020, p.y);
      num(1030, p.z);
    };
    text(1001, "ACAD");
    text(1000, "MVIEW");
    text(1002, "{");
    integer(1070, 16);
    point(v.viewTarget);
    point(v.viewDirection);
    num(1040, v.twist);
    num(1040, v.viewHeight);
    num(1040, v.viewCenter.x);
    num(1040, v.viewCenter.y);
    num(1040, v.lens);
    num(1040, v.frontClip);
    num(1040, v.backClip);
    integer(1070, 0);
    integer(1070, v.circleZoom);
    integer(1070, 1);
    integer(1070, 3);
    integer(1070, 0);
    integer(1070, 0);
    integer(1070, 0);
    integer(1070, 0);
    num(1040, v.snapAngle);
    num(1040, v.snapBase.x);
    num(1040, v.snapBase.y);
    num(1040, v.snapSpacing.x);
    num(1040, v.snapSpacing.y);
    num(1040, v.gridSpacing.x);
    num(1040, v.gridSpacing.y);
    integer(1070, 0);
    text(1002, "{");
    text(1002, "}");
    text(1002, "}");
    f.xdata() = std::move(x);
  }

  static std::vector<Vec3> edgePoints(const HatchEdge& ed) {
    switch (ed.type) {
      case 1: return {{ed.p1.x, ed.p1.y, 0}};
      case 2: {
        auto pts = ed.ccw ? arcPoints({ed.p1.x, ed.p1.y, 0}, ed.radius, ed.start, ed.end, 32)
                          : arcPoints({ed.p1.x, ed.p1.y, 0}, ed.radius, -ed.start, -ed.end, 32);
        if (!ed.ccw)
          for (auto& q : pts) q.y = 2 * ed.p1.y - q.y;
        pts.pop_back();
        return pts;
      }
      case 3: {
        double t0 = ed.start * M_PI / 180, t1 = ed.end * M_PI / 180;
        auto pts = ellipsePoints({ed.p1.x, ed.p1.y, 0}, {ed.p2.x, ed.p2.y, 0}, ed.radius, {0, 0, ed.ccw ? 1.0 : -1.0},
                                 ed.ccw ? t0 : -t0, ed.ccw ? t1 : -t1, 32);
        pts.pop_back();
        return pts;
      }
      default: {
        std::vector<Vec3> ctrl;
        for (auto c : ed.control) ctrl.push_back({c.x, c.y, 0});
        auto pts = splinePoints(ed.degree, ed.knots, ctrl, ed.weights, 8);
        if (!pts.empty()) pts.pop_back();
        return pts;
      }
    }
  }

  // Block records for every block, the root dictionary and (2000) the layouts.
  void structure() {
    auto& recs = d_.blockRecords;
    if (!recs.present) recs.frame.handle = d_.newHandle();
    recs.present = true;
    for (auto& b : d_.blocks) {
      bool found = false;
      for (auto& r : recs.entries) found = found || sameName(r.rec.name, b.name());
      if (!found) {
        TableEntry<BlockRecord> r;
        r.rec.name = b.name();
        r.frame.handle = d_.newHandle();
        recs.entries.push_back(std::move(r));
      }
    }
    for (auto* t : {&d_.linetypes}) {
      for (const char* n : {"ByBlock", "ByLayer", "Continuous"}) {
        bool found = false;
        for (auto& r : t->entries) found = found || sameName(r.rec.name, n);
        if (!found) {
          TableEntry<Linetype> lt;
          lt.rec.name = n;
          lt.rec.description = sameName(n, "Continuous") ? "Solid line" : "";
          lt.frame.handle = d_.newHandle();
          t->entries.insert(t->entries.begin(), std::move(lt));
        }
      }
    }
    Object* root = nullptr;
    for (auto& o : d_.objects)
      if (std::holds_alternative<Dictionary>(o.data) && !o.frame.owner) {
        root = &o;
        break;
      }
    if (!root) {
      Object r;
      r.frame.handle = d_.newHandle();
      r.data = Dictionary{};
      d_.objects.insert(d_.objects.begin(), std::move(r));
      root = &d_.objects.front();
    }
    Handle rootHandle = root->frame.handle;
    auto dictAt = [&](Handle h) -> Dictionary* {
      Object* o = h ? d_.findObject(h) : nullptr;
      return o ? std::get_if<Dictionary>(&o->data) : nullptr;
    };
    auto ensureDict = [&](const char* name) -> Handle {
      Dictionary* rt = dictAt(rootHandle);
      if (const DictEntry* de = rt->find(name); de && dictAt(de->handle)) return de->handle;
      // Missing, or (in a damaged file) naming something that is not a dictionary.
      std::erase_if(rt->entries, [&](const DictEntry& e) { return e.name == name; });
      Object o;
      o.frame.handle = d_.newHandle();
      o.frame.owner = rootHandle;
      o.data = Dictionary{};
      Handle h = o.frame.handle;
      rt->entries.push_back({name, h, 0});
      d_.objects.push_back(std::move(o));
      return h;
    };
    ensureDict("ACAD_GROUP");
    if (rel_ < Release::R2000) return;
    bool haveLayouts = false;
    for (auto& o : d_.objects) haveLayouts = haveLayouts || std::holds_alternative<Layout>(o.data);
    if (haveLayouts) return;
    Handle dict = ensureDict("ACAD_LAYOUT");
    int tab = 0;
    for (const char* space : {kModelSpace, kPaperSpace}) {
      d_.findBlock(space) ? void() : void(space == kModelSpace ? d_.modelSpace() : d_.paperSpace());
      Object o;
      o.frame.handle = d_.newHandle();
      o.frame.owner = dict;
      Layout l;
      l.name = space == kModelSpace ? "Model" : "Layout1";
      l.tabOrder = static_cast<std::int16_t>(tab++);
      for (auto& r : recs.entries)
        if (sameName(r.rec.name, space)) {
          l.blockRecord = r.frame.handle;
          r.rec.layout = o.frame.handle;
        }
      o.data = l;
      if (Dictionary* dd = dictAt(dict)) dd->entries.push_back({l.name, o.frame.handle, 0});
      d_.objects.push_back(std::move(o));
    }
  }

  void appIds() {
    std::set<std::string> names;
    auto collect = [&](Frame& f) {
      for (const Tag& t : std::as_const(f).xdata())
        if (t.code == 1001) names.insert(t.asText());
    };
    forEachFrame(d_, collect);
    names.insert("ACAD");
    for (const auto& n : names) {
      bool found = false;
      for (auto& a : d_.appids.entries) found = found || sameName(a.rec.name, n);
      if (!found) {
        TableEntry<AppId> a;
        a.rec.name = n;
        a.frame.handle = d_.newHandle();
        d_.appids.entries.push_back(std::move(a));
      }
    }
  }

  Document& d_;
  Release rel_;
  SaveReport* rep_;
};

}  // namespace

void prepareForRelease(Document& doc, Release release, SaveReport* report) {
  doc.assignHandles();
  Preparer(doc, release, report).run();
}

}  // namespace kelvaro::cad
