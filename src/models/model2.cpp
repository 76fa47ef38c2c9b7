#include "models/model2.h"

#include "models/ModelSettings.h"

namespace kelvaro {

using namespace models;

TfrmModel2::TfrmModel2(QWidget* parent) : TModelForm("Shadow Model for Vertical Fin", kFinPanX, kFinPanY, parent) {
  const FinSettings s = LoadFinSettings();
  committed_ = s.Dims;
  stepMinutes_ = s.StepMinutes;
  orientation_ = s.FacadeOrientation;
  finishCreation();
}

TfrmModel2::~TfrmModel2() {
  FinSettings s;
  s.Dims = committed_;
  s.StepMinutes = stepMinutes_;
  s.FacadeOrientation = orientation_;
  SaveFinSettings(s);
}

void TfrmModel2::showEvent(QShowEvent* e) {
  TModelForm::showEvent(e);
  Draw();
}

FinResult TfrmModel2::result() const { return ComputeFin(committed_, view_, anim_.Sun); }

void TfrmModel2::buildScene(Scene& out) const { DrawFin(out, committed_, display_, view_, anim_.Sun, orientation_); }

std::array<Pt, 5> TfrmModel2::committedNodes() const { return LayoutFin(committed_, view_).Nodes; }

void TfrmModel2::dragTo(int node, Pt down, Pt now) { display_ = DragFin(committed_, view_, node, down, now); }

void TfrmModel2::resetStored() {
  committed_ = {};
  display_ = {};
  stepMinutes_ = 2;
  orientation_ = 180;
}

}  // namespace kelvaro
