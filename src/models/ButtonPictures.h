#pragma once
// The pictures of the model and 3D windows' buttons, drawn here: four states each (idle,
// hover, pressed, disabled) on a magenta key colour for the transparent and crop modes.
#include "models/EzRgnBtn.h"

namespace kelvaro {

enum class ButtonGlyph {
  CameraUp, CameraDown, CameraLeft, CameraRight, ZoomIn, ZoomOut, Start, Step, Pause, Reset, Close
};

inline constexpr QRgb kButtonKey = 0xffff00ff;

// Idle, up, down and disabled pictures of a glyph, `size` pixels square.
TImageList buttonPictures(ButtonGlyph glyph, int size = 24);

}  // namespace kelvaro
