#pragma once
// ZSoft PCX pictures, versions 0 to 5: 1, 2, 4 or 8 bits per plane in 1 to 4 planes, either
// run-length encoded or stored; colours from the 16-entry header palette (or the default EGA
// colours for version 3 and all-zero palettes), the 256-colour palette after the 0x0C marker at
// the end, black and white for one-bit pictures, or straight RGB for 8-bit three and four plane
// pictures (the fourth plane is dropped).
#include <cstdint>
#include <span>

#include "viewer/RasterImage.h"

namespace kelvaro {

// Never reads outside `bytes`; damaged input gives an error, never a partial picture.
RasterResult decodePcx(std::span<const std::uint8_t> bytes);

}  // namespace kelvaro
