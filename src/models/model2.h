#pragma once
// TfrmModel2: the vertical fin shading model window.
#include "models/FinModel.h"
#include "models/ModelWindow.h"

namespace kelvaro {

class TfrmModel2 : public TModelForm {
  Q_OBJECT
 public:
  explicit TfrmModel2(QWidget* parent = nullptr);
  ~TfrmModel2() override;  // writes the stored values

  const models::FinDims& committed() const { return committed_; }
  const models::FinDims& display() const { return display_; }
  models::FinResult result() const;

 protected:
  void showEvent(QShowEvent* e) override;
  void buildScene(models::Scene& out) const override;
  std::array<models::Pt, 5> committedNodes() const override;
  models::DragCursor cursorFor(int node) const override { return models::FinCursor(node); }
  void dragTo(int node, models::Pt down, models::Pt now) override;
  void commitDrag() override { committed_ = display_; }
  void restoreDisplay() override { display_ = committed_; }
  void resetStored() override;

 private:
  models::FinDims committed_;
  models::FinDims display_;
};

}  // namespace kelvaro
