#include "cadkit/png_dib.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kelvaro::cad {
namespace {

std::uint32_t be32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

std::string failWith(std::string* error, const char* why) {
  if (error) *error = why;
  return {};
}

int paeth(int a, int b, int c) {
  int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

}  // namespace

std::string pngToDib(std::span<const std::uint8_t> png, std::string* error) {
  static const std::uint8_t kSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8 || std::memcmp(png.data(), kSig, 8) != 0) return failWith(error, "not a PNG picture");
  std::uint32_t w = 0, h = 0;
  int depth = 0, type = -1;
  std::vector<std::uint8_t> packed, palette, trns;
  bool header = false;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t len = be32(png.data() + at);
    if (len > png.size() - at - 12) return failWith(error, "a PNG chunk runs past the end");
    const std::uint8_t* tag = png.data() + at + 4;
    const std::uint8_t* body = tag + 4;
    if (!std::memcmp(tag, "IHDR", 4) && len >= 13) {
      w = be32(body), h = be32(body + 4), depth = body[8], type = body[9];
      if (body[12] != 0) return failWith(error, "interlaced PNG pictures are not supported");
      header = true;
    } else if (!std::memcmp(tag, "PLTE", 4)) {
      palette.assign(body, body + len);
    } else if (!std::memcmp(tag, "tRNS", 4)) {
      trns.assign(body, body + len);
    } else if (!std::memcmp(tag, "IDAT", 4)) {
      packed.insert(packed.end(), body, body + len);
    } else if (!std::memcmp(tag, "IEND", 4)) {
      break;
    }
    at += 12 + std::size_t(len);
  }
  if (!header || w == 0 || h == 0 || w > 8192 || h > 8192) return failWith(error, "the PNG picture has no usable size");
  const int channels = type == 0 ? 1 : type == 2 ? 3 : type == 3 ? 1 : type == 4 ? 2 : type == 6 ? 4 : 0;
  const bool depthOk = depth == 8 || depth == 16 || ((type == 0 || type == 3) && (depth == 1 || depth == 2 || depth == 4));
  if (!channels || !depthOk || (type == 3 && depth == 16)) return failWith(error, "the PNG picture's colour type is not valid");
  const std::size_t bitsPerPixel = std::size_t(channels) * depth;
  const std::size_t rowBytes = (std::size_t(w) * bitsPerPixel + 7) / 8, bpp = std::max<std::size_t>(1, bitsPerPixel / 8);
  // Deflate packs at most about 1032 to 1: a size the data cannot hold is refused before any
  // buffer is made for it.
  if ((rowBytes + 1) * h > packed.size() * 1032 + 64) return failWith(error, "the PNG picture's data is damaged");
  std::vector<std::uint8_t> raw((rowBytes + 1) * h);
  uLongf got = static_cast<uLongf>(raw.size());
  int z = uncompress(raw.data(), &got, packed.data(), static_cast<uLong>(packed.size()));
  if ((z != Z_OK && z != Z_BUF_ERROR) || got != raw.size()) return failWith(error, "the PNG picture's data is damaged");

  // Undo the row filters in place.
  std::vector<std::uint8_t> prev(rowBytes, 0);
  for (std::uint32_t y = 0; y < h; ++y) {
    std::uint8_t* row = raw.data() + y * (rowBytes + 1);
    const int filter = row[0];
    std::uint8_t* px = row + 1;
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const int a = i >= bpp ? px[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0;
      switch (filter) {
        case 0: break;
        case 1: px[i] = static_cast<std::uint8_t>(px[i] + a); break;
        case 2: px[i] = static_cast<std::uint8_t>(px[i] + b); break;
        case 3: px[i] = static_cast<std::uint8_t>(px[i] + ((a + b) >> 1)); break;
        case 4: px[i] = static_cast<std::uint8_t>(px[i] + paeth(a, b, c)); break;
        default: return failWith(error, "the PNG picture's data is damaged");
      }
    }
    std::memcpy(prev.data(), px, rowBytes);
  }

  const std::size_t stride = (std::size_t(w) * 3 + 3) & ~std::size_t(3);
  std::string dib(40 + stride * h, '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) dib[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
  };
  put32(0, 40), put32(4, w), put32(8, h);
  dib[12] = 1, dib[14] = 24;
  put32(20, static_cast<std::uint32_t>(stride * h));
  // One sample of channel `ch` at column x, scaled to 8 bits.
  auto sample = [&](const std::uint8_t* px, std::uint32_t x, int ch) -> int {
    if (depth == 8) return px[x * channels + ch];
    if (depth == 16) return px[(x * channels + ch) * 2];
    const int perByte = 8 / depth, shift = 8 - depth * (1 + int(x % perByte));
    const int v = (px[x / perByte] >> shift) & ((1 << depth) - 1);
    return type == 3 ? v : v * 255 / ((1 << depth) - 1);
  };
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint8_t* px = raw.data() + y * (rowBytes + 1) + 1;
    char* out = dib.data() + 40 + (h - 1 - y) * stride;
    for (std::uint32_t x = 0; x < w; ++x) {
      int r, g, b, alpha = 255;
      if (type == 3) {
        const int i = sample(px, x, 0);
        if (std::size_t(i) * 3 + 2 >= palette.size()) return failWith(error, "the PNG picture's palette is too short");
        r = palette[i * 3], g = palette[i * 3 + 1], b = palette[i * 3 + 2];
        if (std::size_t(i) < trns.size()) alpha = trns[i];
      } else if (channels <= 2) {
        r = g = b = sample(px, x, 0);
        if (channels == 2) alpha = sample(px, x, 1);
      } else {
        r = sample(px, x, 0), g = sample(px, x, 1), b = sample(px, x, 2);
        if (channels == 4) alpha = sample(px, x, 3);
      }
      auto over = [alpha](int c) { return static_cast<char>((c * alpha + 255 * (255 - alpha)) / 255); };
      out[x * 3] = over(b), out[x * 3 + 1] = over(g), out[x * 3 + 2] = over(r);
    }
  }
  return dib;
}

}  // namespace kelvaro::cad
