#pragma once
// TMainForm: the MDI frame that owns every document window, carries the menus, toolbars and
// status bar, and turns each command into a call on the active drawing or the settings dialog.
#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>

#include "shadow/shadow.h"
#include "shell/MainSettings.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QToolButton;
class QUrl;

namespace kelvaro {


enum class CommandState { None, Drawing, Browse };

// What an MDI child is, for the command state and the notifications.
enum class ChildKind { Other, Drawing, Browse };
void setChildKind(QMdiSubWindow* child, ChildKind kind);
ChildKind childKind(const QMdiSubWindow* child);

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // Reads the stored settings; `programFolder` is the default open folder.
  explicit TMainForm(const QString& programFolder, QWidget* parent = nullptr);
  ~TMainForm() override;  // writes the settings

  // The one main window of the run (children notify it), or nullptr.
  static TMainForm* instance();

  // The settings dialog the Shadow commands open (created after the main window).
  void setShadowDialog(TfrmShadow* dialog) { frmShadow_ = dialog; }

  // Hooks for subsystems that come later.
  // Opens a drawing by name (history entries, dropped files).
  std::function<void(const QString& name)> openDrawing;
  // The open dialog, once drawing windows are installed.
  std::function<void()> openCadFile;
  // Builds a generated shadow diagram into a new drawing window and returns it; without it a
  // placeholder window that only carries the caption is made.
  std::function<QMdiSubWindow*(const QString& caption, bool horizontal, TfrmShadow& dialog)> buildShadowDrawing;
  // Hands a web page to the desktop's browser; false when none could be started.
  std::function<bool(const QUrl& page)> openWebPage;

  // Adds an MDI child (maximised) of the given kind and sets the command state for it.
  QMdiSubWindow* addChild(QWidget* content, ChildKind kind, const QString& caption);

  QMdiArea* mdiArea() const { return mdi_; }
  MainSettings& settings() { return settings_; }
  const MainSettings& settings() const { return settings_; }
  QAction* action(const QString& name) const { return actions_.value(name); }
  QMenu* fileMenu() const { return fileMenu_; }
  QToolBar* toolBar(int band) const;
  QLabel* statusPanel(int i) const;
  CommandState commandState() const { return state_; }
  int generatedCount() const { return generatedCount_; }
  // Set once the CAD toolkit has been started by a drawing load or a browse window.
  bool toolkitReady() const { return toolkitReady_; }
  void setToolkitReady(bool ready) { toolkitReady_ = ready; }

  void SetCommandState(CommandState state);
  void RebuildHistoryMenu();
  void PromoteInHistory(const QString& name);

  // Notifications from child windows and viewers: synchronous calls.
  void UM_HISTORYCHANGED();
  void UM_CHILDDESTROYED();
  void UM_FILENAMECHANGED(const QString& currentFileName);
  void UM_DRAWINGACTIVATED();
  void UM_CURSORMOVED(double x, double y);
  void UM_REDRAWTIMED(double seconds);
  void UM_BROWSEACTIVATED();

  // The Shadow menu commands (public for the toolbar and tests).
  void ShadowHorizontal();
  void ShadowVertical();
  void ShadowOverhang();
  void ShadowFin();
  void View3D();
  void SunData();
  void SolarCalculator();

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  // Stacks the children full width from top to bottom (horizontal) or side by side.
  void tileChildren(bool horizontal);
  QAction* makeAction(const QString& name, const QString& caption, const QString& hint,
                      const QKeySequence& shortcut = {});
  void buildActions();
  void buildMenus();
  void buildToolBars();
  void buildStatusBar();
  void applySettings();
  void runAnalysis(ShadowMode mode);
  void makeGeneratedDrawing(bool horizontal);
  bool activeIsDrawing() const;
  void rebuildWindowMenu();
  void showAbout();
  void showSupport();
  void checkWeb();

  MainSettings settings_;
  QMdiArea* mdi_ = nullptr;
  QHash<QString, QAction*> actions_;
  QMenu* fileMenu_ = nullptr;
  QMenu* zoomMenu_ = nullptr;
  QMenu* views3dMenu_ = nullptr;
  QMenu* rotateMenu_ = nullptr;
  QMenu* windowMenu_ = nullptr;
  QAction* historySeparator_ = nullptr;  // fixed separator before the history entries
  QList<QAction*> historyItems_;         // entries plus their trailing separator
  QToolBar* bands_[3] = {};
  QToolButton* views3dButton_ = nullptr;
  QToolButton* rotateButton_ = nullptr;
  QLabel* panels_[4] = {};
  bool visShadow_ = true;
  CommandState state_ = CommandState::None;
  int generatedCount_ = 0;
  bool toolkitReady_ = false;
  QPointer<TfrmShadow> frmShadow_;
};

}  // namespace kelvaro
