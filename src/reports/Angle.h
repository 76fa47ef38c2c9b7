#pragma once
// The two prompts before the surface reports: "HSA / VSA" asks for the surface orientation,
// "Angle of Incidence" for orientation and inclination.
#include <QDialog>

class QSpinBox;

namespace kelvaro::reports {

// Orientation of a surface, degrees from North 0-359 in steps of 5.
class TfrmAngle : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAngle(int orientation, QWidget* parent = nullptr);
  int orientation() const;
  QSpinBox* orientationBox() const { return orientation_; }

 protected:
  explicit TfrmAngle(const QString& caption, int orientation, QWidget* parent);
  QSpinBox* orientation_;
};

// Orientation and inclination (degrees from horizontal, 0-90).
class TfrmAngle2 : public TfrmAngle {
  Q_OBJECT
 public:
  TfrmAngle2(int orientation, int inclination, QWidget* parent = nullptr);
  int inclination() const;
  QSpinBox* inclinationBox() const { return inclination_; }

 private:
  QSpinBox* inclination_;
};

}  // namespace kelvaro::reports
