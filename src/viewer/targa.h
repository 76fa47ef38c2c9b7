#pragma once
// Truevision Targa pictures: colour-mapped (1), true colour (2) and grey (3) images, stored or
// run-length encoded (9, 10, 11); 8, 15, 16, 24 and 32 bits per pixel; colour maps of 15, 16,
// 24 or 32-bit entries; any origin corner; with or without the version 2 footer. Alpha is
// dropped: many writers leave it zero on opaque pictures.
#include <cstdint>
#include <span>

#include "viewer/RasterImage.h"

namespace kelvaro {

// Never reads outside `bytes`; damaged input gives an error, never a partial picture.
RasterResult decodeTarga(std::span<const std::uint8_t> bytes);

}  // namespace kelvaro
