#pragma once
// Reading and writing whole DXF files.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "cadkit/document.h"
#include "cadkit/dxf_tags.h"

namespace kelvaro::cad {

// Parses ASCII or binary DXF of any release. Throws DxfError with a message naming the line.
// `progress`, when given, hears the percentage read each time it grows by at least one.
using ReadProgress = std::function<void(int percent)>;
Document readDxf(std::string_view data, const ReadProgress& progress = {});
// Reads a file; DxfError also for files that cannot be opened or are DWG.
Document readDxfFile(const std::filesystem::path& path, const ReadProgress& progress = {});
// From how many bytes on an ASCII ENTITIES section is read by two threads (2 MB; tests lower it),
// and how many sections have been read that way since the program started.
void setDxfTwoThreadSize(std::size_t bytes);
std::size_t dxfSectionsReadInTwo();

struct SaveReport {
  // Entities or objects the target release cannot hold, by type, with how many were left out.
  std::map<std::string, int> dropped;
  // Entities turned into an older equivalent (for example "ELLIPSE -> POLYLINE").
  std::map<std::string, int> converted;
};

// Serialises a drawing as a DXF of the given release (the drawing itself is not changed).
std::string writeDxf(const Document& doc, Release release, const WriteOptions& opt, SaveReport* report = nullptr);
// Writes through a temporary file in the target folder renamed over the target; throws
// std::runtime_error with a message when the file cannot be written.
void saveDxfFile(const Document& doc, const std::filesystem::path& path, Release release, const WriteOptions& opt,
                 SaveReport* report = nullptr);

// Converts a drawing in place to what the release can hold (used by writeDxf on a copy).
void prepareForRelease(Document& doc, Release release, SaveReport* report);

// Detects a DWG file by its magic; fills the release when known.
bool isDwg(std::string_view data, std::string* magic = nullptr);

}  // namespace kelvaro::cad
