#pragma once
// Pictures the batch tool writes are encoded here rather than by an image library: a drawing is
// mostly one background colour with thin lines, which a cheap row filter choice and a fast
// deflate level handle well, and bands of rows are compressed on all cores at once.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kelvaro::cad {

struct PngWriteOptions {
  bool alpha = false;         // RGBA (colour type 6) instead of RGB (colour type 2)
  int threads = 0;            // 0: one per core; the bytes written never depend on it
  std::size_t bandBytes = 0;  // filtered bytes per independently deflated band; 0: the default
};

// The PNG file of `height` rows of `width` pixels, row y starting `stride` bytes after row y-1,
// each pixel a native-endian 32-bit 0xAARRGGBB value (as QImage's RGB32 and ARGB32 keep them).
// The same pixels and options always give the same bytes. Returns "" with `error` set when the
// size is not usable, `pixels` is too short for it, or memory runs out.
std::string pixelsToPng(std::span<const std::uint8_t> pixels, int width, int height, std::size_t stride,
                        std::string* error = nullptr, const PngWriteOptions& options = {});

}  // namespace kelvaro::cad
