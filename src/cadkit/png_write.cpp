#include "cadkit/png_write.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <initializer_list>
#include <system_error>
#include <thread>
#include <vector>

namespace kelvaro::cad {
namespace {

// Far beyond any picture drawn here; keeps every size computed below well inside 64 bits.
constexpr int kMaxSide = 1 << 24;
// About half a megabyte of filtered rows per band: a 1920x1080 picture makes a dozen bands to
// share between the cores, and each fresh start of the deflate window costs only a little.
constexpr std::size_t kBandBytes = std::size_t(1) << 19;
constexpr std::size_t kMaxBandBytes = std::size_t(1) << 30;
constexpr std::size_t kChunkBytes = std::size_t(1) << 16;
constexpr unsigned kMaxThreads = 64;

std::string failWith(std::string* error, const char* why) {
  if (error) *error = why;
  return {};
}

std::uint32_t pixelAt(const std::uint8_t* row, std::size_t x) {
  std::uint32_t v;
  std::memcpy(&v, row + 4 * x, 4);
  return v;
}

// One row of pixels as PNG samples: R, G, B and, with alpha, A.
void unpackRow(const std::uint8_t* src, std::size_t width, bool alpha, std::uint8_t* out) {
  if (alpha) {
    for (std::size_t x = 0; x < width; ++x, out += 4) {
      const std::uint32_t v = pixelAt(src, x);
      out[0] = std::uint8_t(v >> 16), out[1] = std::uint8_t(v >> 8), out[2] = std::uint8_t(v), out[3] = std::uint8_t(v >> 24);
    }
  } else {
    for (std::size_t x = 0; x < width; ++x, out += 3) {
      const std::uint32_t v = pixelAt(src, x);
      out[0] = std::uint8_t(v >> 16), out[1] = std::uint8_t(v >> 8), out[2] = std::uint8_t(v);
    }
  }
}

// How far a filtered byte is from zero when read as signed: the usual estimate of how well a
// filtered row will compress.
inline std::uint32_t weight(std::uint8_t d) { return std::min<std::uint8_t>(d, std::uint8_t(0u - d)); }

enum Filter : std::uint8_t { kNone = 0, kSub = 1, kUp = 2 };

// Filters `cur` (the row above it is `prev`) by whichever of None, Sub and Up gives the smallest
// sum of weights, and writes the filter type and the filtered bytes to `out`. Average and Paeth
// would gain little on drawings and cost a multiplication-free loop its speed.
void filterRow(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, std::size_t bpp, std::uint8_t* out) {
  std::uint64_t none = 0, sub = 0, up = 0;
  for (std::size_t i = 0; i < bpp; ++i) {
    none += weight(cur[i]), sub += weight(cur[i]);
    up += weight(std::uint8_t(cur[i] - prev[i]));
  }
  // Blocks keep the 32-bit sums, which the compiler can vectorise, from overflowing.
  for (std::size_t at = bpp; at < n;) {
    const std::size_t end = std::min(n, at + (std::size_t(1) << 16));
    std::uint32_t a = 0, b = 0, c = 0;
    for (std::size_t i = at; i < end; ++i) {
      a += weight(cur[i]);
      b += weight(std::uint8_t(cur[i] - cur[i - bpp]));
      c += weight(std::uint8_t(cur[i] - prev[i]));
    }
    none += a, sub += b, up += c;
    at = end;
  }
  std::uint8_t* px = out + 1;
  if (up <= sub && up <= none) {
    out[0] = kUp;
    for (std::size_t i = 0; i < n; ++i) px[i] = std::uint8_t(cur[i] - prev[i]);
  } else if (sub <= none) {
    out[0] = kSub;
    std::memcpy(px, cur, std::min(bpp, n));
    for (std::size_t i = bpp; i < n; ++i) px[i] = std::uint8_t(cur[i] - cur[i - bpp]);
  } else {
    out[0] = kNone;
    std::memcpy(px, cur, n);
  }
}

struct Picture {
  const std::uint8_t* pixels;
  std::size_t width, height, stride, bpp;
  bool alpha;
  const std::uint8_t* row(std::size_t y) const { return pixels + y * stride; }
};

// One band of rows deflated on its own: a raw deflate piece that ends on a byte boundary (a
// full flush, or the final block for the last band), so the pieces join into one stream.
struct Band {
  std::size_t y0 = 0, y1 = 0;
  std::vector<std::uint8_t> packed;
  uLong adler = 0;
  std::size_t rawSize = 0;
};

class BandCoder {
 public:
  BandCoder() { ok_ = deflateInit2(&z_, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK; }
  ~BandCoder() {
    if (ok_) deflateEnd(&z_);
  }
  BandCoder(const BandCoder&) = delete;
  BandCoder& operator=(const BandCoder&) = delete;
  bool ok() const { return ok_; }

  bool encode(const Picture& pic, Band& band, bool last) {
    const std::size_t rowBytes = pic.width * pic.bpp, rows = band.y1 - band.y0;
    // Rows are filtered a few at a time and handed to deflate while still in the cache.
    const std::size_t rowsPerChunk = std::clamp<std::size_t>(kChunkBytes / (rowBytes + 1), 1, rows);
    raw_.resize((rowBytes + 1) * rowsPerChunk);
    cur_.resize(rowBytes);
    prev_.assign(rowBytes, 0);
    if (band.y0 > 0) unpackRow(pic.row(band.y0 - 1), pic.width, pic.alpha, prev_.data());
    if (deflateReset(&z_) != Z_OK) return false;
    band.packed.resize(std::max<std::size_t>(4096, (rowBytes + 1) * rows / 16));
    band.adler = adler32(0, Z_NULL, 0);
    band.rawSize = 0;
    std::size_t used = 0;
    for (std::size_t y = band.y0; y < band.y1;) {
      const std::size_t n = std::min(rowsPerChunk, band.y1 - y);
      for (std::size_t k = 0; k < n; ++k, ++y) {
        std::uint8_t* out = raw_.data() + k * (rowBytes + 1);
        // A row like the one above (common in drawings) is all zeros under Up; `prev_`
        // already holds its samples.
        if (y > 0 && std::memcmp(pic.row(y), pic.row(y - 1), pic.width * 4) == 0) {
          out[0] = kUp;
          std::memset(out + 1, 0, rowBytes);
          continue;
        }
        unpackRow(pic.row(y), pic.width, pic.alpha, cur_.data());
        filterRow(cur_.data(), prev_.data(), rowBytes, pic.bpp, out);
        cur_.swap(prev_);
      }
      const std::size_t size = n * (rowBytes + 1);
      band.adler = adler32(band.adler, raw_.data(), static_cast<uInt>(size));
      band.rawSize += size;
      const int flush = y < band.y1 ? Z_NO_FLUSH : last ? Z_FINISH : Z_FULL_FLUSH;
      if (!deflateChunk(band.packed, used, size, flush)) return false;
    }
    band.packed.resize(used);
    return true;
  }

 private:
  // Deflates the first `size` bytes of `raw_` into `out` after its first `used` bytes, making
  // room as needed.
  bool deflateChunk(std::vector<std::uint8_t>& out, std::size_t& used, std::size_t size, int flush) {
    z_.next_in = raw_.data();
    z_.avail_in = static_cast<uInt>(size);
    for (;;) {
      if (used == out.size()) out.resize(out.size() * 2);
      z_.next_out = out.data() + used;
      z_.avail_out = static_cast<uInt>(out.size() - used);
      const int r = deflate(&z_, flush);
      used = out.size() - z_.avail_out;
      if (r == Z_STREAM_ERROR) return false;
      const bool done = flush == Z_FINISH     ? r == Z_STREAM_END
                        : flush == Z_NO_FLUSH ? z_.avail_in == 0
                                              : z_.avail_in == 0 && z_.avail_out != 0;
      if (done) return true;
      // deflate stops short only when it runs out of room.
      if (z_.avail_out != 0) return false;
    }
  }

  z_stream z_{};
  bool ok_ = false;
  std::vector<std::uint8_t> raw_, cur_, prev_;
};

void put32(std::string& out, std::uint32_t v) {
  const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  out.append(b, 4);
}

// A chunk whose data is the concatenation of `parts`.
void putChunk(std::string& out, const char* type, std::initializer_list<std::span<const std::uint8_t>> parts) {
  std::size_t length = 0;
  for (auto p : parts) length += p.size();
  put32(out, static_cast<std::uint32_t>(length));
  const std::size_t typeAt = out.size();
  out.append(type, 4);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + typeAt), 4);
  for (auto p : parts) {
    out.append(reinterpret_cast<const char*>(p.data()), p.size());
    crc = crc32(crc, p.data(), static_cast<uInt>(p.size()));
  }
  put32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::string pixelsToPng(std::span<const std::uint8_t> pixels, int width, int height, std::size_t stride,
                        std::string* error, const PngWriteOptions& options) {
  if (width < 1 || height < 1) return failWith(error, "the picture has no pixels");
  if (width > kMaxSide || height > kMaxSide) return failWith(error, "the picture is too large to write");
  const std::size_t w = std::size_t(width), h = std::size_t(height);
  if (stride < 4 * w) return failWith(error, "the picture's rows overlap");
  if (stride > (std::size_t(1) << 40) || pixels.size() < stride * (h - 1) + 4 * w)
    return failWith(error, "the picture's pixels are missing");

  const Picture pic{pixels.data(), w, h, stride, options.alpha ? 4u : 3u, options.alpha};
  const std::size_t rowBytes = w * pic.bpp;
  const std::size_t bandBytes = options.bandBytes ? std::min(options.bandBytes, kMaxBandBytes) : kBandBytes;
  const std::size_t rowsPerBand = std::clamp<std::size_t>(bandBytes / (rowBytes + 1), 1, h);
  const std::size_t bandCount = (h + rowsPerBand - 1) / rowsPerBand;
  unsigned threads = options.threads > 0 ? unsigned(options.threads) : std::max(1u, std::thread::hardware_concurrency());
  threads = unsigned(std::min<std::size_t>({threads, bandCount, kMaxThreads}));

  try {
    std::vector<Band> bands(bandCount);
    for (std::size_t i = 0; i < bandCount; ++i) bands[i].y0 = i * rowsPerBand, bands[i].y1 = std::min(h, (i + 1) * rowsPerBand);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    // Bands are taken in turn by whichever thread is free; which thread codes a band never
    // changes its bytes.
    auto work = [&] {
      try {
        BandCoder coder;
        if (!coder.ok()) failed = true;
        while (!failed) {
          const std::size_t i = next.fetch_add(1);
          if (i >= bandCount) break;
          if (!coder.encode(pic, bands[i], i + 1 == bandCount)) failed = true;
        }
      } catch (...) {
        failed = true;
      }
    };
    std::vector<std::thread> pool;
    pool.reserve(threads);
    try {
      for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    } catch (const std::system_error&) {
      // No more threads to be had: the ones started and this one share the bands.
    }
    work();
    for (std::thread& t : pool) t.join();
    if (failed) return failWith(error, "not enough memory to write the picture");

    std::size_t total = 8 + 25 + 12 + 6;
    uLong adler = adler32(0, Z_NULL, 0);
    for (const Band& b : bands) {
      total += 12 + b.packed.size();
      adler = adler32_combine(adler, b.adler, static_cast<z_off_t>(b.rawSize));
    }
    std::string out;
    out.reserve(total);
    out.append("\x89PNG\r\n\x1a\n", 8);
    std::uint8_t ihdr[13] = {0, 0, 0, 0, 0, 0, 0, 0, 8, std::uint8_t(options.alpha ? 6 : 2), 0, 0, 0};
    for (int k = 0; k < 4; ++k) {
      ihdr[k] = std::uint8_t(w >> (24 - 8 * k));
      ihdr[4 + k] = std::uint8_t(h >> (24 - 8 * k));
    }
    putChunk(out, "IHDR", {ihdr});
    // The zlib header (32K window, fastest level) goes before the first piece, the Adler-32 of
    // all filtered rows after the last; each band's piece is one IDAT chunk.
    static const std::uint8_t kZlibHeader[2] = {0x78, 0x01};
    const std::uint8_t trailer[4] = {std::uint8_t(adler >> 24), std::uint8_t(adler >> 16), std::uint8_t(adler >> 8),
                                     std::uint8_t(adler)};
    for (std::size_t i = 0; i < bandCount; ++i) {
      const std::span<const std::uint8_t> head(kZlibHeader, i == 0 ? 2 : 0);
      const std::span<const std::uint8_t> tail(trailer, i + 1 == bandCount ? 4 : 0);
      putChunk(out, "IDAT", {head, bands[i].packed, tail});
    }
    putChunk(out, "IEND", {});
    return out;
  } catch (const std::bad_alloc&) {
    return failWith(error, "not enough memory to write the picture");
  }
}

}  // namespace kelvaro::cad
