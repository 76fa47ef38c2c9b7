#include "shell/fexplore.h"

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/notify.h"
#include "shell/Main.h"

namespace kelvaro {

const QStringList& exploreTypeNames() {
  static const QStringList names{"AutoCAD Files", "AutoCAD (*.DWG)", "AutoCAD (*.DXF)", "All files (*.*)"};
  return names;
}

QString exploreTypeMask(int index) {
  static const char* const masks[kExploreTypeCount] = {"*.dwg;*.dxf", "*.dwg", "*.dxf", "*.*"};
  return index >= 0 && index < kExploreTypeCount ? QString(masks[index]) : QString();
}

QStringList CollectBrowsePaths(const QString& folder, int typeIndex) {
  QStringList masks;
  if (typeIndex == 1) masks << "*.dwg";
  else if (typeIndex == 2) masks << "*.dxf";
  else masks << "*.dwg" << "*.dxf";
  QString base = folder;
  if (!base.isEmpty() && !base.endsWith('/') && !base.endsWith(QDir::separator())) base += '/';
  QStringList out;
  // The match is by name: folders, hidden and system entries count as well.
  const QDir dir(folder);
  for (const QString& mask : masks)
    for (const QString& name : dir.entryList({mask}, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
      out << base + name;
  std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
  });
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

TfrmExplore::TfrmExplore(const QString& folder, QWidget* parent) : QDialog(parent) {
  setWindowTitle("Open Drawing / Browse Directory");
  resize(640, 420);
  auto* layout = new QVBoxLayout(this);
  auto* menu = new QMenuBar(this);
  QMenu* file = menu->addMenu("&File");
  connect(file->addAction("&Close"), &QAction::triggered, this, [this] { finish(Result::None); });
  layout->setMenuBar(menu);

  pathBox_ = new QLineEdit(this);
  layout->addWidget(pathBox_);
  auto* split = new QSplitter(this);
  dirs_ = new QFileSystemModel(this);
  dirs_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  dirs_->setRootPath(QString());
  tree_ = new QTreeView(split);
  tree_->setModel(dirs_);
  for (int c = 1; c < dirs_->columnCount(); ++c) tree_->hideColumn(c);
  tree_->setHeaderHidden(true);
  files_ = new QFileSystemModel(this);
  files_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot);
  files_->setNameFilterDisables(false);
  list_ = new QListView(split);
  list_->setModel(files_);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  split->setStretchFactor(1, 2);
  layout->addWidget(split, 1);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(new QLabel("Files of type:", this));
  types_ = new QComboBox(this);
  types_->addItems(exploreTypeNames());
  bottom->addWidget(types_, 1);
  auto* open = new QPushButton("&Open", this);
  auto* cancel = new QPushButton("&Cancel", this);
  auto* browse = new QPushButton("CAD &Browse ", this);
  open->setDefault(true);
  bottom->addWidget(open);
  bottom->addWidget(cancel);
  bottom->addWidget(browse);
  layout->addLayout(bottom);

  connect(open, &QPushButton::clicked, this, &TfrmExplore::openClicked);
  connect(cancel, &QPushButton::clicked, this, [this] { finish(Result::None); });
  connect(browse, &QPushButton::clicked, this, &TfrmExplore::browseClicked);
  connect(types_, &QComboBox::currentIndexChanged, this, [this](int i) {
    const QString mask = exploreTypeMask(i);
    if (!mask.isEmpty()) files_->setNameFilters(mask.split(';'));
  });
  connect(tree_, &QTreeView::clicked, this, [this](const QModelIndex& i) { setFolder(dirs_->filePath(i)); });
  connect(pathBox_, &QLineEdit::returnPressed, this, [this] {
    if (QFileInfo(pathBox_->text()).isDir()) setFolder(pathBox_->text());
  });
  connect(list_, &QListView::doubleClicked, this, [this](const QModelIndex& i) { entryActivated(files_->fileName(i)); });

  types_->setCurrentIndex(0);
  files_->setNameFilters(exploreTypeMask(0).split(';'));
  setFolder(folder.isEmpty() || !QFileInfo(folder).isDir() ? QDir::homePath() : folder);
}

TfrmExplore& TfrmExplore::instance(TMainForm& main) {
  static QPointer<TfrmExplore> dialog;
  if (!dialog) dialog = new TfrmExplore(main.settings().openDir, &main);
  return *dialog;
}

TfrmExplore::Result TfrmExplore::run() {
  result_ = Result::None;
  exec();
  return result_;
}

void TfrmExplore::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  tree_->setFocus();
}

void TfrmExplore::finish(Result r) {
  result_ = r;
  if (r == Result::None) reject();
  else accept();
}

QString TfrmExplore::folderPath() const {
  QString f = QDir::toNativeSeparators(folder_);
  if (!f.endsWith(QDir::separator())) f += QDir::separator();
  return f;
}

void TfrmExplore::setFolder(const QString& folder) {
  folder_ = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
  pathBox_->setText(QDir::toNativeSeparators(folder_));
  list_->setRootIndex(files_->setRootPath(folder_));
  list_->clearSelection();
  const QModelIndex inTree = dirs_->index(folder_);
  if (inTree.isValid()) {
    tree_->setCurrentIndex(inTree);
    tree_->scrollTo(inTree);
  }
}

QStringList TfrmExplore::selectedEntries() const {
  QStringList out;
  QModelIndexList rows = list_->selectionModel()->selectedIndexes();
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  for (const QModelIndex& i : rows)
    if (i.column() == 0) out << files_->fileName(i);
  return out;
}

void TfrmExplore::selectEntries(const QStringList& names) {
  list_->clearSelection();
  for (const QString& n : names) {
    const QModelIndex i = files_->index(QDir(folder_).filePath(n));
    if (i.isValid()) list_->selectionModel()->select(i, QItemSelectionModel::Select);
  }
}

int TfrmExplore::typeIndex() const { return types_->currentIndex(); }
void TfrmExplore::setTypeIndex(int index) { types_->setCurrentIndex(index); }

void TfrmExplore::openClicked() {
  const QStringList sel = selectedEntries();
  if (!sel.isEmpty() && QFileInfo(folderPath() + sel.first()).isFile()) finish(Result::Open);
}

void TfrmExplore::entryActivated(const QString& name) {
  const QStringList sel = selectedEntries();
  if (!sel.isEmpty() && QFileInfo(folderPath() + sel.first()).isFile()) {
    finish(Result::Open);
    return;
  }
  // Not a file: a folder opens in the list.
  const QString target = folderPath() + name;
  if (QFileInfo(target).isDir()) setFolder(target);
}

void TfrmExplore::browseClicked() {
  collected_ = CollectBrowsePaths(folderPath(), typeIndex());
  if (collected_.isEmpty()) {
    showInfo("No files were found for CAD Browse");
    return;
  }
  finish(Result::Browse);
}

}  // namespace kelvaro
