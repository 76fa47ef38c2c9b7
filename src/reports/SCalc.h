#pragma once
// The solar calculator window: caption and value labels in three blocks, filled from the
// plain computation.
#include <QDialog>
#include <QString>
#include <vector>

#include "reports/SCalcCore.h"

class QLabel;

namespace kelvaro {

class TfrmCalculator : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmCalculator(QWidget* parent = nullptr);

  void setPage(const SolarCalculatorPage& page);
  // The value label next to `caption` ("" when there is none).
  QString valueText(const QString& caption) const;

 private:
  std::vector<QLabel*> captions_;
  std::vector<QLabel*> values_;
};

// Runs the calculation for `site` (already read from the settings dialog's inputs) at the
// local civil time hours:minutes and shows the result window modally. The sunrise check's
// messages appear before the window.
void ShowSolarCalculator(QWidget* parent, SiteTime& site, int hours, int minutes);

}  // namespace kelvaro
