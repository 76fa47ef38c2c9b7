#include "models/model1.h"

#include "models/ModelSettings.h"

namespace kelvaro {

using namespace models;

TfrmModel1::TfrmModel1(QWidget* parent)
    : TModelForm("Shadow Model for Horizontal Overhang", kOverhangPanX, kOverhangPanY, parent) {
  const OverhangSettings s = LoadOverhangSettings();
  committed_ = s.Dims;
  stepMinutes_ = s.StepMinutes;
  orientation_ = s.FacadeOrientation;
  finishCreation();
}

TfrmModel1::~TfrmModel1() {
  OverhangSettings s;
  s.Dims = committed_;
  s.StepMinutes = stepMinutes_;
  s.FacadeOrientation = orientation_;
  SaveOverhangSettings(s);
}

void TfrmModel1::showEvent(QShowEvent* e) {
  TModelForm::showEvent(e);
  orientationChanged();
  Draw();
}

void TfrmModel1::orientationChanged() { noon_ = ComputeNoonVsas(NoonFirst, NoonSecond, orientation_); }

OverhangResult TfrmModel1::result() const { return ComputeOverhang(committed_, display_, view_, anim_.Sun, noon_); }

void TfrmModel1::buildScene(Scene& out) const {
  DrawOverhang(out, committed_, display_, view_, anim_.Sun, noon_, orientation_);
}

std::array<Pt, 5> TfrmModel1::committedNodes() const { return LayoutOverhang(committed_, view_).Nodes; }

void TfrmModel1::dragTo(int node, Pt down, Pt now) { display_ = DragOverhang(committed_, view_, node, down, now); }

void TfrmModel1::resetStored() {
  committed_ = {};
  display_ = {};
  stepMinutes_ = 2;
  orientation_ = 180;
  orientationChanged();
}

}  // namespace kelvaro
