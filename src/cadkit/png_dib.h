#pragma once
// Later DWG releases store their preview as a PNG picture; the toolkit hands previews out as
// bitmaps, so the PNG is decoded here (zlib for the inflating, no image library).
#include <cstdint>
#include <span>
#include <string>

namespace kelvaro::cad {

// The picture as a device-independent bitmap (40-byte header, 24-bit rows bottom-up), or ""
// with `error` set when the data is not a PNG this decoder takes (non-interlaced, any colour
// type, 1 to 16 bits). Transparent pixels are laid on white.
std::string pngToDib(std::span<const std::uint8_t> png, std::string* error = nullptr);

}  // namespace kelvaro::cad
