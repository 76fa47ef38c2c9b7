#pragma once
// Drawing windows: each holds one TDraftel filling its client area. Also the main window's
// roads to them: opening by name (history, dropped files, the open dialog, the command line),
// the generated shadow diagrams, and the drawing commands reaching the active viewer.
#include <QStringList>
#include <QWidget>

class QMdiSubWindow;

namespace kelvaro {

class TMainForm;
struct ShadowProfile;
namespace viewer {
class TDraftel;
}

class TMDIChild : public QWidget {
  Q_OBJECT
 public:
  explicit TMDIChild(TMainForm& main, QWidget* parent = nullptr);
  viewer::TDraftel* viewer() const { return viewer_; }
  // The name the history keeps for this window: the drawing's file, or the caption of a
  // generated diagram.
  QString drawingName() const;
  QString caption() const;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  TMainForm& main_;
  viewer::TDraftel* viewer_ = nullptr;
};

// The viewer of the active drawing window, or nullptr.
viewer::TDraftel* activeViewer(TMainForm& main);
// The child window whose caption is exactly `caption`, or nullptr.
QMdiSubWindow* findChildByCaption(TMainForm& main, const QString& caption);

// Opens a drawing in a new drawing window, or brings forward the window of that caption.
// Returns the window's viewer, or nullptr when the file did not open (the viewer said why).
viewer::TDraftel* OpenDrawingWindow(TMainForm& main, const QString& name);
// The same with the wait cursor while a new window loads.
viewer::TDraftel* OpenDrawingWindowWaiting(TMainForm& main, const QString& name);

// A generated shadow diagram in a new drawing window named `caption`.
QMdiSubWindow* OpenDiagramWindow(TMainForm& main, const QString& caption, bool horizontal,
                                 const ShadowProfile& profile);

// The name a command-line argument opens under: trimmed; a network path (two leading
// backslashes, with `windowsRules`) lower-cased as typed; anything else expanded to its full,
// canonical path. Empty when the argument is blank.
QString CommandLineDrawingName(const QString& argument, bool windowsRules);

// Connects the drawing commands, the history entries, dropped files, the open dialog and the
// diagram builders to the main window, and opens `files` when it is first activated.
void installDrawingWindows(TMainForm& main, const QStringList& files);

}  // namespace kelvaro
