#include "viewer/DrawingSession.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "cadkit/acad_date.h"
#include "platform/notify.h"

namespace kelvaro::viewer {

namespace cad = kelvaro::cad;

// --- the toolkit ----------------------------------------------------------------------------------

namespace {
bool gToolkitStarted = false;

std::string toolkitErrorText() { return cad::adErrorStr(cad::adError(0)); }

std::string local8(const QString& s) { return QFile::encodeName(s).toStdString(); }
}  // namespace

bool tryStartToolkit(const QString& programFolder) {
  // The start-up file is found by its full path; the current folder is left alone so that
  // relative paths the user gave keep working.
  const std::string startup = local8(QDir(programFolder).filePath("adinit.dat"));
  if (cad::adInitAd2(startup.c_str(), 0) != 1) {
    showError("Could not initialize adinit.dat");
    return false;
  }
  cad::adSetupDwgRead();
  cad::adSetupDxfRead();
  cad::adAcceptR14BetaFiles();
  if (cad::adInitAd3() != 1) {
    cad::adCloseAd2();
    showError("Could not initialize drawing viewer");
    return false;
  }
  cad::adSetDlpMode(1);
  cad::adIgnoreBadVpEntData(1);
  std::uint16_t* table = cad::monty();
  for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint16_t>(i);
  cad::adSetDefaultLineweight(1);
  cad::adSetModelSpaceLineweightScale(100.0);
  return true;
}

bool startToolkit(const QString& programFolder) {
  if (gToolkitStarted) return true;
  gToolkitStarted = tryStartToolkit(programFolder);
  return gToolkitStarted;
}

bool toolkitStarted() { return gToolkitStarted; }

// --- save dialog rules ------------------------------------------------------------------------------

const QStringList& saveFilters() {
  static const QStringList filters = [] {
    static const char* const releases[8] = {"R2000", "R14", "R13", "R11/12", "R10", "R9", "R2.6", "R2.5"};
    QStringList f;
    for (const char* r : releases) f << QString("AutoCAD %1 Drawing (*.dwg)").arg(r);
    for (const char* r : releases) f << QString("AutoCAD %1 DXF (*.dxf)").arg(r);
    return f;
  }();
  return filters;
}

int versionForFilterIndex(int index) {
  const int n = index > 8 ? index - 8 : index;
  if (index >= 1 && index <= 16 && n >= 2 && n <= 8) return 8 - n;
  return 7;
}

bool filterIsDxf(int index) { return index >= 9 && index <= 16; }

QString presetSaveName(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  const int dot = name.indexOf('.');
  return dot < 0 ? name : name.left(dot);
}

int normalisedVersion(int version) { return version < 0 || version > 7 ? 7 : version; }

// --- the session ---------------------------------------------------------------------------------------

namespace {
void progressThunk(int percent, void* user) {
  auto* fn = static_cast<std::function<void(int)>*>(user);
  if (fn && *fn) (*fn)(percent);
}

std::uintmax_t measure(const QString& path) {
  std::error_code ec;
  auto n = std::filesystem::file_size(local8(path), ec);
  return ec ? 0 : n;
}
}  // namespace

DrawingSession::DrawingSession() = default;

DrawingSession::~DrawingSession() { closeDrawing(); }

void DrawingSession::closeDrawing() {
  if (!handle_) return;
  cad::adTerminateVectorize(handle_);
  cad::adCloseFile(handle_);
  handle_ = 0;
  header_ = nullptr;
}

void DrawingSession::setPanelSize(int width, int height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
}

int DrawingSession::OpenDrawing(const QString& path) {
  BusyGuard guard(busy);
  if (!guard) return 0;
  if (!QFileInfo(path).isFile()) {
    showError(("Could not find file " + path).toStdString());
    return 0;
  }
  const std::uintmax_t size = measure(path);
  cad::AdDrawing h = 0;
  {
    const std::string p = local8(path);
    cad::adSetLoadProgressFn(onLoadProgress ? progressThunk : nullptr, &onLoadProgress);
    h = cad::adLoadFile(p.c_str(), 1, 1);
    cad::adSetLoadProgressFn(nullptr, nullptr);
  }
  if (h == 0) {
    // The drawing shown before stays open.
    showError(toolkitErrorText());
    return 0;
  }
  try {
    closeDrawing();
    handle_ = h;
    size_ = size;
    header_ = cad::adHeaderPointer(h);
    if (!header_) throw std::runtime_error("no header");
    modelSpace_ = header_->tileMode == 1;
    header_->quickText = static_cast<std::int16_t>(quickTextAtOpen_);
    quickText_ = quickTextAtOpen_ == 1;
    cad::adHanclear(layoutBlock_);
    if (header_->tileMode != 1) cad::adGetBlockHandle(h, layoutBlock_, 0);
    view_ = cad::AdViewRecord{};
    initVectorize();
    paperAvailable_ = cad::adFileDisplayableInPaperspace(h) >= 1;
    pointerMode = PointerMode::Idle;
    path_ = path;
    ResetHistory();
    ReadTables();
    modified = false;
    neverSaved = false;
  } catch (...) {
    showError(("Error opening file " + path).toStdString());
    return 0;
  }
  return 1;
}

void DrawingSession::ShowGenerated(const QString& name) {
  if (!handle_ || !header_) return;
  header_->tileMode = 1;
  modelSpace_ = true;
  cad::adHanclear(layoutBlock_);
  cad::adForceRegen(handle_);
  view_ = cad::AdViewRecord{};
  initVectorize();
  cad::adZoomExtents(handle_, view_);
  requestedWidth = view_.width;
  requestedHeight = view_.height;
  pointerMode = PointerMode::Idle;
  path_ = name;
  size_ = 0;
  paperAvailable_ = cad::adFileDisplayableInPaperspace(handle_) >= 1;
  ResetHistory();
  ReadTables();
  modified = false;
  neverSaved = true;
}

void DrawingSession::initVectorize() {
  cad::adInitVectorize(handle_, view_, pixelWindow(), xf_, layoutBlock_);
  requestedWidth = view_.width;
  requestedHeight = view_.height;
  if (requestedWidth == 0) {
    requestedWidth = width_;
    requestedHeight = height_;
  }
}

int DrawingSession::SaveAsDwg(const QString& path, int version) {
  if (!handle_ || !header_) return 0;
  version = normalisedVersion(version);
  const cad::AcadDate before = header_->updated;
  header_->updated = cad::acadNow();
  const std::string p = local8(path);
  if (!cad::adSaveFile(handle_, p.c_str(), 0, version, 0, 0, 0, 0)) {
    header_->updated = before;  // a failed save leaves the drawing as it was
    showError("File not saved. " + toolkitErrorText());
    return 0;
  }
  path_ = path;
  size_ = measure(path);
  return 1;
}

int DrawingSession::SaveAsDxf(const QString& path, int version) {
  if (!handle_) return 0;
  version = normalisedVersion(version);
  const std::string p = local8(path);
  if (!cad::adSaveFile(handle_, p.c_str(), binaryDxf ? 2 : 1, version, 0, 6, 1, 1)) {
    showError("File not saved. " + toolkitErrorText());
    return 0;
  }
  return 1;
}

int DrawingSession::SaveByFilter(const QString& path, int filterIndex) {
  if (!handle_) return 0;
  const int version = versionForFilterIndex(filterIndex);
  if (version > 3 && modelSpace_) {
    cad::AdVport vp;
    std::vector<cad::AdVport> active;
    cad::adStartVportGet(handle_);
    for (int i = 0, n = cad::adNumVports(handle_); i < n && cad::adGetVport(handle_, vp); ++i)
      if (QString::fromStdString(vp.rec.name).toUpper() == "*ACTIVE") active.push_back(vp);
    for (auto& v : active) {
      v.rec.center = view_.center;
      v.rec.height = view_.height;
      cad::adReplaceVport(handle_, v);
    }
  }
  const int ok = filterIsDxf(filterIndex) ? SaveAsDxf(path, version) : SaveAsDwg(path, version);
  if (ok) {
    modified = false;
    neverSaved = false;
  }
  return ok;
}

void DrawingSession::SetModelSpace() {
  if (!handle_ || !header_) return;
  pointerMode = PointerMode::Idle;
  header_->tileMode = 1;
  modelSpace_ = true;
  initVectorize();
  requestedWidth = view_.width;
  requestedHeight = view_.height;
  ResetHistory();
}

void DrawingSession::SetPaperSpace() {
  if (!handle_ || !header_ || cad::adFileDisplayableInPaperspace(handle_) <= 0) return;
  pointerMode = PointerMode::Idle;
  header_->tileMode = 0;
  modelSpace_ = false;
  initVectorize();
  requestedWidth = view_.width;
  requestedHeight = view_.height;
  ResetHistory();
}

namespace {
bool blockHasViewport(cad::AdDrawing d, const cad::AdBlockheader& b) {
  cad::AdEntityList list = cad::adEntityList(d, b);
  cad::adStartEntityGet(list);
  cad::AdEntity e;
  while (cad::adGetEntity(list, e))
    if (e.enttype == cad::kAdEntViewport) return true;
  return false;
}
}  // namespace

std::vector<LayoutEntry> DrawingSession::Layouts() const {
  std::vector<LayoutEntry> out;
  if (!handle_) return out;
  bool anyLayout = false;
  std::vector<LayoutEntry> others;
  cad::adStartObjectGet(handle_);
  cad::AdObject ob;
  while (cad::adGetObject(handle_, ob)) {
    if (ob.objtype != cad::adLayoutObjtype(handle_)) continue;
    cad::AdBlockheader bh;
    if (cad::adSeekBlockheader(handle_, ob.layoutBlockheader, bh) != 1) continue;
    anyLayout = true;
    const auto* layout = std::get_if<cad::Layout>(&ob.data);
    const QString name = QString::fromStdString(layout ? layout->name : bh.name);
    if (name.contains("Model")) {
      out.insert(out.begin(), LayoutEntry{"Model Space", LayoutEntry::Kind::Model, {}});
    } else if (blockHasViewport(handle_, bh)) {
      others.push_back(LayoutEntry{name, LayoutEntry::Kind::Layout, bh.objhandle});
    }
  }
  if (!anyLayout) {
    out.push_back(LayoutEntry{"Model Space", LayoutEntry::Kind::Model, {}});
    cad::Handle paper;
    cad::AdBlockheader bh;
    if (cad::adGetBlockHandle(handle_, paper, 0) && cad::adSeekBlockheader(handle_, paper, bh) == 1 &&
        blockHasViewport(handle_, bh))
      out.push_back(LayoutEntry{"Paper Space", LayoutEntry::Kind::PaperSpace, paper});
    return out;
  }
  out.insert(out.end(), others.begin(), others.end());
  return out;
}

void DrawingSession::SelectLayout(const LayoutEntry& entry) {
  if (!handle_) return;
  switch (entry.kind) {
    case LayoutEntry::Kind::Model:
      cad::adHanclear(layoutBlock_);
      SetModelSpace();
      break;
    case LayoutEntry::Kind::PaperSpace:
      cad::adGetBlockHandle(handle_, layoutBlock_, 0);
      SetPaperSpace();
      break;
    case LayoutEntry::Kind::Layout:
      layoutBlock_ = entry.block;
      SetPaperSpace();
      break;
  }
}

bool DrawingSession::SetQuickText(bool on) {
  if (!handle_ || !header_ || on == quickText_) return false;
  quickText_ = on;
  header_->quickText = on ? 1 : 0;
  cad::adForceRegen(handle_);
  return true;
}

void DrawingSession::SetCurveQuality(int q) {
  if (q >= 1 && q <= 50) curveQuality_ = q;
  cad::adSetInterpolationQuality(curveQuality_);
}

void DrawingSession::ReadTables() {
  layers_.clear();
  lines_.clear();
  if (!handle_) return;
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseSensitive);
  layers_.reserve(static_cast<std::size_t>(std::max(cad::adNumLayers(handle_), 0)));
  cad::adStartLayerGet(handle_);
  cad::AdLayer l;
  for (int i = 0, n = cad::adNumLayers(handle_); i < n && cad::adGetLayer(handle_, l); ++i) {
    if (l.purgedflag == 1) continue;
    TLayer t;
    t.rec = l;
    cad::adGetLayerState(handle_, l.objhandle, t.state.data());
    cad::AdLinetype lt;
    if (cad::adSeekLinetype(handle_, l.linetypeObjhandle, lt)) t.linetypeName = lt.rec.name;
    layers_.push_back(std::move(t));
  }
  std::stable_sort(layers_.begin(), layers_.end(), [&](const TLayer& a, const TLayer& b) {
    return collator.compare(QString::fromStdString(a.rec.rec.name), QString::fromStdString(b.rec.rec.name)) < 0;
  });
  cad::adStartLinetypeGet(handle_);
  cad::AdLinetype lt;
  for (int i = 0, n = cad::adNumLinetypes(handle_); i < n && cad::adGetLinetype(handle_, lt); ++i) {
    TLine t;
    t.rec = lt;
    cad::adFindLinetypeByName(handle_, lt.rec.name.c_str(), t.handle);
    lines_.push_back(std::move(t));
  }
  std::stable_sort(lines_.begin(), lines_.end(), [&](const TLine& a, const TLine& b) {
    return collator.compare(QString::fromStdString(a.rec.rec.name), QString::fromStdString(b.rec.rec.name)) < 0;
  });
}

namespace {
QString two(int v) { return QString("%1").arg(v, 2, 10, QChar('0')); }
QString point2(double x, double y) { return QString::number(x, 'f', 2) + ", " + QString::number(y, 'f', 2); }
QString dateText(cad::AcadDate d) {
  int y = 0, mo = 0, da = 0, h = 0, mi = 0, s = 0;
  cad::adDecodeAcadDate(d, y, mo, da, h, mi, s);
  return two(y) + "-" + two(mo) + "-" + two(da) + " at " + two(h) + ":" + two(mi) + ":" + two(s);
}
}  // namespace

DrawingInfoTexts DrawingSession::DrawingInfo() const {
  DrawingInfoTexts t;
  if (!handle_ || !header_) return t;
  static const char* const releases[8] = {"2.5", "2.6", "9", "10", "11/12", "13", "14", "2000"};
  const int v = cad::adFileVersionLoaded(handle_);
  const QFileInfo fi(path_);
  t.name = fi.fileName();
  t.version = QString("AutoCAD ") + (v >= 0 && v < 8 ? releases[v] : "");
  t.location = QDir::toNativeSeparators(fi.absolutePath());
  t.size = QString::number(size_) + " bytes";
  t.created = dateText(header_->created);
  t.modified = dateText(header_->updated);
  int days = 0, hours = 0, mins = 0, secs = 0;
  cad::adDecodeAcadTime(header_->editTime, days, hours, mins, secs);
  t.editTime = QString("%1 days %2 hours %3 mins %4 secs").arg(days).arg(hours).arg(mins).arg(secs);
  t.limitsLower = point2(header_->limMin.x, header_->limMin.y);
  t.limitsUpper = point2(header_->limMax.x, header_->limMax.y);
  t.extentsLower = point2(header_->extMin.x, header_->extMin.y);
  t.extentsUpper = point2(header_->extMax.x, header_->extMax.y);
  return t;
}

// --- view ----------------------------------------------------------------------------------------------

void DrawingSession::FitViewToPanel() {
  if (!handle_) return;
  if (requestedWidth == 0) requestedWidth = width_;
  if (requestedHeight == 0) requestedHeight = height_;
  const double r = static_cast<double>(height_) / width_;
  if (requestedHeight / requestedWidth >= r) {
    view_.width = requestedHeight / r;
    view_.height = requestedHeight;
  } else {
    view_.width = requestedWidth;
    view_.height = requestedWidth * r;
  }
  cad::adMakeViewTransform(handle_, view_, pixelWindow(), xf_);
}

cad::Vec3 DrawingSession::PixelToWorld(double x, double yFromTop) const {
  cad::Vec3 w;
  if (handle_) cad::adCurrentPixelToWorld(handle_, x, height_ - yFromTop, w);
  return w;
}

void DrawingSession::PushHistory() {
  if (history_.size() >= 20) history_.erase(history_.begin());
  history_.push_back({view_, pointerMode});
}

void DrawingSession::ResetHistory() {
  history_.clear();
  history_.push_back({view_, pointerMode});
}

void DrawingSession::ZoomExtents() {
  if (!handle_) return;
  pointerMode = PointerMode::ZoomedExtents;
  cad::adZoomExtents(handle_, view_);
  requestedWidth = view_.width;
  requestedHeight = view_.height;
  PushHistory();
}

void DrawingSession::ZoomWindow(double x1, double y1, double x2, double y2) {
  double g = view_.height / height_ * (y2 - y1);
  double w = view_.width / width_ * (x2 - x1);
  const double f = view_.width != 0 ? view_.height / view_.width : 1.0;
  if (w != 0 && g / w >= f) w = g / f;
  else g = w * f;
  if (w < 1e-11 || g < 1e-11 || w > 1e10 || g > 1e10) return;
  view_.width = requestedWidth = w;
  view_.height = requestedHeight = g;
}

void DrawingSession::ZoomIn() {
  if (!handle_) return;
  pointerMode = PointerMode::ZoomedIn;
  const int w = width_, h = height_;
  ZoomWindow(w / 4, h / 4, w - w / 4, h - h / 4);
  PushHistory();
}

void DrawingSession::ZoomOut() {
  if (!handle_) return;
  pointerMode = PointerMode::ZoomedOut;
  const int w = width_, h = height_;
  ZoomWindow(-(w / 2), -(h / 2), w + w / 2, h + h / 2);
  PushHistory();
}

bool DrawingSession::ZoomPrevious() {
  if (!handle_ || history_.size() <= 1) return false;
  history_.pop_back();
  view_ = history_.back().view;
  requestedWidth = view_.width;
  requestedHeight = view_.height;
  return true;
}

}  // namespace kelvaro::viewer
