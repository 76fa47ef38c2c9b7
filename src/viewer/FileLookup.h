#pragma once
// Where a file a drawing names (shape or font file, external reference, raster image) is
// looked for: the stored path, then the drawing's folder, then each search folder. Plain C++.
#include <string>
#include <vector>

namespace kelvaro::viewer {

// The last component of a stored path, which may use either kind of slash (drawings made on
// Windows store "C:\images\site.jpg").
std::string storedFileName(const std::string& storedPath);

// Returns the first existing file, or empty. Never throws.
std::string findDrawingFile(const std::string& storedPath, const std::string& drawingPath,
                            const std::vector<std::string>& searchFolders);

}  // namespace kelvaro::viewer
