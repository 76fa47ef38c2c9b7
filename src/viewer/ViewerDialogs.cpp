#include "viewer/ViewerDialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace kelvaro::viewer {

TfrmLayouts::TfrmLayouts(QWidget* parent, const QStringList& entries) : QDialog(parent) {
  setWindowTitle("Layouts");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Select a layout to restore", this));
  list_ = new QListWidget(this);
  list_->addItems(entries);
  layout->addWidget(list_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  layout->addWidget(buttons);
}

int TfrmLayouts::selectedRow() const {
  const auto sel = list_->selectedItems();
  return sel.isEmpty() ? -1 : list_->row(sel.first());
}

int TfrmLayouts::choose(QWidget* parent, const QStringList& entries) {
  TfrmLayouts dialog(parent, entries);
  return dialog.exec() == QDialog::Accepted ? dialog.selectedRow() : -1;
}

TfrmInfo::TfrmInfo(QWidget* parent, const DrawingInfoTexts& t) : QDialog(parent) {
  setWindowTitle("Drawing Information");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto row = [&](const char* caption, const QString& value) {
    auto* v = new QLabel(value, this);
    v->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(caption, v);
  };
  row("Name:", t.name);
  row("Version:", t.version);
  row("Location:", t.location);
  row("Size:", t.size);
  row("Created:", t.created);
  row("Modified:", t.modified);
  row("Time in editor:", t.editTime);
  row("Limits lower:", t.limitsLower);
  row("Limits upper:", t.limitsUpper);
  row("Extents lower:", t.extentsLower);
  row("Extents upper:", t.extentsUpper);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

void TfrmInfo::show(QWidget* parent, const DrawingInfoTexts& t) {
  TfrmInfo dialog(parent, t);
  dialog.exec();
}

}  // namespace kelvaro::viewer
