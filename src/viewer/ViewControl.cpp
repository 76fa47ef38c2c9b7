#include "viewer/ViewControl.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <string>

#include "cadkit/toolkit.h"
#include "platform/notify.h"

namespace kelvaro::viewer {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kMinWindow = 1e-11, kMaxWindow = 1e10;

bool windowAllowed(double w, double g) {
  // Written so that NaN fails too.
  return w >= kMinWindow && w <= kMaxWindow && g >= kMinWindow && g <= kMaxWindow;
}

struct NamedStandard {
  const char* name;
  StandardView view;
};
constexpr NamedStandard kStandardNames[] = {
    {"top", StandardView::Top},     {"bottom", StandardView::Bottom}, {"left", StandardView::Left},
    {"right", StandardView::Right}, {"front", StandardView::Front},   {"back", StandardView::Back},
    {"sw", StandardView::SW},       {"se", StandardView::SE},         {"ne", StandardView::NE},
    {"nw", StandardView::NW}};

}  // namespace

std::optional<StandardView> standardViewByName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const auto& n : kStandardNames)
    if (lower == n.name) return n.view;
  return std::nullopt;
}

const char* standardViewName(StandardView v) {
  for (const auto& n : kStandardNames)
    if (n.view == v) return n.name;
  return "top";
}

void applyStandardView(cad::AdViewRecord& view, StandardView which) {
  // A zero turn moves the centre offset into the target, so the reset below keeps looking at
  // the point that was in the middle of the panel.
  cad::adRotateCounterClockwise(view, 0);
  view.direction = {0, 0, 1};
  view.twist = 0;
  switch (which) {
    case StandardView::Top: break;
    case StandardView::Bottom: cad::adRotateForward(view, kPi); break;
    case StandardView::Left:
      cad::adRotateRight(view, kPi / 2);
      cad::adRotateCounterClockwise(view, kPi / 2);
      break;
    case StandardView::Right:
      cad::adRotateRight(view, -kPi / 2);
      cad::adRotateCounterClockwise(view, -kPi / 2);
      break;
    case StandardView::Front: cad::adRotateForward(view, kFrontAngle); break;
    case StandardView::Back:
      cad::adRotateForward(view, kFrontAngle);
      cad::adRotateRight(view, kPi);
      break;
    case StandardView::SW:
      cad::adRotateCounterClockwise(view, kPi / 4);
      cad::adRotateForward(view, -kPi / 4);
      break;
    case StandardView::SE:
      cad::adRotateCounterClockwise(view, -kPi / 4);
      cad::adRotateForward(view, -kPi / 4);
      break;
    case StandardView::NE:
      cad::adRotateCounterClockwise(view, 5 * kPi / 4);
      cad::adRotateForward(view, -kPi / 4);
      break;
    case StandardView::NW:
      cad::adRotateCounterClockwise(view, -5 * kPi / 4);
      cad::adRotateForward(view, -kPi / 4);
      break;
  }
}

// --- primitives ------------------------------------------------------------------------------------

bool ViewControl::ZoomWindow(ViewPixel p1, ViewPixel p2) {
  cad::AdViewRecord& v = s_.view();
  if (!(v.width > 0) || !(v.height > 0)) return false;
  double g = v.height / height() * (p2.y - p1.y);
  double w = v.width / width() * (p2.x - p1.x);
  const double f = v.height / v.width;
  if (w != 0 && g / w >= f) w = g / f;
  else g = w * f;
  if (!windowAllowed(w, g)) return false;
  v.width = s_.requestedWidth = w;
  v.height = s_.requestedHeight = g;
  return true;
}

void ViewControl::PanToWindowCentre(ViewPixel p1, ViewPixel p2) {
  cad::AdViewRecord& v = s_.view();
  const double W = width(), H = height();
  cad::adPanTarget(v, ((p1.x + p2.x) / 2 - W / 2) * v.width / W, ((p1.y + p2.y) / 2 - H / 2) * v.height / H);
}

void ViewControl::PanBy(ViewPixel p1, ViewPixel p2) {
  cad::AdViewRecord& v = s_.view();
  cad::adPanTarget(v, (p1.x - p2.x) * v.width / width(), (p1.y - p2.y) * v.height / height());
}

bool ViewControl::ZoomAbout(ViewPixel at, double factor) {
  cad::AdViewRecord& v = s_.view();
  if (!(factor > 0) || !std::isfinite(factor) || !(v.width > 0) || !(v.height > 0)) return false;
  const double w = v.width * factor, g = v.height * factor;
  if (!windowAllowed(w, g)) return false;
  const double W = width(), H = height();
  // The point under the pointer sits (at - middle) pixels from the centre; after the zoom the
  // same pixel offset covers factor times the distance, so move the target by the difference.
  const double dx = (at.x - W / 2) * v.width / W, dy = (at.y - H / 2) * v.height / H;
  cad::adPanTarget(v, dx * (1 - factor), dy * (1 - factor));
  v.width = s_.requestedWidth = w;
  v.height = s_.requestedHeight = g;
  return true;
}

void ViewControl::LeaveTool() {
  tool_.printPickPending = false;
  tool_.cursor = kCursorDefault;
  s_.pointerMode = PointerMode::Idle;
}

// --- commands --------------------------------------------------------------------------------------

bool ViewControl::RequireModelSpace() const {
  if (s_.modelSpace()) return true;
  showWarning(kModelSpaceOnlyWarning);
  return false;
}

bool ViewControl::ZoomExtents() {
  BusyGuard guard(s_.busy);
  if (!guard || !s_.hasDrawing()) return false;
  s_.pointerMode = PointerMode::ZoomedExtents;
  tool_.cursor = kCursorDefault;
  tool_.printPickPending = false;
  cad::adZoomExtents(s_.handle(), s_.view());
  s_.requestedWidth = s_.view().width;
  s_.requestedHeight = s_.view().height;
  s_.PushHistory();
  return true;
}

bool ViewControl::ZoomIn() {
  BusyGuard guard(s_.busy);
  if (!guard || !s_.hasDrawing()) return false;
  s_.pointerMode = PointerMode::ZoomedIn;
  tool_.cursor = kCursorDefault;
  tool_.printPickPending = false;
  const int w = width(), h = height();
  ZoomWindow({double(w / 4), double(h / 4)}, {double(w - w / 4), double(h - h / 4)});
  s_.PushHistory();
  return true;
}

bool ViewControl::ZoomOut() {
  BusyGuard guard(s_.busy);
  if (!guard || !s_.hasDrawing()) return false;
  s_.pointerMode = PointerMode::ZoomedOut;
  tool_.cursor = kCursorDefault;
  tool_.printPickPending = false;
  const int w = width(), h = height();
  ZoomWindow({double(-(w / 2)), double(-(h / 2))}, {double(w + w / 2), double(h + h / 2)});
  s_.PushHistory();
  return true;
}

bool ViewControl::ZoomPrevious() {
  BusyGuard guard(s_.busy);
  if (!guard || !s_.hasDrawing()) return false;
  // The pointer mode stays, so a zoom or pan tool keeps its cursor; only a pick is dropped.
  if (tool_.printPickPending) {
    tool_.printPickPending = false;
    tool_.cursor = kCursorDefault;
  }
  return s_.ZoomPrevious();
}

bool ViewControl::SetStandardView(StandardView which) {
  if (!usable() || !RequireModelSpace()) return false;
  BusyGuard guard(s_.busy);
  LeaveTool();
  applyStandardView(s_.view(), which);
  s_.PushHistory();
  return true;
}

bool ViewControl::RotateLeft90() {
  if (!usable() || !RequireModelSpace()) return false;
  BusyGuard guard(s_.busy);
  // Idle with a tool's cursor left up would mislead: leave the tool entirely.
  LeaveTool();
  cad::adRotateCounterClockwise(s_.view(), kPi / 2);
  s_.PushHistory();
  return true;
}

bool ViewControl::RotateRight90() {
  if (!usable() || !RequireModelSpace()) return false;
  BusyGuard guard(s_.busy);
  // Idle with a tool's cursor left up would mislead: leave the tool entirely.
  LeaveTool();
  cad::adRotateCounterClockwise(s_.view(), -kPi / 2);
  s_.PushHistory();
  return true;
}

bool ViewControl::WheelZoom(ViewPixel at, int angleDelta) {
  BusyGuard guard(s_.busy);
  if (!guard || !s_.hasDrawing() || angleDelta == 0) return false;
  // Fine-grained wheels send fractions of a notch; clamp huge deltas so one event cannot fly off.
  const double notches = std::clamp(angleDelta / 120.0, -10.0, 10.0);
  const bool changed = ZoomAbout(at, std::pow(0.8, notches));
  s_.PushHistory();
  return changed;
}

std::vector<NamedViewEntry> ViewControl::NamedViews() const {
  std::vector<NamedViewEntry> out;
  out.push_back({"INITIAL", true, {}});
  if (!s_.hasDrawing()) return out;
  cad::adStartViewGet(s_.handle());
  cad::AdView v;
  while (cad::adGetView(s_.handle(), v)) {
    if (v.rec.flags & 1) continue;  // a paper-space view
    out.push_back({QString::fromStdString(v.rec.name), false, v.rec});
  }
  return out;
}

bool ViewControl::RestoreNamedView(const NamedViewEntry& entry) {
  if (entry.initial) return ZoomExtents();
  BusyGuard guard(s_.busy);
  if (!guard || !s_.hasDrawing()) return false;
  cad::AdViewRecord v = s_.view();
  if (!cad::adSetViewParmsFromView(s_.handle(), entry.stored, v)) {
    showError(("The view " + entry.name + " cannot be restored: its stored size or direction is not usable.")
                  .toStdString());
    return false;
  }
  s_.view() = v;
  s_.requestedWidth = v.width;
  s_.requestedHeight = v.height;
  s_.PushHistory();
  return true;
}

}  // namespace kelvaro::viewer
