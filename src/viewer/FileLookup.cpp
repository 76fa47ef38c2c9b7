#include "viewer/FileLookup.h"

#include <filesystem>

namespace kelvaro::viewer {

namespace fs = std::filesystem;

namespace {
bool isFile(const fs::path& p) {
  std::error_code ec;
  return !p.empty() && fs::is_regular_file(p, ec);
}
}  // namespace

std::string storedFileName(const std::string& storedPath) {
  const auto cut = storedPath.find_last_of("\\/:");
  return cut == std::string::npos ? storedPath : storedPath.substr(cut + 1);
}

std::string findDrawingFile(const std::string& storedPath, const std::string& drawingPath,
                            const std::vector<std::string>& searchFolders) {
  try {
    if (storedPath.empty()) return {};
    if (isFile(storedPath)) return storedPath;
    // A stored Windows path may still name a file here once its slashes are turned.
    std::string turned = storedPath;
    for (char& c : turned)
      if (c == '\\') c = '/';
    if (turned != storedPath && isFile(turned)) return turned;
    const std::string name = storedFileName(storedPath);
    if (name.empty()) return {};
    if (!drawingPath.empty()) {
      fs::path inDrawingFolder = fs::path(drawingPath).parent_path() / name;
      if (isFile(inDrawingFolder)) return inDrawingFolder.string();
    }
    for (const std::string& folder : searchFolders) {
      if (folder.empty()) continue;
      fs::path candidate = fs::path(folder) / name;
      if (isFile(candidate)) return candidate.string();
    }
  } catch (...) {
    // A lookup that fails finds nothing.
  }
  return {};
}

}  // namespace kelvaro::viewer
