#include "viewer/DrawDrawing.h"

#include <QElapsedTimer>
#include <QPainter>

#include "platform/notify.h"

namespace kelvaro::viewer {

TPalette& drawingPalette() {
  static TPalette palette;
  return palette;
}

double DrawSessionDrawing(DrawingSession& session, TDisplaySink& sink, QPainter& painter, const DrawSettings& settings) {
  QElapsedTimer timer;
  timer.start();
  try {
    TPalette& palette = drawingPalette();
    palette.applyLineColor(settings.lineColor);
    painter.fillRect(0, 0, session.panelWidth(), session.panelHeight(), settings.backColor);
    if (!session.hasDrawing()) return 0;
    session.FitViewToPanel();
    sink.begin(&painter, session.panelHeight(), &palette, settings.display);
    try {
      cad::adDrawDrawing(session.handle(), sink);
    } catch (...) {
      showError(
          "Vectorization was curtailed due to a processing error. To resolve this problem, contact Technical "
          "Support.");
    }
    sink.end();
  } catch (...) {
    // Anything else in a draw is not worth stopping the window for.
  }
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

}  // namespace kelvaro::viewer
