// kelvaro-cli: Kelvaro's computations and drawing operations without a window.
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/command.h"
#include "platform/notify.h"

using namespace kelvaro::cli;

static void printCommands(std::ostream& os) {
  os << "usage: kelvaro-cli COMMAND [ARGS]   (kelvaro-cli COMMAND --help for details)\n\ncommands:\n";
  for (const auto& [name, cmd] : commands()) os << "  " << name << "  " << cmd.summary << "\n";
}

int main(int argc, char** argv) {
  // Messages a window would show in a box go to stderr as "KIND: TEXT"; the command goes on.
  kelvaro::setMessageSink([](const kelvaro::Message& m) {
    std::cerr << kelvaro::kindName(m.kind) << ": " << m.text << std::endl;
    return m.buttons == kelvaro::MsgButtons::Ok ? kelvaro::MsgAnswer::Ok : kelvaro::MsgAnswer::Yes;
  });

  if (argc < 2) {
    printCommands(std::cerr);
    return kBadArgs;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    printCommands(std::cout);
    return kOk;
  }
  auto it = commands().find(name);
  if (it == commands().end()) {
    std::cerr << "kelvaro-cli: unknown command '" << name << "'\n";
    return kBadArgs;
  }
  std::vector<std::string> rest(argv + 2, argv + argc);
  for (const auto& a : rest) {
    if (a == "--help" || a == "-h") {
      std::cout << it->second.usage << "\n";
      return kOk;
    }
  }
  Io io{std::cout, std::cerr};
  try {
    return it->second.run(rest, io);
  } catch (const UsageError& e) {
    std::cerr << "kelvaro-cli " << name << ": " << e.what() << "\n";
    return kBadArgs;
  } catch (const FileError& e) {
    std::cerr << "kelvaro-cli " << name << ": " << e.what() << "\n";
    return kFileError;
  } catch (const Failure& e) {
    std::cerr << e.what() << "\n";
    return kFailed;
  } catch (const std::exception& e) {
    std::cerr << "kelvaro-cli " << name << ": " << e.what() << "\n";
    return kFailed;
  }
}
