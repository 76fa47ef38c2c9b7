#pragma once
// Runs the system's Python with ezdxf as an independent reference.
#include <cstdio>
#include <filesystem>
#include <string>

namespace kelvaro::cad::test {

inline const char* kPython = "/usr/bin/python3";

inline int runCommand(const std::string& cmd, std::string& out) {
  out.clear();
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  while (std::size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  return pclose(p);
}

inline bool haveEzdxf() {
  static int state = -1;
  if (state < 0) {
    std::string out;
    state = std::filesystem::exists(kPython) && runCommand(std::string(kPython) + " -c 'import ezdxf'", out) == 0;
  }
  return state == 1;
}

inline std::string corpusDir() { return std::string(KELVARO_SHARED_DIR) + "/corpus"; }

}  // namespace kelvaro::cad::test
