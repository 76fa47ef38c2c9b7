#include <ostream>

#include "app/cli/command.h"
#include "app/version.h"

namespace kelvaro::cli {
namespace {
int run(const std::vector<std::string>& argv, Io& io) {
  Args args = parseArgs(argv, {});
  if (!args.positional.empty()) throw UsageError("unexpected argument " + args.positional.front());
  io.out << kApplicationTitle << " " << kVersionText << "\n";
  return kOk;
}
}  // namespace
KELVARO_CLI_COMMAND("version", "print the program's name and version", "kelvaro-cli version", run);
}  // namespace kelvaro::cli
