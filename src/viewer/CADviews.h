#pragma once
// "Named Views": the list a user picks a stored view from.
#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

namespace kelvaro::viewer {

class TfrmNamedViews : public QDialog {
  Q_OBJECT
 public:
  TfrmNamedViews(QWidget* parent, const QStringList& names);
  int selectedRow() const;
  QListWidget* list() const { return list_; }
  // Runs the dialog; the row picked on OK, or -1 for Cancel or no selection.
  static int choose(QWidget* parent, const QStringList& names);

 private:
  QListWidget* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* restore_ = nullptr;
};

}  // namespace kelvaro::viewer
