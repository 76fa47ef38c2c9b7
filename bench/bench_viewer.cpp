// links: kelvaro_viewer
// The viewer's display: opening and rendering a large drawing, a full redraw of a million
// segments, and a repaint that only copies the paint buffer.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <filesystem>

#include "cadkit/dxf_io.h"
#include "viewer/DrawDrawing.h"
#include "viewer/PngFile.h"
#include "viewer/TDraftel.h"

namespace {
using namespace kelvaro;
using namespace kelvaro::cad;
namespace fs = std::filesystem;

QApplication& app() {
  static int argc = 1;
  static char name[] = "bench_viewer";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication a(argc, argv);
  return a;
}

QString programFolder() {
  static QString folder = [] {
    fs::path dir = fs::temp_directory_path() / "kelvaro_bench_viewer";
    fs::create_directories(dir);
    adWriteStartupFile((dir / "adinit.dat").c_str());
    return QString::fromStdString(dir.string());
  }();
  return folder;
}

// 200,000 lines, circles, arcs, light-weight polylines and texts on eight layers.
const std::string& mixedDrawingFile() {
  static std::string path = [] {
    Document d;
    d.release = Release::R2000;
    for (int k = 0; k < 8; ++k) {
      TableEntry<Layer> l;
      l.rec.name = "LAYER" + std::to_string(k);
      l.rec.color = static_cast<std::int16_t>(1 + k);
      d.layers.entries.push_back(l);
    }
    d.layers.present = true;
    Block& m = d.modelSpace();
    const int n = 200000;
    m.entities.reserve(n);
    for (int i = 0; i < n; ++i) {
      const double x = (i % 500) * 2.0, y = (i / 500) * 2.0;
      Entity e;
      e.common.layer = "LAYER" + std::to_string(i % 8);
      switch (i % 5) {
        case 0: e.data = Line{.start = {x, y, 0}, .end = {x + 1.5, y + 0.75, 0}}; break;
        case 1: e.data = Circle{.center = {x, y, 0}, .radius = 0.6}; break;
        case 2: e.data = Arc{.center = {x, y, 0}, .radius = 0.8, .startAngle = 15, .endAngle = 250}; break;
        case 3: {
          LwPolyline p;
          p.vertices = {{.p = {x, y}}, {.p = {x + 1, y}}, {.p = {x + 1, y + 1}, .bulge = 0.4}, {.p = {x, y + 1}}};
          p.flags = 1;
          e.data = p;
          break;
        }
        default: {
          Text t;
          t.insert = {x, y, 0};
          t.height = 0.4;
          t.text = "Room " + std::to_string(i);
          e.data = t;
        }
      }
      m.entities.push_back(std::move(e));
    }
    d.assignHandles();
    fs::path file = fs::temp_directory_path() / "kelvaro_bench_200k.dxf";
    saveDxfFile(d, file, Release::R2000, {});
    return file.string();
  }();
  return path;
}

const std::string& millionLinesFile() {
  static std::string path = [] {
    Document d;
    Block& m = d.modelSpace();
    m.entities.reserve(1000000);
    for (int i = 0; i < 1000000; ++i) {
      const double x = (i % 1000), y = (i / 1000);
      Entity e;
      e.common.color = static_cast<std::int16_t>(1 + i % 7);
      e.data = Line{.start = {x, y, 0}, .end = {x + 0.7, y + 0.4, 0}};
      m.entities.push_back(std::move(e));
    }
    d.assignHandles();
    fs::path file = fs::temp_directory_path() / "kelvaro_bench_1m_lines.dxf";
    saveDxfFile(d, file, Release::R2000, {});
    return file.string();
  }();
  return path;
}

// Open, zoom to the extents, draw at 1920x1080 and encode the PNG, as `render` does.
void openAndRender(benchmark::State& state, const QString& file) {
  viewer::DrawingSession session;
  session.setPanelSize(1920, 1080);
  if (session.OpenDrawing(file) != 1) state.SkipWithError("cannot open");
  session.ZoomExtents();
  QImage image(1920, 1080, QImage::Format_RGB32);
  viewer::TDisplaySink sink;
  {
    QPainter p(&image);
    viewer::DrawSessionDrawing(session, sink, p, {});
  }
  benchmark::DoNotOptimize(viewer::EncodePng(image).size());
}

void BM_OpenAndRenderMixed200k(benchmark::State& state) {
  app();
  viewer::startToolkit(programFolder());
  const QString file = QString::fromStdString(mixedDrawingFile());
  for (auto _ : state) {
    openAndRender(state, file);
  }
  state.counters["file_MB"] = static_cast<double>(fs::file_size(mixedDrawingFile())) / 1e6;
}
BENCHMARK(BM_OpenAndRenderMixed200k)->Unit(benchmark::kMillisecond)->Iterations(3);

// The display alone: a million separate segments into a full-HD picture.
void BM_SinkMillionSegments(benchmark::State& state) {
  app();
  QImage image(1920, 1080, QImage::Format_RGB32);
  viewer::TPalette palette;
  viewer::TDisplaySink sink;
  for (auto _ : state) {
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::white);
    sink.begin(&p, 1080, &palette, {});
    for (int i = 0; i < 1000000; ++i) {
      const double x = (i * 7) % 1900, y = (i * 13) % 1060;
      if (i % 50000 == 0) sink.penColor(1 + (i / 50000) % 7);
      sink.moveTo(x, y);
      sink.lineTo(x + 12, y + 5);
    }
    sink.end();
  }
}
BENCHMARK(BM_SinkMillionSegments)->Unit(benchmark::kMillisecond);

// A full redraw through the toolkit: a drawing of a million lines, already open.
void BM_RedrawMillionLines(benchmark::State& state) {
  app();
  viewer::startToolkit(programFolder());
  viewer::DrawingSession session;
  session.setPanelSize(1920, 1080);
  if (session.OpenDrawing(QString::fromStdString(millionLinesFile())) != 1) {
    state.SkipWithError("cannot open");
    return;
  }
  session.ZoomExtents();
  QImage image(1920, 1080, QImage::Format_RGB32);
  viewer::TDisplaySink sink;
  {
    QPainter p(&image);
    viewer::DrawSessionDrawing(session, sink, p, {});  // the first draw regenerates
  }
  for (auto _ : state) {
    QPainter p(&image);
    viewer::DrawSessionDrawing(session, sink, p, {});
  }
}
BENCHMARK(BM_RedrawMillionLines)->Unit(benchmark::kMillisecond);

// Repaints of a viewer that was not asked to redraw: `area` of the paint buffer is copied
// (empty: the whole panel).
void repaintFromBuffer(benchmark::State& state, QRect area) {
  app();
  viewer::TDraftel::setProgramFolder(programFolder());
  viewer::TDraftel v;
  v.resize(1920, 1080);
  v.show();
  if (v.OpenDrawing(QString::fromStdString(mixedDrawingFile())) != 1) {
    state.SkipWithError("cannot open");
    return;
  }
  v.repaint();
  const int draws = v.drawCount();
  for (auto _ : state) {
    if (area.isEmpty()) v.repaint();
    else v.repaint(area);
  }
  if (v.drawCount() != draws) state.SkipWithError("a repaint drew again");
}

void BM_RepaintFromBuffer(benchmark::State& state) { repaintFromBuffer(state, {}); }
BENCHMARK(BM_RepaintFromBuffer)->Unit(benchmark::kMillisecond);

// Uncovering part of the panel: only the exposed rectangle is copied from the paint buffer.
void BM_RepaintExposedPart(benchmark::State& state) { repaintFromBuffer(state, QRect(200, 150, 640, 480)); }
BENCHMARK(BM_RepaintExposedPart)->Unit(benchmark::kMillisecond);

// What `kelvaro-cli render` does with the 200,000-entity file: no display list is kept, the
// drawing is walked once for its extents and once straight into the picture.
void BM_RenderMixed200kWithoutKeptList(benchmark::State& state) {
  app();
  viewer::startToolkit(programFolder());
  const QString file = QString::fromStdString(mixedDrawingFile());
  cad::adSetKeepDisplayLists(0);
  for (auto _ : state) {
    openAndRender(state, file);
  }
  cad::adSetKeepDisplayLists(1);
}
BENCHMARK(BM_RenderMixed200kWithoutKeptList)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
