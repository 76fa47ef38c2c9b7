#pragma once
// The main window's drawing windows: each holds one TDraftel filling its client area. The
// main window's drawing commands reach the viewer of the active one.
#include <QStringList>
#include <QWidget>

namespace kelvaro {
class TMainForm;
}

namespace kelvaro::viewer {

class TDraftel;

class TMDIChild : public QWidget {
  Q_OBJECT
 public:
  explicit TMDIChild(QWidget* parent = nullptr);
  TDraftel* viewer() const { return viewer_; }

 private:
  TDraftel* viewer_ = nullptr;
};

// The viewer of the active drawing window, or nullptr.
TDraftel* activeViewer(TMainForm& main);
// Opens a drawing in a new drawing window; the window stays closed when the file does not open.
TDraftel* openDrawingWindow(TMainForm& main, const QString& path);
// Connects the drawing commands (Save As, Layouts, Quick Text, Drawing Information, Refresh, the
// zoom commands) to the active viewer, and opens `files` when the main window is first
// activated.
void installDrawingWindows(TMainForm& main, const QStringList& files);

}  // namespace kelvaro::viewer
