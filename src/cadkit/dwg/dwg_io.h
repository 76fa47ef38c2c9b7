#pragma once
// Reading and writing DWG files of releases 13, 14 and 2000.
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "cadkit/document.h"
#include "cadkit/dxf_io.h"

namespace kelvaro::cad {

// A file that cannot be read as DWG at all (wrong release, no object map ...).
struct DwgError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct DwgReadReport {
  std::vector<std::string> warnings;  // check value mismatches, objects that could not be read
};

// Whether the release of this magic is one the DWG reader handles.
bool dwgReadable(std::string_view magic);

Document readDwg(std::span<const std::uint8_t> file, DwgReadReport* report = nullptr);
Document readDwgFile(const std::filesystem::path& path, DwgReadReport* report = nullptr);

// The stored preview picture as a device-independent bitmap (no file header); empty if none.
std::string dwgPreviewDib(std::span<const std::uint8_t> file);
// The stored preview of files that keep it as a PNG picture (2013 and later); empty if none.
std::vector<std::uint8_t> dwgPreviewPng(std::span<const std::uint8_t> file);

// R13, R14 or 2000 (later releases are written as 2000). Objects that cannot be written are
// left out and listed in the report.
std::vector<std::uint8_t> writeDwg(const Document& doc, Release release, SaveReport* report = nullptr);
// Through a temporary file in the target folder renamed over the target.
void saveDwgFile(const Document& doc, const std::filesystem::path& path, Release release, SaveReport* report = nullptr);

}  // namespace kelvaro::cad
