// kelvaro-cli convert IN OUT --release R [--binary]: saves a drawing as another release, DWG or DXF.
#include <filesystem>
#include <ostream>

#include "app/cli/command.h"
#include "cadkit/dwg12_io.h"
#include "cadkit/dwg/dwg_io.h"
#include "cadkit/dxf_io.h"

namespace kelvaro::cli {
namespace {
using namespace kelvaro::cad;

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c += 32;
  return s;
}

int run(const std::vector<std::string>& argv, Io& io) {
  Args args = parseArgs(argv, {{"--release"}, {"--binary", false}, {"--places"}, {"--no-zero-suppression", false}});
  if (args.positional.size() < 2) throw UsageError(args.positional.empty() ? "missing argument IN" : "missing argument OUT");
  if (args.positional.size() > 2) throw UsageError("unexpected argument " + args.positional[2]);
  const std::string& in = args.positional[0];
  const std::string& out = args.positional[1];
  std::string rel = args.get("--release").value_or("2000");
  static const char* names[] = {"2.5", "2.6", "9", "10", "11/12", "13", "14", "2000"};
  int index = -1;
  for (int i = 0; i < 8; ++i)
    if (rel == names[i] || (i == 4 && (rel == "11" || rel == "12"))) index = i;
  if (index < 0) throw UsageError("--release must be one of 2.5, 2.6, 9, 10, 11/12, 13, 14, 2000");
  WriteOptions opt;
  opt.binary = args.flag("--binary");
  opt.places = static_cast<int>(args.number("--places", 16));
  if (opt.places < 0 || opt.places > 16) throw UsageError("--places must be 0 to 16");
  opt.zeroes = !args.flag("--no-zero-suppression");
  std::string ext = lower(std::filesystem::path(out).extension().string());
  if (ext != ".dxf" && ext != ".dwg") throw UsageError("OUT must end in .dxf or .dwg");
  if (!std::filesystem::exists(in)) throw FileError("Could not find file " + in);
  Document doc;
  std::vector<std::string> warnings;
  try {
    doc = readDrawingFile(in, &warnings);
  } catch (const std::runtime_error& e) {
    throw FileError(in + ": " + e.what());
  }
  for (const auto& w : warnings) io.err << "warning: " << in << ": " << w << "\n";
  SaveReport report;
  try {
    if (ext == ".dwg" && index <= 4) saveDwg12File(doc, out, releaseFromIndex(index), &report);
    else if (ext == ".dwg") saveDwgFile(doc, out, releaseFromIndex(index), &report);
    else saveDxfFile(doc, out, releaseFromIndex(index), opt, &report);
  } catch (const std::exception& e) {
    throw FileError(e.what());
  }
  for (const auto& [what, n] : report.converted) io.err << "note: " << n << " x " << what << "\n";
  for (const auto& [what, n] : report.dropped)
    io.err << "note: " << n << " x " << what << " left out (release " << names[index] << " cannot hold it)\n";
  return kOk;
}
}  // namespace
KELVARO_CLI_COMMAND("convert", "save a drawing as another release (DWG or DXF, ASCII or binary)",
                    "kelvaro-cli convert IN OUT --release 2.5|2.6|9|10|11/12|13|14|2000 [--binary] [--places N] "
                    "[--no-zero-suppression]",
                    run);
}  // namespace kelvaro::cli
