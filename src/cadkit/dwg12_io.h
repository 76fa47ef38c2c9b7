#pragma once
// Reading DWG files of releases 1.4 to R11/12 and writing releases 2.5 to R11/12.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cadkit/document.h"
#include "cadkit/dwg/dwg_io.h"  // DwgError, shared by every DWG release
#include "cadkit/dxf_io.h"

namespace kelvaro::cad {

// Whether the bytes start with the magic of a release this reader knows.
bool isDwg12(std::string_view data);
// The release name of a pre-R13 magic ("AC2.10" -> "2.10"), or null.
const char* dwg12ReleaseName(std::string_view magic);

// Reads a whole file. Damage the reader can step over (a wrong checksum, a marker out of place,
// an entity it cannot read) is listed in `warnings` and reading goes on; anything else throws
// DwgError. The document's release is the model release the file maps to (1.4 and 2.10 files
// load as 2.5); header.acadver keeps the file's own magic.
Document readDwg12(std::string_view data, std::vector<std::string>* warnings = nullptr);
Document readDwg12File(const std::filesystem::path& path, std::vector<std::string>* warnings = nullptr);

// Reads a DXF file or a DWG file of these releases by its first bytes; throws DxfError or
// DwgError (both std::runtime_error).
Document readDrawingFile(const std::filesystem::path& path, std::vector<std::string>* warnings = nullptr);

// Serialises a drawing as a DWG of release 2.5 to R11/12 (later releases give R11/12). What the
// release cannot hold is converted as for DXF of that release and listed in `report`.
std::string writeDwg12(const Document& doc, Release release, SaveReport* report = nullptr);
// Writes through a temporary file in the target folder renamed over the target; throws
// std::runtime_error when the file cannot be written (the old file is then untouched).
void saveDwg12File(const Document& doc, const std::filesystem::path& path, Release release,
                   SaveReport* report = nullptr);

}  // namespace kelvaro::cad
