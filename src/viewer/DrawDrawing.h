#pragma once
// One full draw of a session's drawing onto a painter: the routine the viewer's panel and the
// batch tool's render command share.
#include <QColor>

#include "viewer/Display.h"
#include "viewer/DrawingSession.h"
#include "viewer/Palette.h"

class QPainter;

namespace kelvaro::viewer {

// The palette of the process, built when the toolkit starts (the colour dialog shows it).
TPalette& drawingPalette();

struct DrawSettings {
  QColor backColor = Qt::white;
  TLineColor lineColor = TLineColor::Black;
  DisplayOptions display;
};

// Fills the panel with the background, fits the view to the panel, recomputes the transform and
// has the toolkit walk the drawing into `sink`. Returns the draw time in seconds. A fault in the
// walk shows the curtailed-vectorization message and ends the draw.
double DrawSessionDrawing(DrawingSession& session, TDisplaySink& sink, QPainter& painter, const DrawSettings& settings);

}  // namespace kelvaro::viewer
