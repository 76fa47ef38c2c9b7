#pragma once
// The sections of a DWG file as plain byte buffers, whatever container stored them: R13-2000
// keep them in place behind locators, 2004 and later in compressed pages behind a section map,
// 2007 with its own page encoding on top. Everything above this reads sections, never pages.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cadkit/types.h"

namespace kelvaro::cad::dwg {

struct SectionBuffers {
  Release release = Release::R2000;
  std::uint8_t maint = 0;
  std::uint16_t codepage = 30;
  // Each span points into `file` (R13-2000) or into `storage`. Empty when the file has none.
  // header and classes start at their begin sentinel as in every release; handles is the
  // object map; objects is what the object map's offsets count from.
  std::span<const std::uint8_t> header, classes, handles, objects, preview, summaryInfo, appInfo;
  std::vector<std::vector<std::uint8_t>> storage;
};

// 2004, 2010, 2013 and 2018 (AC1018, AC1024, AC1027, AC1032). Throws DwgError when the file
// cannot be read at all; damaged pages are warnings and leave their section short or empty.
SectionBuffers readSections2004(std::span<const std::uint8_t> file, std::vector<std::string>& warnings);
// 2007 (AC1021).
SectionBuffers readSections2007(std::span<const std::uint8_t> file, std::vector<std::string>& warnings);

}  // namespace kelvaro::cad::dwg
