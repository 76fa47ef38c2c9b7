#pragma once
// TfrmModel1: the overhang shading model window.
#include "models/ModelWindow.h"
#include "models/OverhangModel.h"

namespace kelvaro {

class TfrmModel1 : public TModelForm {
  Q_OBJECT
 public:
  // Reads the stored values; the creator then sets the samples, the noon positions and the
  // labels and shows the window modally.
  explicit TfrmModel1(QWidget* parent = nullptr);
  ~TfrmModel1() override;  // writes the stored values

  HorizonPosition NoonFirst;
  HorizonPosition NoonSecond;

  const models::OverhangDims& committed() const { return committed_; }
  const models::OverhangDims& display() const { return display_; }
  const models::NoonVsas& noonVsas() const { return noon_; }
  models::OverhangResult result() const;

 protected:
  void showEvent(QShowEvent* e) override;
  void buildScene(models::Scene& out) const override;
  std::array<models::Pt, 5> committedNodes() const override;
  models::DragCursor cursorFor(int node) const override { return models::OverhangCursor(node); }
  void dragTo(int node, models::Pt down, models::Pt now) override;
  void commitDrag() override { committed_ = display_; }
  void restoreDisplay() override { display_ = committed_; }
  void resetStored() override;
  void orientationChanged() override;

 private:
  models::OverhangDims committed_;
  models::OverhangDims display_;
  models::NoonVsas noon_;
};

}  // namespace kelvaro
