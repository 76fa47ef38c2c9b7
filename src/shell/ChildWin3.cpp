#include "shell/ChildWin3.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "cadkit/toolkit.h"
#include "platform/notify.h"
#include "shell/Childwin.h"
#include "shell/Main.h"
#include "viewer/DrawDrawing.h"
#include "viewer/TDraftel.h"

namespace kelvaro {

namespace {
const char* kTilePath = "kelvaroTilePath";
// Drawings larger than this get no drawn thumbnail: a folder of big files stays quick to browse.
constexpr qint64 kLargestDrawnThumbnail = 16 * 1024 * 1024;

QString scratchFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  if (folder.isEmpty() || !QDir().mkpath(folder)) folder = QDir::tempPath();
  return folder;
}

QImage drawnThumbnail(const QString& path) {
  QFileInfo fi(path);
  if (!fi.isFile() || fi.size() > kLargestDrawnThumbnail) return {};
  // Unreadable drawings simply get no picture: the browse window asks nothing.
  MessageCapture quiet;
  viewer::DrawingSession session;
  session.setPanelSize(kTileWidth, kTileHeight);
  if (session.OpenDrawing(path) != 1) return {};
  session.ZoomExtents();
  QImage image(kTileWidth, kTileHeight, QImage::Format_RGB32);
  viewer::TDisplaySink sink;
  viewer::TBitmapList bitmaps;
  sink.bitmaps = &bitmaps;
  sink.drawingPath = path.toStdString();
  sink.programFolder = viewer::TDraftel::programFolder().toStdString();
  viewer::DrawSettings settings;
  QPainter p(&image);
  viewer::DrawSessionDrawing(session, sink, p, settings);
  p.end();
  if (!quiet.messages().empty()) return {};
  return image;
}
}  // namespace

std::vector<QPoint> BrowseTileOrigins(int count, int clientWidth) {
  std::vector<QPoint> out;
  out.reserve(static_cast<std::size_t>(std::max(count, 0)));
  int left = 10, top = 10;
  for (int i = 0; i < count; ++i) {
    out.emplace_back(left, top);
    left += kTileWidth + 10;
    if (clientWidth < left + kTileWidth) {
      left = 10;
      top += kTileHeight + 10;
    }
  }
  return out;
}

QImage NoImagePicture() {
  QImage image(kTileWidth - 20, kTileHeight - 30, QImage::Format_RGB32);
  image.fill(QColor(0xE0, 0xE0, 0xE0));
  QPainter p(&image);
  p.setPen(QColor(0x80, 0x80, 0x80));
  p.drawRect(image.rect().adjusted(0, 0, -1, -1));
  p.drawLine(image.rect().topLeft(), image.rect().bottomRight());
  p.drawLine(image.rect().bottomLeft(), image.rect().topRight());
  QFont f = p.font();
  f.setBold(true);
  p.setFont(f);
  p.fillRect(QRect(30, 26, image.width() - 60, 18), QColor(0xE0, 0xE0, 0xE0));
  p.setPen(Qt::black);
  p.drawText(image.rect(), Qt::AlignCenter, "NOIMAGE");
  return image;
}

QImage DrawingThumbnail(const QString& path, const QString& scratchBitmap, QString* source) {
  auto said = [source](const char* s) {
    if (source) *source = s;
  };
  if (QFileInfo(path).isFile()) {
    QFile::remove(scratchBitmap);
    const std::string d = QFile::encodeName(path).toStdString(), b = QFile::encodeName(scratchBitmap).toStdString();
    if (cad::adExtractBmpFromFileToFile(d.c_str(), b.c_str()) > 0) {
      QImage stored(scratchBitmap);
      if (!stored.isNull()) {
        said("preview");
        return stored;
      }
    }
    QImage drawn = drawnThumbnail(path);
    if (!drawn.isNull()) {
      said("drawn");
      return drawn;
    }
  }
  said("none");
  return NoImagePicture();
}

TMDIChild3::TMDIChild3(TMainForm& main, QWidget* parent) : QWidget(parent), main_(main) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(this);
  canvas_ = new QWidget;
  canvas_->resize(kTileWidth + 20, kTileHeight + 20);
  scroll->setWidget(canvas_);
  layout->addWidget(scroll);
}

void TMDIChild3::addTile(const QString& path, QPoint origin, const QImage& picture) {
  auto* tile = new QWidget(canvas_);
  tile->setGeometry(origin.x(), origin.y(), kTileWidth, kTileHeight);
  tile->setProperty(kTilePath, path);
  tile->setAutoFillBackground(true);
  const QString name = QFileInfo(path).fileName();
  auto* image = new QLabel(tile);
  image->setGeometry(0, 0, kTileWidth, kTileHeight);
  image->setAlignment(Qt::AlignCenter);
  image->setPixmap(QPixmap::fromImage(picture));
  image->setCursor(Qt::PointingHandCursor);
  image->setToolTip(name);
  auto* label = new QLabel(name, tile);
  label->move(2, 85);
  label->resize(kTileWidth - 4, 14);
  label->setAttribute(Qt::WA_TranslucentBackground);
  label->setStyleSheet("color: black; background: transparent;");
  label->setCursor(Qt::PointingHandCursor);
  label->setToolTip(name);
  for (QLabel* l : {image, label}) {
    l->setProperty(kTilePath, path);
    l->installEventFilter(this);
  }
  tile->show();
  tiles_.push_back(tile);
  canvas_->resize(std::max(canvas_->width(), origin.x() + kTileWidth + 10),
                  std::max(canvas_->height(), origin.y() + kTileHeight + 10));
}

bool TMDIChild3::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
    const QString path = o->property(kTilePath).toString();
    if (!path.isEmpty()) {
      OpenDrawingWindow(main_, path);
      return true;
    }
  }
  return QWidget::eventFilter(o, e);
}

QMdiSubWindow* ShowBrowseWindow(TMainForm& main, const QString& folder, const QStringList& paths) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const QString scratch = QDir(scratchFolder()).filePath("temp.bmp");
  struct Cleanup {
    QString file;
    ~Cleanup() {
      QFile::remove(file);
      QApplication::restoreOverrideCursor();
    }
  } cleanup{scratch};
  auto* browse = new TMDIChild3(main);
  QMdiSubWindow* sub = main.addChild(browse, ChildKind::Browse, "Browse Directory - " + folder);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  if (!main.toolkitReady()) main.setToolkitReady(viewer::startToolkit(viewer::TDraftel::programFolder()));
  const auto origins = BrowseTileOrigins(static_cast<int>(paths.size()), main.mdiArea()->viewport()->width());
  for (int i = 0; i < paths.size(); ++i) {
    try {
      browse->addTile(paths[i], origins[static_cast<std::size_t>(i)], DrawingThumbnail(paths[i], scratch));
    } catch (...) {
      // One tile that cannot be built does not stop the others.
    }
  }
  main.SetCommandState(CommandState::Browse);
  main.settings().openDir = folder;
  return sub;
}

}  // namespace kelvaro
