// TDraftel's shadow diagram commands: the template from the resources becomes a new drawing.
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "cadkit/acad_date.h"
#include "platform/notify.h"
#include "viewer/ShadowDiagram.h"
#include "viewer/TDraftel.h"

static void initDiagramResources() { Q_INIT_RESOURCE(diagrams); }

namespace kelvaro::viewer {

namespace {
const char* kNoTemplate = "Could not create shadow diagram. Unable to lock resource.";
}

QString TDraftel::diagramScratchFile() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  if (folder.isEmpty() || !QDir().mkpath(folder)) folder = QDir::tempPath();
  return QDir(folder).filePath("temp.dwg");
}

int TDraftel::CreateHorizontalDiagram(const QString& caption, const ShadowProfile& profile) {
  return createDiagram(caption, profile, false);
}

int TDraftel::CreateVerticalDiagram(const QString& caption, const ShadowProfile& profile) {
  return createDiagram(caption, profile, true);
}

int TDraftel::createDiagram(const QString& caption, const ShadowProfile& profile, bool vertical) {
  const ShadowProfile copy = profile;
  initDiagramResources();
  QFile resource(":/kelvaro/CADTEMP");
  QByteArray bytes;
  if (resource.open(QIODevice::ReadOnly)) bytes = resource.readAll();
  if (bytes.isEmpty()) {
    showError(kNoTemplate);
    return 0;
  }
  // A second diagram of the run replaces the scratch file; a failed write leaves it as it was.
  const QString scratch = diagramScratchFile();
  QSaveFile out(scratch);
  if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
    showError(("Could not create shadow diagram. Cannot write " + QDir::toNativeSeparators(scratch) + ": " +
               out.errorString())
                  .toStdString());
    return 0;
  }
  if (OpenDrawing(scratch) <= 0) return 0;
  {
    BusyGuard guard(session_.busy);
    if (!guard) return 0;
    const cad::AcadDate now = cad::acadNow();
    const bool built = vertical ? BuildVerticalDiagram(session_.handle(), copy, now)
                                : BuildHorizontalDiagram(session_.handle(), copy, now);
    if (!built) {
      showError(kNoTemplate);
      return 0;
    }
    session_.setPanelSize(width(), height());
    session_.ShowGenerated(caption);
  }
  unsetCursor();
  bitmaps_.clear();
  Redraw();
  return 1;
}

}  // namespace kelvaro::viewer
