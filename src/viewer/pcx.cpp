#include "viewer/pcx.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kelvaro {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPalette256Size = 769;  // 0x0C marker + 256 RGB triples

using Rgb = std::array<std::uint8_t, 3>;

constexpr std::array<Rgb, 16> kEgaColours{{{0x00, 0x00, 0x00}, {0x00, 0x00, 0xAA}, {0x00, 0xAA, 0x00},
                                           {0x00, 0xAA, 0xAA}, {0xAA, 0x00, 0x00}, {0xAA, 0x00, 0xAA},
                                           {0xAA, 0x55, 0x00}, {0xAA, 0xAA, 0xAA}, {0x55, 0x55, 0x55},
                                           {0x55, 0x55, 0xFF}, {0x55, 0xFF, 0x55}, {0x55, 0xFF, 0xFF},
                                           {0xFF, 0x55, 0x55}, {0xFF, 0x55, 0xFF}, {0xFF, 0xFF, 0x55},
                                           {0xFF, 0xFF, 0xFF}}};

std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

RasterResult fail(std::string why) {
  RasterResult r;
  r.Error = "PCX: " + std::move(why);
  return r;
}

// The byte stream of the picture, one scan line at a time. Runs may continue into the next
// line (several writers do that), so the pending run is kept between calls.
class LineSource {
 public:
  LineSource(const std::uint8_t* begin, const std::uint8_t* end, bool rle) : p_(begin), end_(end), rle_(rle) {}

  bool fill(std::uint8_t* dst, std::size_t n) {
    if (!rle_) {
      if (std::size_t(end_ - p_) < n) return false;
      std::memcpy(dst, p_, n);
      p_ += n;
      return true;
    }
    std::size_t i = 0;
    while (i < n) {
      if (runLeft_) {
        const std::size_t k = std::min<std::size_t>(runLeft_, n - i);
        std::memset(dst + i, runValue_, k);
        i += k;
        runLeft_ -= unsigned(k);
        continue;
      }
      if (p_ == end_) return false;
      const std::uint8_t b = *p_++;
      if ((b & 0xC0) != 0xC0) {
        dst[i++] = b;
        continue;
      }
      if (p_ == end_) return false;
      runValue_ = *p_++;
      runLeft_ = b & 0x3F;
    }
    return true;
  }

  bool runPending() const { return runLeft_ != 0; }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
  bool rle_;
  std::uint8_t runValue_ = 0;
  unsigned runLeft_ = 0;
};

}  // namespace

RasterResult decodePcx(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return fail("the file is shorter than its 128-byte header");
  const std::uint8_t* h = bytes.data();
  if (h[0] != 0x0A) return fail("not a PCX file");
  const int version = h[1];
  if (version != 0 && version != 2 && version != 3 && version != 4 && version != 5)
    return fail("unknown version " + std::to_string(version));
  const int encoding = h[2];
  if (encoding > 1) return fail("unknown encoding " + std::to_string(encoding));
  const int bits = h[3];
  const int planes = h[65];
  const int xMin = le16(h + 4), yMin = le16(h + 6), xMax = le16(h + 8), yMax = le16(h + 10);
  const std::size_t bytesPerLine = le16(h + 66);
  if (xMax < xMin || yMax < yMin) return fail("the picture window is empty");
  const std::uint64_t width = std::uint64_t(xMax - xMin) + 1, height = std::uint64_t(yMax - yMin) + 1;
  if (width * height > kMaxRasterPixels) return fail("the picture is too large");

  enum class Kind { Indexed, Rgb } kind;
  if (bits == 8 && planes == 1) {
    kind = Kind::Indexed;
  } else if (bits == 8 && (planes == 3 || planes == 4)) {
    kind = Kind::Rgb;
  } else if ((bits == 1 || bits == 2 || bits == 4) && planes >= 1 && bits * planes <= 8) {
    kind = Kind::Indexed;
  } else {
    return fail(std::to_string(bits) + " bits in " + std::to_string(planes) + " planes is not supported");
  }
  if (bytesPerLine == 0 || bytesPerLine * 8 < width * std::uint64_t(bits))
    return fail("the scan lines are too short for the picture width");

  // Colours: the 256-entry table at the end serves pictures of more than 16 colours.
  const std::uint8_t* dataEnd = bytes.data() + bytes.size();
  const int indexBits = bits * planes;
  std::array<Rgb, 256> palette{};
  if (kind == Kind::Indexed) {
    if (indexBits > 4) {
      const bool hasTable = bytes.size() >= kHeaderSize + kPalette256Size &&
                            bytes[bytes.size() - kPalette256Size] == 0x0C;
      if (hasTable) {
        dataEnd -= kPalette256Size;
        const std::uint8_t* t = dataEnd + 1;
        for (int i = 0; i < 256; ++i) palette[i] = {t[3 * i], t[3 * i + 1], t[3 * i + 2]};
      } else {
        for (int i = 0; i < 256; ++i) palette[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)};
      }
    } else if (indexBits == 1) {
      palette[0] = {0, 0, 0};
      palette[1] = {255, 255, 255};
    } else {
      const std::uint8_t* t = h + 16;
      const bool blank = std::all_of(t, t + 48, [](std::uint8_t v) { return v == 0; });
      for (int i = 0; i < 16; ++i)
        palette[i] = (version == 3 || blank) ? kEgaColours[i] : Rgb{t[3 * i], t[3 * i + 1], t[3 * i + 2]};
    }
  }

  // The picture must fit in what is left before anything is allocated: a two-byte run gives at
  // most 63 bytes, so shorter RLE data cannot be complete.
  const std::uint64_t lineBytes = bytesPerLine * std::uint64_t(planes);
  const std::uint64_t total = lineBytes * height;
  const std::uint64_t available = std::uint64_t(dataEnd - (bytes.data() + kHeaderSize));
  const std::uint64_t needed = encoding == 1 ? 2 * (total / 63) + (total % 63 ? 1 : 0) : total;
  if (available < needed) return fail("the picture data is truncated");

  RasterResult result;
  RgbImage& img = result.Image;
  img.Width = int(width);
  img.Height = int(height);
  img.Pixels.resize(std::size_t(width * height * 3));
  std::vector<std::uint8_t> line(lineBytes);
  LineSource source(bytes.data() + kHeaderSize, dataEnd, encoding == 1);
  const std::uint8_t mask = std::uint8_t((1u << bits) - 1);

  for (std::uint64_t y = 0; y < height; ++y) {
    if (!source.fill(line.data(), line.size())) return fail("the picture data is truncated");
    std::uint8_t* out = img.Pixels.data() + y * width * 3;
    if (kind == Kind::Rgb) {
      const std::uint8_t *r = line.data(), *g = r + bytesPerLine, *b = g + bytesPerLine;
      for (std::uint64_t x = 0; x < width; ++x, out += 3) {
        out[0] = r[x];
        out[1] = g[x];
        out[2] = b[x];
      }
    } else if (bits == 8) {
      for (std::uint64_t x = 0; x < width; ++x, out += 3) std::memcpy(out, palette[line[x]].data(), 3);
    } else {
      // Packed pixels, most significant bits first; plane k supplies bits k*bits of the index.
      for (std::uint64_t x = 0; x < width; ++x, out += 3) {
        const std::uint64_t bit = x * bits;
        const int shift = 8 - bits - int(bit & 7);
        unsigned index = 0;
        for (int p = 0; p < planes; ++p)
          index |= unsigned((line[p * bytesPerLine + (bit >> 3)] >> shift) & mask) << (p * bits);
        std::memcpy(out, palette[index].data(), 3);
      }
    }
  }
  if (source.runPending()) return fail("a run goes past the end of the picture");
  return result;
}

}  // namespace kelvaro
