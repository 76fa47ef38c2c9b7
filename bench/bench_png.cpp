// links: kelvaro_viewer
// Writing a 1920 x 1080 drawing picture as PNG: Qt's writer against our own encoder on one
// thread and on every core. Wall time is the figure that counts; process CPU time is measured
// too, so the cost of the threads shows.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <random>

#include "cadkit/png_write.h"
#include "viewer/PngFile.h"

namespace {

void ensureApp() {
  static int argc = 1;
  static char name[] = "bench_png";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(argc, argv);
}

// A busy plan: white paper, a grid, walls, doors, dimension lines and labels in a few colours.
const QImage& densePicture() {
  static const QImage img = [] {
    ensureApp();
    QImage picture(1920, 1080, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter p(&picture);
    std::mt19937 rng(11);
    p.setPen(QColor(200, 200, 200));
    for (int x = 40; x < 1920; x += 120) p.drawLine(x, 0, x, 1079);
    for (int y = 40; y < 1080; y += 120) p.drawLine(0, y, 1919, y);
    for (int i = 0; i < 140; ++i) {
      const int x = int(rng() % 1700), y = int(rng() % 900), w = 60 + int(rng() % 300), h = 60 + int(rng() % 200);
      p.setPen(QPen(Qt::black, 1 + int(rng() % 3)));
      p.drawRect(x, y, w, h);
      p.setPen(QColor(0, 0, 255));
      p.drawArc(x, y, 60, 60, 0, 90 * 16);
      p.setPen(QColor(255, 0, 0));
      p.drawLine(x, y + h + 12, x + w, y + h + 12);
      p.drawText(x + 6, y + 20, QStringLiteral("Room %1  %2 m2").arg(i).arg(w * h / 1000));
    }
    return picture;
  }();
  return img;
}

// A sparse one, as most drawings zoomed to their extents are: a dozen long thin lines and
// a few letters.
const QImage& sparsePicture() {
  static const QImage img = [] {
    ensureApp();
    QImage picture(1920, 1080, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter p(&picture);
    std::mt19937 rng(3);
    for (int i = 0; i < 12; ++i) {
      p.setPen(i % 3 ? QColor(0, 255, 255) : QColor(255, 255, 0));
      p.drawLine(int(rng() % 1920), int(rng() % 1080), int(rng() % 1920), int(rng() % 1080));
    }
    p.drawText(1200, 100, QStringLiteral("North elevation"));
    return picture;
  }();
  return img;
}

// Argument 0: the busy picture, 1: the sparse one.
const QImage& drawingPicture(benchmark::State& state) { return state.range(0) ? sparsePicture() : densePicture(); }

void PngQt(benchmark::State& state) {
  const QImage& img = drawingPicture(state);
  std::size_t size = 0;
  for (auto _ : state) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    size = std::size_t(bytes.size());
  }
  state.counters["bytes"] = double(size);
}
BENCHMARK(PngQt)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// Arguments: the picture, the threads (0: one per core).
void PngOwn(benchmark::State& state) {
  const QImage& img = drawingPicture(state);
  kelvaro::cad::PngWriteOptions options;
  options.threads = int(state.range(1));
  std::size_t size = 0;
  for (auto _ : state) {
    const std::string png = kelvaro::cad::pixelsToPng({img.constBits(), std::size_t(img.sizeInBytes())}, img.width(),
                                                      img.height(), std::size_t(img.bytesPerLine()), nullptr, options);
    size = png.size();
    benchmark::DoNotOptimize(png.data());
  }
  state.counters["bytes"] = double(size);
}
BENCHMARK(PngOwn)->Args({0, 1})->Args({0, 0})->Args({1, 1})->Args({1, 0})->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The path the batch tool takes, from a picture in a format that must be converted first.
void PngOwnFromRgb888(benchmark::State& state) {
  const QImage img = densePicture().convertToFormat(QImage::Format_RGB888);
  for (auto _ : state) benchmark::DoNotOptimize(kelvaro::viewer::EncodePng(img).size());
}
BENCHMARK(PngOwnFromRgb888)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

}  // namespace
