#pragma once
// The picture buttons and the clock of the animated sun views (the two shading models and the
// 3D view share one control panel layout).
#include <array>
#include <functional>

class QLabel;
class QWidget;

namespace kelvaro {

class TEzRgnBtn;

// Commands in button order: camera up, right, down, left, zoom in, zoom out, start, pause,
// reset, close, single step. An empty command closes `form`.
using AnimationCommands = std::array<std::function<void()>, 11>;

// EzRgnBtn1 … EzRgnBtn11 on `panel`, with their hints and auto-repeat.
std::array<TEzRgnBtn*, 11> makeAnimationButtons(QWidget* panel, QWidget* form, const AnimationCommands& commands);

template <class Form>
std::array<TEzRgnBtn*, 11> makeAnimationButtons(QWidget* panel, Form* f) {
  return makeAnimationButtons(
      panel, f,
      AnimationCommands{[f] { f->CameraUp(); }, [f] { f->CameraRight(); }, [f] { f->CameraDown(); },
                        [f] { f->CameraLeft(); }, [f] { f->ZoomIn(); }, [f] { f->ZoomOut(); },
                        [f] { f->Start(); }, [f] { f->PauseRestart(); }, [f] { f->Reset(); },
                        nullptr, [f] { f->SingleStep(); }});
}

// Label1, the animation's clock ("00 : 00") above the buttons.
QLabel* makeAnimationClock(QWidget* panel);

}  // namespace kelvaro
