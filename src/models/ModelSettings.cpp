#include "models/ModelSettings.h"

#include "platform/settings.h"

namespace kelvaro::models {

OverhangSettings LoadOverhangSettings(OverhangSettings s) {
  RegKey key = RegKey::open(kModelSettingsKey);
  if (key.isOpen()) {
    KeyReader(key)
        .real("m1a", s.Dims.OverhangLength)
        .real("m1g", s.Dims.OverhangOffset)
        .real("m1c", s.Dims.WallWidth)
        .real("m1d", s.Dims.SillHeight)
        .integer("m1e", s.StepMinutes)
        .integer("m1f", s.FacadeOrientation)
        .real("m1b", s.Dims.WindowHeight);
  }
  return SanitizedOverhang(s);
}

void SaveOverhangSettings(const OverhangSettings& s) {
  RegKey key = RegKey::create(kModelSettingsKey);
  if (!key.isOpen()) return;
  key.writeDouble("m1a", s.Dims.OverhangLength);
  key.writeDouble("m1g", s.Dims.OverhangOffset);
  key.writeDouble("m1b", s.Dims.WindowHeight);
  key.writeDouble("m1c", s.Dims.WallWidth);
  key.writeDouble("m1d", s.Dims.SillHeight);
  key.writeInt("m1e", s.StepMinutes);
  key.writeInt("m1f", s.FacadeOrientation);
  key.flush();
}

FinSettings LoadFinSettings(FinSettings s) {
  RegKey key = RegKey::open(kModelSettingsKey);
  if (key.isOpen()) {
    KeyReader(key)
        .real("m2a", s.Dims.FinLength)
        .real("m2b", s.Dims.WindowWidth)
        .real("m2c", s.Dims.WallLeft)
        .real("m2d", s.Dims.WallWidth)
        .integer("m2e", s.StepMinutes)
        .integer("m2f", s.FacadeOrientation)
        .real("m2g", s.Dims.FinOffset);
  }
  return SanitizedFin(s);
}

void SaveFinSettings(const FinSettings& s) {
  RegKey key = RegKey::create(kModelSettingsKey);
  if (!key.isOpen()) return;
  key.writeDouble("m2a", s.Dims.FinLength);
  key.writeDouble("m2b", s.Dims.WindowWidth);
  key.writeDouble("m2c", s.Dims.WallLeft);
  key.writeDouble("m2d", s.Dims.WallWidth);
  key.writeInt("m2e", s.StepMinutes);
  key.writeInt("m2f", s.FacadeOrientation);
  key.writeDouble("m2g", s.Dims.FinOffset);
  key.flush();
}

}  // namespace kelvaro::models
