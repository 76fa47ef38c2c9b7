// kelvaro-cli render FILE OUT.png: the drawing zoomed to its extents (seen from a standard view
// or as a named view shows it when asked), drawn by the viewer's own display code into a picture.
// command.h first: Qt defines "emit" as a macro.
#include "app/cli/command.h"

#include <QColor>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <memory>
#include <regex>

#include "viewer/DrawDrawing.h"
#include "viewer/DrawingSession.h"
#include "viewer/PngFile.h"
#include "viewer/ViewControl.h"

namespace kelvaro::cli {
namespace {

using namespace kelvaro::viewer;

void quietQt(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) qFatal("%s", qPrintable(text));
}

std::unique_ptr<QGuiApplication> ensureGuiApp() {
  if (QCoreApplication::instance()) return {};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "kelvaro-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

void parseSize(const std::string& s, int& w, int& h) {
  std::smatch m;
  static const std::regex re("^([0-9]{1,5})[xX]([0-9]{1,5})$");
  if (!std::regex_match(s, m, re)) throw UsageError("--size must be WIDTHxHEIGHT, for example 1024x768");
  w = std::stoi(m[1]);
  h = std::stoi(m[2]);
  if (w < 1 || h < 1 || w > 16384 || h > 16384) throw UsageError("--size must be between 1x1 and 16384x16384");
}

QColor parseColour(const std::string& s) {
  static const std::regex re("^#[0-9A-Fa-f]{6}$");
  if (!std::regex_match(s, re)) throw UsageError("--background must be #RRGGBB");
  return QColor(QString::fromStdString(s));
}

int run(const std::vector<std::string>& argv, Io& io) {
  Args args = parseArgs(argv, {{"--size"}, {"--space"}, {"--layout"}, {"--allblack", false}, {"--grayscale", false},
                               {"--background"}, {"--quality"}, {"--white-lines", false},
                               {"--view"}, {"--named-view"}});
  if (args.positional.size() < 2) throw UsageError(args.positional.empty() ? "missing argument FILE" : "missing argument OUT.png");
  if (args.positional.size() > 2) throw UsageError("unexpected argument " + args.positional[2]);
  int width = 1024, height = 768;
  if (auto s = args.get("--size")) parseSize(*s, width, height);
  const std::string space = args.get("--space").value_or("model");
  if (space != "model" && space != "paper") throw UsageError("--space must be model or paper");
  DrawSettings settings;
  if (auto b = args.get("--background")) settings.backColor = parseColour(*b);
  settings.display.allBlack = args.flag("--allblack");
  settings.display.grayscale = args.flag("--grayscale");
  settings.lineColor = args.flag("--white-lines") ? TLineColor::White : TLineColor::Black;
  int quality = 10;
  if (args.has("--quality")) {
    const double q = args.number("--quality");
    if (q != static_cast<int>(q) || q < 1 || q > 50) throw UsageError("--quality must be a whole number from 1 to 50");
    quality = static_cast<int>(q);
  }

  std::optional<StandardView> standard;
  if (auto v = args.get("--view")) {
    standard = standardViewByName(*v);
    if (!standard) throw UsageError("--view must be one of top, bottom, left, right, front, back, sw, se, ne, nw");
  }
  const std::optional<std::string> named = args.get("--named-view");
  if (standard && named) throw UsageError("--view and --named-view cannot be used together");
  if (named && named->empty()) throw UsageError("--named-view needs a view name");

  QtMessageHandler previous = qInstallMessageHandler(quietQt);
  struct Restore {
    QtMessageHandler h;
    ~Restore() { qInstallMessageHandler(h); }
  } restore{previous};
  auto app = ensureGuiApp();

  if (!startToolkit(QCoreApplication::applicationDirPath())) throw Failure("the drawing toolkit could not be started");
  // One picture: the drawing is walked straight into it and no display list is kept, which
  // for a large drawing would take several times the memory of the drawing itself.
  cad::adSetKeepDisplayLists(0);
  struct KeepLists {
    ~KeepLists() { cad::adSetKeepDisplayLists(1); }
  } keepLists;
  DrawingSession session;
  session.setPanelSize(width, height);
  session.SetCurveQuality(quality);
  const QString file = QString::fromStdString(args.positional[0]);
  if (session.OpenDrawing(file) != 1) throw FileError("cannot open " + args.positional[0]);

  if (auto name = args.get("--layout")) {
    bool found = false;
    for (const LayoutEntry& e : session.Layouts())
      if (e.caption.compare(QString::fromStdString(*name), Qt::CaseInsensitive) == 0 ||
          (e.kind == LayoutEntry::Kind::Model && (*name == "Model" || *name == "model"))) {
        session.SelectLayout(e);
        found = true;
        break;
      }
    if (!found) throw UsageError("--layout: the drawing has no layout named " + *name);
  } else if (space == "paper") {
    if (!session.paperSpaceAvailable()) throw Failure("the drawing cannot be shown in paper space");
    cad::Handle paper;
    cad::adGetBlockHandle(session.handle(), paper, 0);
    session.SelectLayout(LayoutEntry{"Paper Space", LayoutEntry::Kind::PaperSpace, paper});
  } else if (!session.modelSpace()) {
    session.SelectLayout(LayoutEntry{"Model Space", LayoutEntry::Kind::Model, {}});
  }
  session.ZoomExtents();
  if ((standard || named) && !session.modelSpace()) throw Failure(kModelSpaceOnlyWarning);
  if (standard) {
    // Seen from the new direction the drawing has other extents: frame it again.
    applyStandardView(session.view(), *standard);
    session.ZoomExtents();
  } else if (named) {
    ViewControl control(session);
    const QString wanted = QString::fromStdString(*named);
    bool found = false;
    for (const NamedViewEntry& e : control.NamedViews()) {
      if (e.name.compare(wanted, Qt::CaseInsensitive) != 0) continue;
      if (!control.RestoreNamedView(e)) throw Failure("the view " + *named + " cannot be restored");
      found = true;
      break;
    }
    if (!found) throw UsageError("--named-view: the drawing has no model-space view named " + *named);
  }

  QImage image(width, height, QImage::Format_RGB32);
  TDisplaySink sink;
  TBitmapList bitmaps;
  sink.bitmaps = &bitmaps;
  sink.searchFolders = &session.searchFolders;
  sink.drawingPath = args.positional[0];
  sink.programFolder = QCoreApplication::applicationDirPath().toStdString();
  {
    QPainter painter(&image);
    const double seconds = DrawSessionDrawing(session, sink, painter, settings);
    (void)seconds;
  }
  std::string why;
  const std::string png = viewer::EncodePng(image, &why);
  if (png.empty()) throw FileError("cannot encode " + args.positional[1] + ": " + why);
  writeFileAtomically(args.positional[1], png);
  (void)io;
  // The picture is written: a drawing of some hundred thousand entities takes longer to free
  // than the system takes to drop it.
  exitNow(kOk);
}

}  // namespace

KELVARO_CLI_COMMAND("render", "draw a drawing zoomed to its extents into a PNG picture",
                    "kelvaro-cli render FILE OUT.png [--size WxH] [--space model|paper] [--layout NAME] [--allblack] "
                    "[--grayscale] [--background #RRGGBB] [--quality N] [--white-lines] "
                    "[--view top|bottom|left|right|front|back|sw|se|ne|nw | --named-view NAME]",
                    run);
}  // namespace kelvaro::cli
