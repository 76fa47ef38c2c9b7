#include "viewer/targa.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kelvaro {
namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::size_t kFooterSize = 26;
constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";  // 18 bytes with its terminating zero

std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t le32(const std::uint8_t* p) { return std::uint32_t(le16(p)) | (std::uint32_t(le16(p + 2)) << 16); }

RasterResult fail(std::string why) {
  RasterResult r;
  r.Error = "Targa: " + std::move(why);
  return r;
}

std::uint8_t expand5(unsigned v) { return std::uint8_t((v << 3) | (v >> 2)); }

// One colour from a 15/16, 24 or 32-bit little-endian BGR(A) value.
void toRgb(const std::uint8_t* src, int bytesPerPixel, std::uint8_t* out) {
  if (bytesPerPixel == 2) {
    const unsigned v = le16(src);
    out[0] = expand5((v >> 10) & 31);
    out[1] = expand5((v >> 5) & 31);
    out[2] = expand5(v & 31);
  } else {
    out[0] = src[2];
    out[1] = src[1];
    out[2] = src[0];
  }
}

// Pixels in file order, one row at a time. Packets may continue into the next row (version 1
// files do), so the state of the current packet is kept between calls.
class RowSource {
 public:
  RowSource(const std::uint8_t* begin, const std::uint8_t* end, int bytesPerPixel, bool rle)
      : p_(begin), end_(end), bpp_(std::size_t(bytesPerPixel)), rle_(rle) {}

  bool fill(std::uint8_t* dst, std::size_t pixels) {
    if (!rle_) return take(dst, pixels);
    std::size_t i = 0;
    while (i < pixels) {
      if (runLeft_) {
        const std::size_t k = std::min(runLeft_, pixels - i);
        for (std::size_t j = 0; j < k; ++j) std::memcpy(dst + (i + j) * bpp_, run_.data(), bpp_);
        i += k;
        runLeft_ -= k;
      } else if (rawLeft_) {
        const std::size_t k = std::min(rawLeft_, pixels - i);
        if (!take(dst + i * bpp_, k)) return false;
        i += k;
        rawLeft_ -= k;
      } else {
        if (p_ == end_) return false;
        const std::uint8_t h = *p_++;
        const std::size_t count = std::size_t(h & 0x7F) + 1;
        if (h & 0x80) {
          if (!take(run_.data(), 1)) return false;
          runLeft_ = count;
        } else {
          rawLeft_ = count;
        }
      }
    }
    return true;
  }

  bool packetPending() const { return runLeft_ != 0 || rawLeft_ != 0; }

 private:
  bool take(std::uint8_t* dst, std::size_t pixels) {
    const std::size_t n = pixels * bpp_;
    if (std::size_t(end_ - p_) < n) return false;
    std::memcpy(dst, p_, n);
    p_ += n;
    return true;
  }

  const std::uint8_t* p_;
  const std::uint8_t* end_;
  std::size_t bpp_;
  bool rle_;
  std::array<std::uint8_t, 4> run_{};
  std::size_t runLeft_ = 0;
  std::size_t rawLeft_ = 0;
};

}  // namespace

RasterResult decodeTarga(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return fail("the file is shorter than its 18-byte header");
  const std::uint8_t* h = bytes.data();
  const std::size_t idLength = h[0];
  const int mapType = h[1];
  const int type = h[2];
  const unsigned mapFirst = le16(h + 3), mapLength = le16(h + 5);
  const int mapBits = h[7];
  const std::uint64_t width = le16(h + 12), height = le16(h + 14);
  const int depth = h[16];
  const bool rightToLeft = h[17] & 0x10;
  const bool topDown = h[17] & 0x20;

  if (type == 0) return fail("the file holds no picture");
  if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11)
    return fail("image type " + std::to_string(type) + " is not supported");
  if (mapType > 1) return fail("unknown colour map type " + std::to_string(mapType));
  const int base = type & 7;
  const bool rle = type & 8;
  if (width == 0 || height == 0) return fail("the picture is empty");
  if (width * height > kMaxRasterPixels) return fail("the picture is too large");

  const bool depthOk = base == 1   ? (depth == 8 || depth == 16)
                       : base == 2 ? (depth == 15 || depth == 16 || depth == 24 || depth == 32)
                                   : (depth == 8 || depth == 16);
  if (!depthOk) return fail(std::to_string(depth) + " bits per pixel do not suit image type " + std::to_string(type));
  if (base == 1 && mapType != 1) return fail("a colour-mapped picture without a colour map");

  // A version 2 footer ends the pixel data early: the extension and developer areas follow it.
  const std::uint8_t* begin = bytes.data();
  std::size_t dataEnd = bytes.size();
  if (bytes.size() >= kHeaderSize + kFooterSize &&
      std::memcmp(begin + bytes.size() - 18, kFooterSignature, 18) == 0) {
    dataEnd = bytes.size() - kFooterSize;
    const std::size_t extension = le32(begin + dataEnd), developer = le32(begin + dataEnd + 4);
    for (std::size_t offset : {extension, developer})
      if (offset > kHeaderSize && offset < dataEnd) dataEnd = offset;
  }

  std::size_t pos = kHeaderSize + idLength;
  if (pos > dataEnd) return fail("the image identification is truncated");

  std::vector<std::array<std::uint8_t, 3>> map;
  if (mapType == 1) {
    if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
      return fail("colour map entries of " + std::to_string(mapBits) + " bits are not supported");
    const std::size_t entryBytes = std::size_t(mapBits + 7) / 8;
    if (std::size_t(mapLength) * entryBytes > dataEnd - pos) return fail("the colour map is truncated");
    // A true-colour or grey picture may carry a map it does not use; it is skipped.
    if (base == 1) {
      map.resize(mapLength);
      for (unsigned i = 0; i < mapLength; ++i) toRgb(begin + pos + i * entryBytes, int(entryBytes), map[i].data());
    }
    pos += std::size_t(mapLength) * entryBytes;
  }

  const int bytesPerPixel = (depth + 7) / 8;
  const std::uint64_t pixels = width * height;
  const std::uint64_t available = dataEnd - pos;
  // Checked before allocating: a packet covers at most 128 pixels.
  const std::uint64_t needed = rle ? (pixels + 127) / 128 * std::uint64_t(1 + bytesPerPixel)
                                   : pixels * std::uint64_t(bytesPerPixel);
  if (available < needed) return fail("the picture data is truncated");

  RasterResult result;
  RgbImage& img = result.Image;
  img.Width = int(width);
  img.Height = int(height);
  img.Pixels.resize(std::size_t(pixels * 3));
  std::vector<std::uint8_t> row(std::size_t(width) * bytesPerPixel);
  std::vector<std::uint8_t> rgbRow(std::size_t(width) * 3);
  RowSource source(begin + pos, begin + dataEnd, bytesPerPixel, rle);
  static constexpr std::uint8_t kBlack[3] = {0, 0, 0};

  for (std::uint64_t y = 0; y < height; ++y) {
    if (!source.fill(row.data(), std::size_t(width))) return fail("the picture data is truncated");
    std::uint8_t* out = rgbRow.data();
    const std::uint8_t* in = row.data();
    if (base == 1) {
      // Indices outside the map show black rather than refusing the whole picture.
      for (std::uint64_t x = 0; x < width; ++x, out += 3, in += bytesPerPixel) {
        const unsigned index = bytesPerPixel == 1 ? in[0] : le16(in);
        const std::uint8_t* c = index >= mapFirst && index - mapFirst < mapLength ? map[index - mapFirst].data() : kBlack;
        std::memcpy(out, c, 3);
      }
    } else if (base == 3) {
      for (std::uint64_t x = 0; x < width; ++x, out += 3, in += bytesPerPixel) out[0] = out[1] = out[2] = in[0];
    } else {
      for (std::uint64_t x = 0; x < width; ++x, out += 3, in += bytesPerPixel) toRgb(in, bytesPerPixel, out);
    }
    std::uint8_t* dst = img.Pixels.data() + (topDown ? y : height - 1 - y) * width * 3;
    if (!rightToLeft) {
      std::memcpy(dst, rgbRow.data(), rgbRow.size());
    } else {
      for (std::uint64_t x = 0; x < width; ++x) std::memcpy(dst + (width - 1 - x) * 3, rgbRow.data() + x * 3, 3);
    }
  }
  if (source.packetPending()) return fail("a packet goes past the end of the picture");
  return result;
}

}  // namespace kelvaro
