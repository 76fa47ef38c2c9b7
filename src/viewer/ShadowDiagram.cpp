#include "viewer/ShadowDiagram.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <tuple>

#include "cadkit/dxf_io.h"

namespace kelvaro::viewer {

namespace cad = kelvaro::cad;

namespace {

// Fixed-point text without the locale (the program runs under the user's locale).
std::string fixed(double v, int decimals) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return "0";
  std::string s(buf, r.ptr);
  if (s == "-0" || s == "-0.00") s.erase(0, 1);
  return s;
}

constexpr double kDegToRad = std::numbers::pi / 180.0;

// One build: the drawing, its model-space list and the working bounds.
class DiagramWriter {
 public:
  DiagramWriter(cad::AdDrawing d, const ShadowProfile& p) : d_(d), p_(p) {}

  bool start(cad::AcadDate now, bool vertical) {
    header_ = cad::adHeaderPointer(d_);
    if (!header_) return false;
    header_->tileMode = 1;
    header_->created = now;
    header_->updated = now;
    // The first linetype and layer are what new records are based on; a template without
    // them or without a model space is not one the diagrams can be built on.
    cad::AdLinetype lt;
    cad::adStartLinetypeGet(d_);
    if (!cad::adGetLinetype(d_, lt)) return false;
    cad::Handle model;
    if (!cad::adFindBlockheaderByName(d_, "*MODEL_SPACE", model)) return false;
    cad::AdBlockheader block;
    if (!cad::adSeekBlockheader(d_, model, block)) return false;
    list_ = cad::adEntityList(d_, block);
    cad::AdLayer first;
    cad::adStartLayerGet(d_);
    if (!cad::adGetLayer(d_, first)) return false;

    addLayer(kLayerShadow, 156);
    addLayer(kLayerHeader, 1);
    addLayer(kLayerFooter, 1);
    addLayer(kLayerText, 5);
    if (vertical) addLayer(kLayerHouse, 1);
    addLayer(kLayerCompass, 1);

    cad::AdShapefile style;
    cad::adSetDefaultShapefile(d_, style);
    style.rec.name = kDiagramStyle;
    style.rec.font = kDiagramFont;
    style.rec.fixedHeight = 0.0;
    style.rec.widthFactor = 1.0;
    style.rec.oblique = 0.0;
    style.rec.lastHeight = p_.TextHeight;
    cad::adGenerateObjhandle(d_, style.objhandle);
    cad::adAddShapefile(d_, style);
    return true;
  }

  void line(const char* layer, double x1, double y1, double x2, double y2) {
    cad::AdEntity e;
    cad::adSetEntityDefaults(d_, e, cad::kAdEntLine);
    e.entity.common.layer = layer;
    auto* l = e.entity.as<cad::Line>();
    l->start = {x1, y1, 0};
    l->end = {x2, y2, 0};
    add(e);
  }

  // A line from (x, y) at `angle` degrees counter-clockwise from +x; returns the end point.
  std::pair<double, double> addLine(const char* layer, double x, double y, double angle, double length) {
    const double ex = x + length * std::cos(angle * kDegToRad);
    const double ey = y + length * std::sin(angle * kDegToRad);
    line(layer, x, y, ex, ey);
    return {ex, ey};
  }

  void text(const char* layer, double x, double y, const std::string& s, double rotation) {
    cad::AdEntity e;
    cad::adSetEntityDefaults(d_, e, cad::kAdEntText);
    e.entity.common.layer = layer;
    auto* t = e.entity.as<cad::Text>();
    t->insert = {x, y, 0};
    t->height = p_.TextHeight;
    t->rotation = rotation;  // this toolkit keeps text angles in degrees
    t->widthFactor = 1.0;
    t->style = kDiagramStyle;
    t->text = s;
    add(e);
  }

  void includeX(double x) {
    b_.minX = std::min(b_.minX, x);
    b_.maxX = std::max(b_.maxX, x);
  }
  void includeY(double y) {
    b_.minY = std::min(b_.minY, y);
    b_.maxY = std::max(b_.maxY, y);
  }

  void setExtents(double d) {
    const double lx = b_.minX - d / 1.5, ly = b_.minY - d / 1.5;
    const double ux = b_.maxX + d / 1.5, uy = b_.maxY + d / 1.5;
    header_->extMin = {lx, ly, 0};
    header_->extMax = {ux, uy, 0};
    header_->limMin = {lx, ly};
    header_->limMax = {ux, uy};
  }

  // The three header lines above and the two footer lines below the bounds.
  void headerAndFooter(double d, const std::string& title, const std::string& note) {
    const double x = b_.minX - d / 2, th = p_.TextHeight;
    text(kLayerHeader, x, b_.maxY + d / 2, title, 0);
    text(kLayerHeader, x, b_.maxY + d / 2 - 2 * th, p_.SiteLine, 0);
    text(kLayerHeader, x, b_.maxY + d / 2 - 4 * th, p_.SunLine, 0);
    text(kLayerFooter, x, b_.minY - d / 2 + 2 * th, note, 0);
    text(kLayerFooter, x, b_.minY - d / 2, p_.CreatedLine, 0);
  }

  DiagramBounds& bounds() { return b_; }
  const ShadowProfile& profile() const { return p_; }

 private:
  void addLayer(const char* name, int colour) {
    cad::AdLayer l;
    cad::adSetDefaultLayer(d_, l);
    l.rec.name = name;
    l.rec.color = static_cast<std::int16_t>(colour);
    cad::adGenerateObjhandle(d_, l.objhandle);
    cad::adAddLayer(d_, l);
  }
  void add(cad::AdEntity& e) {
    cad::adGenerateObjhandle(d_, e.objhandle);
    cad::adAddEntityToList(d_, list_, e);
  }

  cad::AdDrawing d_;
  const ShadowProfile& p_;
  cad::AdHeader* header_ = nullptr;
  cad::AdEntityList list_;
  DiagramBounds b_;
};

// The north arrow: an arrow head pointing to +y over a letter N, in hundredths of the text
// height.
constexpr double kNorthArrow[12][4] = {
    {150, -599.975, 79.875, -599.975},   {100, -299.975, 100, -549.975},     {150, -299.975, 150, -599.975},
    {319.55, -299.975, 100, -299.975},   {-150, -599.975, -100, -599.975},   {-100, -375.05, -100, -599.975},
    {-150, -299.975, -150, -599.975},    {-321.5, -299.975, -100, -299.975}, {0, 0, -321.5, -299.975},
    {79.875, -599.9, -100, -375.05},     {-100, -299.975, 100, -549.975},    {0, 0, 319.55, -299.975},
};

}  // namespace

std::string HorizontalHourLabel(const ProfileHour& hour, bool inches) {
  return " " + fixed(hour.Time, 2) + "hrs " + fixed(hour.ShadowLength, 0) + (inches ? "ins" : "mm");
}

std::string VerticalHourLabel(const ProfileHour& hour) { return " " + fixed(hour.Time, 2) + "hrs "; }

double HorizontalLabelRotation(double shadowBearing) {
  double r = 360.0 - shadowBearing + 90.0;
  // A full turn is written as 0 so a shadow due east gets an upright label.
  while (r >= 360.0) r -= 360.0;
  while (r < 0.0) r += 360.0;
  return r;
}

bool BuildHorizontalDiagram(cad::AdDrawing d, const ShadowProfile& profile, cad::AcadDate now,
                            DiagramBounds* bounds) {
  const ShadowProfile p = profile;
  DiagramWriter w(d, p);
  if (!w.start(now, false)) return false;
  const double th = p.TextHeight, dm = th * 50.0;
  for (const ProfileHour& h : p.Hours) {
    if (!(h.Altitude >= p.Threshold)) continue;
    w.line(kLayerShadow, 0, 0, h.ShadowX, h.ShadowY);
    if (h.ShadowX != 0)
      w.text(kLayerText, h.ShadowX, h.ShadowY, HorizontalHourLabel(h, p.Inches), HorizontalLabelRotation(h.ShadowBearing));
    w.includeX(h.ShadowX);
    w.includeY(h.ShadowY);
  }
  DiagramBounds& b = w.bounds();
  w.line(kLayerCompass, b.minX - dm / 1.9, b.maxY + dm / 2 + th, b.minX - dm / 1.9, b.minY - dm / 2);
  w.setExtents(dm);
  w.headerAndFooter(dm, p.HorizontalTitle, p.HorizontalNote);
  const double ax = b.minX - dm / 2 + 4 * th, ay = b.minY - dm / 2 + 12 * th, s = th / 100.0;
  for (const auto& l : kNorthArrow) w.line(kLayerCompass, ax + s * l[0], ay + s * l[1], ax + s * l[2], ay + s * l[3]);
  if (bounds) *bounds = b;
  return true;
}

bool BuildVerticalDiagram(cad::AdDrawing d, const ShadowProfile& profile, cad::AcadDate now, DiagramBounds* bounds) {
  const ShadowProfile p = profile;
  DiagramWriter w(d, p);
  if (!w.start(now, true)) return false;
  const double h = p.Height, th = p.TextHeight, dm = th * 50.0;
  // Each edge of a section counts its start for the minima and its end for the maxima.
  auto edge = [&w](double x1, double y1, double x2, double y2) {
    w.line(kLayerHouse, x1, y1, x2, y2);
    DiagramBounds& b = w.bounds();
    b.minX = std::min(b.minX, x1);
    b.minY = std::min(b.minY, y1);
    b.maxX = std::max(b.maxX, x2);
    b.maxY = std::max(b.maxY, y2);
  };
  for (const auto& [row, label] : {std::pair{0.0, "A.M."}, std::pair{-2 * h, "P.M."}}) {
    edge(-h / 2, row, -h / 2, row + h);
    edge(-h / 2, row + h, 0, row + 1.2 * h);
    edge(0, row + 1.2 * h, h / 2, row + h);
    edge(h / 2, row + h, h / 2, row);
    edge(h / 2, row, -h / 2, row);
    w.text(kLayerHouse, -h / 4, row + h / 2, label, 0);
  }
  for (int n = 1; n <= 24; ++n) {
    const ProfileHour& hr = p.Hours[static_cast<std::size_t>(n - 1)];
    const double row = n <= 12 ? 0.0 : -2 * h;
    if (!(hr.Altitude >= p.Threshold)) continue;
    const double base = hr.ProfileWidth >= 0 ? h / 2 : -h / 2;
    w.line(kLayerShadow, base, row + h, base + hr.ProfileWidthCopy, row);
    if (hr.ShadowX != 0) w.text(kLayerText, base + hr.ProfileWidthCopy, row, VerticalHourLabel(hr), 270);
    w.includeX(hr.ProfileWidthCopy);
    w.includeY(0);
  }
  w.setExtents(dm);
  DiagramBounds& b = w.bounds();
  const double s = th / 100.0, t = p.Orientation;
  double cx = b.minX - dm / 2.5 + 4 * th, cy = b.maxY + dm / 3 - 8 * th;
  const double chain[7][2] = {{-(t + 90), 800}, {-(t + 180), 400}, {-(t + 270), 800}, {-t, 400},
                              {-t, 400},        {-(t + 90), 800},  {-(t + 180), 400}};
  double x = cx, y = cy;
  for (const auto& c : chain) std::tie(x, y) = w.addLine(kLayerCompass, x, y, c[0], c[1] * s);
  w.addLine(kLayerCompass, cx, cy, -(t - 90), 600 * s);
  w.addLine(kLayerCompass, cx, cy, -(t - 135), 300 * s);
  w.addLine(kLayerCompass, cx, cy, -(t - 45), 300 * s);
  w.headerAndFooter(dm, p.VerticalTitle, p.VerticalNote);
  if (bounds) *bounds = b;
  return true;
}

cad::Document MakeDiagramTemplate() {
  cad::Document doc;
  doc.release = cad::Release::R14;
  auto entry = [&doc](auto& table, auto rec) {
    typename std::remove_reference_t<decltype(table.entries)>::value_type e;
    e.frame.handle = doc.newHandle();
    e.rec = std::move(rec);
    table.entries.push_back(std::move(e));
    table.present = true;
  };
  cad::Linetype continuous;
  continuous.name = "CONTINUOUS";
  continuous.description = "Solid line";
  entry(doc.linetypes, continuous);
  cad::Layer zero;
  zero.name = "0";
  entry(doc.layers, zero);
  cad::TextStyle standard;
  standard.name = "STANDARD";
  entry(doc.styles, standard);
  doc.modelSpace();
  doc.paperSpace();
  doc.header.extMin = {0, 0, 0};
  doc.header.extMax = {0, 0, 0};
  doc.assignHandles();
  return doc;
}

bool WriteDiagramTemplate(const std::string& path, std::string* error) {
  const cad::AdDrawing d = cad::adOpenDocument(MakeDiagramTemplate(), path.c_str());
  // A release 14 (index 6) DWG (kind 0), written by our own writer.
  const int ok = cad::adSaveFile(d, path.c_str(), 0, 6, 0, 0, 0, 0);
  if (!ok && error) *error = cad::adErrorStr(cad::adError(0));
  cad::adCloseFile(d);
  return ok == 1;
}

}  // namespace kelvaro::viewer
