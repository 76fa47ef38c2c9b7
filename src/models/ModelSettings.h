#pragma once
// The stored dimensions, time step and orientation of the two models.
#include "models/FinModel.h"
#include "models/OverhangModel.h"

namespace kelvaro::models {

inline constexpr const char* kModelSettingsKey = "Software\\Dravenco\\Kelvaro\\b";

// Reads over `s` in the stored order; the first missing or mistyped value ends the reading and
// leaves it and the later ones as they were. The result is made sane (SanitizedOverhang).
OverhangSettings LoadOverhangSettings(OverhangSettings s = {});
void SaveOverhangSettings(const OverhangSettings& s);

FinSettings LoadFinSettings(FinSettings s = {});
void SaveFinSettings(const FinSettings& s);

}  // namespace kelvaro::models
