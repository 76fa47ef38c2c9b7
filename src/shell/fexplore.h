#pragma once
// TfrmExplore: the open dialog. A folder tree, a folder path box and a file list filtered to
// drawing files; it ends by opening the selected files or by browsing the folder's drawings.
#include <QDialog>
#include <QStringList>

class QComboBox;
class QFileSystemModel;
class QLineEdit;
class QListView;
class QTreeView;

namespace kelvaro {

class TMainForm;

// The files-of-type entries and their masks.
inline constexpr int kExploreTypeCount = 4;
const QStringList& exploreTypeNames();
QString exploreTypeMask(int index);  // empty for an index outside the table

// The full paths CAD Browse collects in `folder`: names matching "*.dwg" (type 1), "*.dxf"
// (type 2) or both (types 0 and 3), whatever kind of entry they name; sorted without regard to
// case, each path once.
QStringList CollectBrowsePaths(const QString& folder, int typeIndex);

class TfrmExplore : public QDialog {
  Q_OBJECT
 public:
  enum class Result { None, Open, Browse };

  explicit TfrmExplore(const QString& folder, QWidget* parent = nullptr);
  // The dialog of the run, made on first use on the main window's open folder.
  static TfrmExplore& instance(TMainForm& main);

  // Shows the dialog modally and tells how it ended.
  Result run();
  Result lastResult() const { return result_; }

  // The list's folder, ending in a separator.
  QString folderPath() const;
  void setFolder(const QString& folder);
  QStringList selectedEntries() const;
  void selectEntries(const QStringList& names);
  const QStringList& collectedPaths() const { return collected_; }
  int typeIndex() const;
  void setTypeIndex(int index);

  // The buttons and the double click (public for tests).
  void openClicked();
  void browseClicked();
  void entryActivated(const QString& name);

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void finish(Result r);

  QFileSystemModel* dirs_ = nullptr;
  QFileSystemModel* files_ = nullptr;
  QTreeView* tree_ = nullptr;
  QLineEdit* pathBox_ = nullptr;
  QListView* list_ = nullptr;
  QComboBox* types_ = nullptr;
  QString folder_;
  QStringList collected_;
  Result result_ = Result::None;
};

}  // namespace kelvaro
