#pragma once
// The viewer's small dialogs: "Layouts" and "Drawing Information".
#include <QDialog>
#include <QStringList>

#include "viewer/DrawingSession.h"

class QListWidget;

namespace kelvaro::viewer {

class TfrmLayouts : public QDialog {
  Q_OBJECT
 public:
  TfrmLayouts(QWidget* parent, const QStringList& entries);
  int selectedRow() const;
  // Runs the dialog; the row picked on OK, or -1.
  static int choose(QWidget* parent, const QStringList& entries);

 private:
  QListWidget* list_ = nullptr;
};

class TfrmInfo : public QDialog {
  Q_OBJECT
 public:
  TfrmInfo(QWidget* parent, const DrawingInfoTexts& t);
  static void show(QWidget* parent, const DrawingInfoTexts& t);
};

}  // namespace kelvaro::viewer
