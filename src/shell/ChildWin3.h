#pragma once
// TMDIChild3: the browse window, a grid of 180 x 100 thumbnails of one folder's drawings;
// clicking a tile opens its drawing.
#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <vector>

class QImage;
class QMdiSubWindow;

namespace kelvaro {

class TMainForm;

inline constexpr int kTileWidth = 180;
inline constexpr int kTileHeight = 100;

// Top-left corners of `count` tiles laid out for a client area `clientWidth` wide: from
// (10, 10) to the right, 10 apart, a new row when the next tile would not fit.
std::vector<QPoint> BrowseTileOrigins(int count, int clientWidth);

// The picture of a drawing without one of its own.
QImage NoImagePicture();
// The tile picture of a drawing: its stored preview (extracted through `scratchBitmap`), else a
// small drawing of it made by the viewer's display, else NoImagePicture(). Never shows a message.
QImage DrawingThumbnail(const QString& path, const QString& scratchBitmap, QString* source = nullptr);

class TMDIChild3 : public QWidget {
  Q_OBJECT
 public:
  explicit TMDIChild3(TMainForm& main, QWidget* parent = nullptr);
  // Adds a tile for `path` at `origin` with `picture`.
  void addTile(const QString& path, QPoint origin, const QImage& picture);
  int tileCount() const { return static_cast<int>(tiles_.size()); }
  QWidget* tile(int i) const { return tiles_.at(static_cast<std::size_t>(i)); }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  TMainForm& main_;
  QWidget* canvas_ = nullptr;
  std::vector<QWidget*> tiles_;
};

// Builds a browse window of `paths` (the open dialog's collected paths) for `folder`.
QMdiSubWindow* ShowBrowseWindow(TMainForm& main, const QString& folder, const QStringList& paths);

}  // namespace kelvaro
