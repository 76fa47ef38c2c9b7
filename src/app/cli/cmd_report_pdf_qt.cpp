// The report command's PDF output: the report window's own printing path.
// command.h first: Qt defines "emit" as a macro.
#include "app/cli/command.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <filesystem>
#include <memory>
#include <random>

#include "app/cli/support_report.h"
#include "reports/ReportDocument.h"

namespace kelvaro::cli {
namespace {

// Qt's own notes (a missing runtime folder and the like) are no messages for the user here.
void quietQt(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) qFatal("%s", qPrintable(text));
}

void writePdf(const std::string& html, const std::string& path, const ReportPdfOptions& options) {
  QtMessageHandler previous = qInstallMessageHandler(quietQt);
  struct Restore {
    QtMessageHandler h;
    ~Restore() { qInstallMessageHandler(h); }
  } restore{previous};
  // Laying out text needs a GUI application; the batch tool has no screen.
  std::unique_ptr<QGuiApplication> app;
  if (!QCoreApplication::instance()) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "kelvaro-cli";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  namespace fs = std::filesystem;
  fs::path target(path);
  fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  fs::path tmp = dir / (".~" + target.filename().string() + "." + std::to_string(std::random_device{}()) + ".tmp");

  auto doc = reports::makeReportDocument(html, {QString::fromStdString(options.fontName), options.fontSize});
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(tmp.string()));
    reports::printReportDocument(*doc, printer);
  }
  std::error_code ec;
  if (!fs::exists(tmp, ec) || fs::file_size(tmp, ec) == 0) {
    fs::remove(tmp, ec);
    throw FileError("cannot write " + path);
  }
  fs::rename(tmp, target, ec);
  if (ec) {
    fs::remove(tmp, ec);
    throw FileError("cannot write " + path);
  }
}

struct Install {
  Install() { setReportPdfWriter(writePdf); }
} install;

}  // namespace
}  // namespace kelvaro::cli
