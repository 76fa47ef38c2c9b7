#pragma once
// What OK of the overhang and fin modes opens: the model window, filled from the settings
// dialog's site and sun path, shown modally and released when it closes.
#include <vector>

#include "shadow/SunPath.h"

class QWidget;

namespace kelvaro {

enum class ShadingModel { Overhang, Fin };

// Exceptions of the noon computation (a sun that never sets on a reference day) pass to the
// caller after the window is released.
void ShowShadingModel(QWidget* parent, ShadingModel model, const SiteTime& site, std::vector<SunSample> samples);

}  // namespace kelvaro
