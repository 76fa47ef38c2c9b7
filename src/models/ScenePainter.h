#pragma once
// Paints a model's scene with QPainter: the window's off-screen image and the batch tool's PNG.
#include <QImage>

#include "models/ModelGeometry.h"

class QPainter;

namespace kelvaro::models {

// The font the model texts are written in (fixed, so pictures do not vary between machines).
QFont sceneFont();

void paintScene(QPainter& p, const Scene& s);
// A new image of the scene's size with the scene painted on it.
QImage renderScene(const Scene& s);

}  // namespace kelvaro::models
