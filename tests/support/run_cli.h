#pragma once
// Runs the built kelvaro-cli as a user would and captures what it prints.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace kelvaro::test {

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string shellQuote(const std::string& s) {
  std::string r = "'";
  for (char c : s) r += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

inline std::string cliPath() { return std::string(KELVARO_BINARY_DIR) + "/src/app/kelvaro-cli"; }

inline std::string readAll(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

inline CliResult runCli(const std::vector<std::string>& args) {
  namespace fs = std::filesystem;
  static int counter = 0;
  fs::path dir = fs::temp_directory_path() / ("kelvaro-cli-test-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::path out = dir / ("out" + std::to_string(counter) + ".txt");
  fs::path err = dir / ("err" + std::to_string(counter++) + ".txt");
  std::string cmd = shellQuote(cliPath());
  for (const auto& a : args) cmd += " " + shellQuote(a);
  cmd += " >" + shellQuote(out.string()) + " 2>" + shellQuote(err.string()) + " </dev/null";
  int raw = std::system(cmd.c_str());
  CliResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = readAll(out);
  r.err = readAll(err);
  fs::remove(out);
  fs::remove(err);
  return r;
}

}  // namespace kelvaro::test
