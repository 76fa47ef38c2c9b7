#include "reports/Angle.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace kelvaro::reports {

TfrmAngle::TfrmAngle(int orientation, QWidget* parent) : TfrmAngle(QStringLiteral("HSA / VSA"), orientation, parent) {}

TfrmAngle::TfrmAngle(const QString& caption, int orientation, QWidget* parent) : QDialog(parent) {
  setWindowTitle(caption);
  orientation_ = new QSpinBox(this);
  orientation_->setRange(0, 359);
  orientation_->setSingleStep(5);
  orientation_->setValue(std::clamp(orientation, 0, 359));  // a damaged stored value stays in range
  orientation_->setToolTip(QStringLiteral("Enter orientation from North of the surface"));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Orientation (degrees from North):"), orientation_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

int TfrmAngle::orientation() const { return orientation_->value(); }

TfrmAngle2::TfrmAngle2(int orientation, int inclination, QWidget* parent)
    : TfrmAngle(QStringLiteral("Angle of Incidence"), orientation, parent) {
  inclination_ = new QSpinBox(this);
  inclination_->setRange(0, 90);
  inclination_->setValue(std::clamp(inclination, 0, 90));
  inclination_->setToolTip(QStringLiteral("Enter inclination of the surface from horizontal"));
  auto* form = static_cast<QFormLayout*>(static_cast<QVBoxLayout*>(layout())->itemAt(0)->layout());
  form->addRow(QStringLiteral("Inclination (degrees from horizontal):"), inclination_);
}

int TfrmAngle2::inclination() const { return inclination_->value(); }

}  // namespace kelvaro::reports
