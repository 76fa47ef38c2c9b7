#pragma once
// The batch tool's command table. Each command lives in its own cmd_*.cpp and registers
// itself with KELVARO_CLI_COMMAND, so adding a command never touches a shared file.
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvaro::cli {

enum Exit : int { kOk = 0, kBadArgs = 2, kFailed = 3, kFileError = 4 };

// Thrown for bad arguments: exit 2 with one line naming the argument.
struct UsageError : std::runtime_error { using std::runtime_error::runtime_error; };
// Thrown when the computation reports a failure: exit 3.
struct Failure : std::runtime_error { using std::runtime_error::runtime_error; };
// Thrown for unreadable or unwritable files: exit 4.
struct FileError : std::runtime_error { using std::runtime_error::runtime_error; };

struct Io {
  std::ostream& out;
  std::ostream& err;
};

struct OptionSpec {
  std::string name;        // with the dashes: "--lat"
  bool takesValue = true;  // false: a flag such as "--json"
};

class Args {
 public:
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;
  std::set<std::string> flags;

  bool flag(const std::string& name) const { return flags.count(name) != 0; }
  bool has(const std::string& name) const { return values.count(name) != 0; }
  std::optional<std::string> get(const std::string& name) const;
  // The value, or UsageError "missing argument NAME".
  const std::string& require(const std::string& name) const;
  double number(const std::string& name) const;                 // UsageError when not a number
  double number(const std::string& name, double fallback) const;
};

// Parses "--name value" and "--name=value"; unknown options and missing values are UsageErrors.
Args parseArgs(const std::vector<std::string>& argv, const std::vector<OptionSpec>& specs);

struct Command {
  std::string name;
  std::string summary;  // one line for the command list
  std::string usage;    // shown by --help
  std::function<int(const std::vector<std::string>& argv, Io& io)> run;
};

void registerCommand(Command cmd);
const std::map<std::string, Command>& commands();

struct Registrar {
  explicit Registrar(Command cmd) { registerCommand(std::move(cmd)); }
};

// Writes `text` to stdout, or to the file named by --output (replaced only once fully written).
void emit(const Args& args, Io& io, const std::string& text);

// Writes bytes to `path` through a temporary file in the same folder; FileError on failure.
void writeFileAtomically(const std::string& path, const std::string& bytes);

// Ends the program with `status` once everything it printed is out, without taking apart what
// it built: a command that has finished with a large drawing leaves freeing it to the system.
[[noreturn]] void exitNow(int status);

}  // namespace kelvaro::cli

#define KELVARO_CLI_CAT2(a, b) a##b
#define KELVARO_CLI_CAT(a, b) KELVARO_CLI_CAT2(a, b)
#define KELVARO_CLI_COMMAND(...) \
  static ::kelvaro::cli::Registrar KELVARO_CLI_CAT(kelvaroCliRegistrar_, __LINE__){::kelvaro::cli::Command{__VA_ARGS__}}
