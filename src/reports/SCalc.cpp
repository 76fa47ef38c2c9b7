#include "reports/SCalc.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "reports/QtDateLocale.h"

namespace kelvaro {

TfrmCalculator::TfrmCalculator(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Solar Calculator"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  auto* outer = new QVBoxLayout(this);

  SolarCalculatorPage empty = EmptyCalculatorPage();
  const int blockSizes[] = {kCalculatorInputLabels, kCalculatorDateLabels, kCalculatorTimeLabels};
  size_t index = 0;
  for (int block = 0; block < 3; ++block) {
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(frame);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(12);
    for (int row = 0; row < blockSizes[block]; ++row, ++index) {
      auto* caption = new QLabel(QString::fromStdString(empty.Labels[index].Caption), frame);
      caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      caption->setMinimumWidth(250);  // one caption column width across the three blocks
      auto* value = new QLabel(QString::fromStdString(empty.Labels[index].Value), frame);
      value->setTextInteractionFlags(Qt::TextSelectableByMouse);
      value->setMinimumWidth(110);
      QFont bold = value->font();
      bold.setBold(true);
      value->setFont(bold);
      grid->addWidget(caption, row, 0);
      grid->addWidget(value, row, 1);
      captions_.push_back(caption);
      values_.push_back(value);
    }
    if (block == 2) {
      captions_.back()->setWordWrap(false);
      captions_[captions_.size() - 2]->setWordWrap(true);  // the long shadow caption
      captions_[captions_.size() - 2]->setMaximumWidth(250);
    }
    outer->addWidget(frame);
  }
  auto* note = new QLabel(QString::fromLatin1(kCalculatorNote), this);
  note->setWordWrap(true);
  note->setAlignment(Qt::AlignCenter);
  outer->addWidget(note);

  // One OK button that is both the default and the cancel button.
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  outer->addWidget(buttons);

  outer->setSizeConstraint(QLayout::SetFixedSize);  // not resizable
}

void TfrmCalculator::setPage(const SolarCalculatorPage& page) {
  for (size_t i = 0; i < page.Labels.size() && i < values_.size(); ++i)
    values_[i]->setText(QString::fromStdString(page.Labels[i].Value));
}

QString TfrmCalculator::valueText(const QString& caption) const {
  for (size_t i = 0; i < captions_.size(); ++i)
    if (captions_[i]->text() == caption) return values_[i]->text();
  return {};
}

void ShowSolarCalculator(QWidget* parent, SiteTime& site, int hours, int minutes) {
  TfrmCalculator window(parent);
  window.setPage(ComputeSolarCalculator(site, hours, minutes, SystemDateLocale()));
  window.exec();  // centred over its parent; Escape closes it like OK
}

}  // namespace kelvaro
