#include "viewer/CADviews.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvaro::viewer {

TfrmNamedViews::TfrmNamedViews(QWidget* parent, const QStringList& names) : QDialog(parent) {
  setObjectName("TfrmNamedViews");
  setWindowTitle("Named Views");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Select a view to restore", this));
  list_ = new QListWidget(this);
  list_->addItems(names);
  layout->addWidget(list_);
  // Storing and restoring views from here is not offered; the buttons stay hidden.
  auto* row = new QHBoxLayout;
  add_ = new QPushButton("&Add...", this);
  restore_ = new QPushButton("&Restore", this);
  add_->setVisible(false);
  restore_->setVisible(false);
  row->addWidget(add_);
  row->addWidget(restore_);
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  layout->addWidget(buttons);
}

int TfrmNamedViews::selectedRow() const {
  const auto sel = list_->selectedItems();
  return sel.isEmpty() ? -1 : list_->row(sel.first());
}

int TfrmNamedViews::choose(QWidget* parent, const QStringList& names) {
  TfrmNamedViews dialog(parent, names);
  return dialog.exec() == QDialog::Accepted ? dialog.selectedRow() : -1;
}

}  // namespace kelvaro::viewer
