// kelvaro-cli image FILE [--png OUT.png] [--background #RRGGBB] [--json]: reads a raster image
// the way a drawing's image reference is read, says which decoder took it, and can save what
// the viewer would show.
// command.h first: Qt defines "emit" as a macro.
#include "app/cli/command.h"

#include <QCoreApplication>
#include <QImage>
#include <memory>
#include <ostream>

#include "app/cli/json.h"
#include "viewer/ImageLoader.h"
#include "viewer/PngFile.h"

namespace kelvaro::cli {
namespace {

QRgb parseColour(const std::string& text) {
  std::string hex = text.size() == 7 && text[0] == '#' ? text.substr(1) : std::string();
  if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    throw UsageError("--background must be a colour #RRGGBB");
  return qRgb(std::stoi(hex.substr(0, 2), nullptr, 16), std::stoi(hex.substr(2, 2), nullptr, 16),
              std::stoi(hex.substr(4, 2), nullptr, 16));
}

int run(const std::vector<std::string>& argv, Io& io) {
  Args args = parseArgs(argv, {{"--png"}, {"--background"}, {"--json", false}});
  if (args.positional.empty()) throw UsageError("missing argument FILE");
  if (args.positional.size() > 1) throw UsageError("unexpected argument " + args.positional[1]);
  if (auto bg = args.get("--background")) SetImageBackground(parseColour(*bg));
  // Image plugins are found through the application object; no window system is needed.
  std::unique_ptr<QCoreApplication> app;
  if (!QCoreApplication::instance()) {
    static int argc = 1;
    static char name[] = "kelvaro-cli";
    static char* args0[] = {name, nullptr};
    app = std::make_unique<QCoreApplication>(argc, args0);
  }

  const std::string& file = args.positional[0];
  QImage bitmap;
  const ImageLoadReport report = LoadImageReport(bitmap, QString::fromStdString(file));
  const std::string decoder = report.Decoder ? decoderName(*report.Decoder) : "";
  if (args.flag("--json")) {
    JsonWriter j;
    j.beginObject().field("ok", report.Ok).field("step", report.Step);
    j.key("decoder");
    if (report.Decoder) j.value(decoder);
    else j.null();
    j.field("width", report.Ok ? bitmap.width() : 0).field("height", report.Ok ? bitmap.height() : 0);
    j.field("message", report.Message.toStdString()).endObject();
    io.out << j.str();
  }
  if (!report.Ok) throw FileError(file + ": " + report.Message.toStdString());
  if (!args.flag("--json"))
    io.out << decoder << " " << bitmap.width() << "x" << bitmap.height()
           << (report.Step == 2 ? " by extension" : " by its first bytes") << "\n";
  if (auto png = args.get("--png")) {
    const std::string bytes = viewer::EncodePng(bitmap);
    if (bytes.empty()) throw FileError("cannot write " + *png);
    writeFileAtomically(*png, bytes);
  }
  return kOk;
}

}  // namespace
KELVARO_CLI_COMMAND("image", "read a raster image as a drawing's image reference is read",
                    "kelvaro-cli image FILE [--png OUT.png] [--background #RRGGBB] [--json]", run);
}  // namespace kelvaro::cli
