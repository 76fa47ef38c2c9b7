#include "cadkit/ole_picture.h"

#include <algorithm>
#include <cstring>

namespace kelvaro::cad {
namespace {

constexpr std::uint8_t kCfbMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint8_t kPngMagic[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE, kFreeSect = 0xFFFFFFFF;

std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

class Cfb {
 public:
  Cfb(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}

  bool read(std::vector<OleStream>& out, std::size_t maxBytes) {
    if (n_ < 512 || std::memcmp(d_, kCfbMagic, 8) != 0) return false;
    int shift = le16(d_ + 0x1E), miniShift = le16(d_ + 0x20);
    if ((shift != 9 && shift != 12) || miniShift != 6) return false;
    ssz_ = std::size_t{1} << shift;
    msz_ = 64;
    cutoff_ = le32(d_ + 0x38);
    // The FAT: its sectors listed in the header, then in the chain of DIFAT sectors.
    std::vector<std::uint32_t> fatSectors;
    for (int i = 0; i < 109; ++i) {
      std::uint32_t s = le32(d_ + 0x4C + 4 * i);
      if (s < kEndOfChain - 3) fatSectors.push_back(s);
    }
    std::uint32_t difat = le32(d_ + 0x44);
    for (std::size_t guard = 0; difat < kEndOfChain - 3 && guard < sectors(); ++guard) {
      const std::uint8_t* s = sector(difat);
      if (!s) return false;
      for (std::size_t i = 0; i + 1 < ssz_ / 4; ++i) {
        std::uint32_t f = le32(s + 4 * i);
        if (f < kEndOfChain - 3) fatSectors.push_back(f);
      }
      difat = le32(s + ssz_ - 4);
    }
    if (fatSectors.size() > sectors()) return false;
    for (std::uint32_t f : fatSectors) {
      const std::uint8_t* s = sector(f);
      if (!s) return false;
      for (std::size_t i = 0; i < ssz_ / 4; ++i) fat_.push_back(le32(s + 4 * i));
    }
    std::vector<std::uint8_t> dir;
    if (!chain(le32(d_ + 0x30), ~std::size_t{0}, dir, maxBytes)) return false;
    std::vector<std::uint8_t> miniFatBytes;
    chain(le32(d_ + 0x3C), ~std::size_t{0}, miniFatBytes, maxBytes);
    for (std::size_t i = 0; i + 4 <= miniFatBytes.size(); i += 4) miniFat_.push_back(le32(miniFatBytes.data() + i));
    std::size_t used = 0;
    for (std::size_t off = 0; off + 128 <= dir.size(); off += 128) {
      const std::uint8_t* e = dir.data() + off;
      std::uint8_t type = e[0x42];
      std::uint32_t start = le32(e + 0x74);
      std::uint64_t size = le32(e + 0x78);
      if (ssz_ == 4096) size |= static_cast<std::uint64_t>(le32(e + 0x7C)) << 32;
      if (type == 5) {  // the root holds the mini stream
        if (!chain(start, static_cast<std::size_t>(std::min<std::uint64_t>(size, maxBytes)), mini_, maxBytes)) mini_.clear();
        continue;
      }
      if (type != 2 || size > maxBytes - used) continue;
      OleStream s;
      s.name = name(e);
      bool ok = size < cutoff_ ? miniChain(start, static_cast<std::size_t>(size), s.bytes)
                               : chain(start, static_cast<std::size_t>(size), s.bytes, maxBytes);
      if (!ok || s.bytes.size() < size) continue;
      s.bytes.resize(static_cast<std::size_t>(size));
      used += s.bytes.size();
      out.push_back(std::move(s));
    }
    return true;
  }

 private:
  std::size_t sectors() const { return n_ / ssz_; }
  const std::uint8_t* sector(std::uint32_t s) const {
    std::size_t off = (static_cast<std::size_t>(s) + 1) * ssz_;
    return off + ssz_ <= n_ ? d_ + off : nullptr;
  }

  // Follows a FAT chain, appending whole sectors until `want` bytes (or the chain's end).
  bool chain(std::uint32_t s, std::size_t want, std::vector<std::uint8_t>& out, std::size_t maxBytes) const {
    for (std::size_t guard = 0; s < kEndOfChain - 3 && out.size() < want; ++guard) {
      // A chain never has more sectors than the file: a longer one loops.
      if (guard > std::min(fat_.size(), sectors()) || out.size() > maxBytes) return false;
      std::size_t off = (static_cast<std::size_t>(s) + 1) * ssz_;
      if (off >= n_) return false;
      // The last sector of a file may be cut short.
      std::size_t len = std::min(ssz_, n_ - off);
      out.insert(out.end(), d_ + off, d_ + off + len);
      if (s >= fat_.size()) return false;
      s = fat_[s];
    }
    return s >= kEndOfChain - 3 || out.size() >= want;
  }

  bool miniChain(std::uint32_t s, std::size_t want, std::vector<std::uint8_t>& out) const {
    for (std::size_t guard = 0; s < kEndOfChain - 3 && out.size() < want; ++guard) {
      if (guard > std::min(miniFat_.size(), mini_.size() / msz_)) return false;
      std::size_t off = static_cast<std::size_t>(s) * msz_;
      if (off + msz_ > mini_.size()) return false;
      out.insert(out.end(), mini_.begin() + static_cast<std::ptrdiff_t>(off),
                 mini_.begin() + static_cast<std::ptrdiff_t>(off + msz_));
      if (s >= miniFat_.size()) return false;
      s = miniFat_[s];
    }
    return out.size() >= want;
  }

  static std::string name(const std::uint8_t* e) {
    std::size_t bytes = std::min<std::size_t>(le16(e + 0x40), 64);
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
      std::uint16_t c = le16(e + i);
      if (c == 0) break;
      // Names are short and mostly ASCII; others keep a marker character.
      out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
  }

  const std::uint8_t* d_;
  std::size_t n_;
  std::size_t ssz_ = 512, msz_ = 64;
  std::uint32_t cutoff_ = 4096;
  std::vector<std::uint32_t> fat_, miniFat_;
  std::vector<std::uint8_t> mini_;
};

struct Found {
  int rank = 0;  // 2 a bitmap or PNG, 1 a metafile
  std::vector<std::uint8_t> picture;
};

std::vector<std::uint8_t> tagged(OlePictureKind k, const std::uint8_t* p, std::size_t n) {
  std::vector<std::uint8_t> out;
  out.reserve(n + 1);
  out.push_back(k);
  out.insert(out.end(), p, p + n);
  return out;
}

// A bitmap file at p: its header must describe what follows.
bool bitmapFileAt(const std::uint8_t* p, std::size_t n, std::size_t& length) {
  if (n < 54 || p[0] != 'B' || p[1] != 'M') return false;
  std::uint32_t size = le32(p + 2), bits = le32(p + 10), info = le32(p + 14);
  if (info != 12 && info != 40 && info != 52 && info != 56 && info != 108 && info != 124) return false;
  if (bits < 14 + info || bits > size) return false;
  // Some writers leave the size 0 or short; the bytes present bound it.
  length = size >= bits && size <= n ? size : n;
  return true;
}

// A packed bitmap (info header, colours, pixels) made into a bitmap file.
bool dibToFile(const std::uint8_t* p, std::size_t n, std::vector<std::uint8_t>& out) {
  if (n < 40) return false;
  std::uint32_t info = le32(p);
  if (info < 40 || info > n) return false;
  std::uint16_t bitCount = le16(p + 14);
  std::uint32_t compression = le32(p + 16), used = le32(p + 32);
  if (bitCount == 0 || bitCount > 32) return false;
  std::size_t colours = used != 0 ? used : (bitCount <= 8 ? (std::size_t{1} << bitCount) : 0);
  if (colours > 256) colours = 256;
  std::size_t masks = info == 40 && (compression == 3 || compression == 6) ? (compression == 3 ? 12 : 16) : 0;
  std::size_t bits = 14 + info + masks + 4 * colours;
  if (bits > n + 14) return false;
  std::size_t total = n + 14;
  if (total > 0xFFFFFFFFu) return false;
  out.clear();
  out.push_back(kOleDib);
  const std::uint8_t header[14] = {'B', 'M',
                                   static_cast<std::uint8_t>(total), static_cast<std::uint8_t>(total >> 8),
                                   static_cast<std::uint8_t>(total >> 16), static_cast<std::uint8_t>(total >> 24),
                                   0, 0, 0, 0,
                                   static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                   static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
  out.insert(out.end(), header, header + 14);
  out.insert(out.end(), p, p + n);
  return true;
}

// A PNG file or a bitmap file anywhere in the bytes (packages wrap the file in a header).
bool scanForFile(const std::uint8_t* p, std::size_t n, Found& best) {
  for (std::size_t i = 0; i + 8 <= n; ++i) {
    if (p[i] == 0x89 && std::memcmp(p + i, kPngMagic, 8) == 0) {
      best = {2, tagged(kOlePng, p + i, n - i)};
      return true;
    }
    std::size_t len = 0;
    if (p[i] == 'B' && bitmapFileAt(p + i, n - i, len)) {
      best = {2, tagged(kOleDib, p + i, len)};
      return true;
    }
  }
  return false;
}

// A presentation stream: clipboard format, target device, aspect and size, then the data.
void presentation(const std::vector<std::uint8_t>& s, Found& best) {
  const std::uint8_t* p = s.data();
  std::size_t n = s.size(), at = 0;
  auto u32 = [&](std::uint32_t& v) {
    if (at + 4 > n) return false;
    v = le32(p + at);
    at += 4;
    return true;
  };
  std::uint32_t marker, format, device;
  if (!u32(marker)) return;
  if (marker == 0xFFFFFFFF || marker == 0xFFFFFFFE) {
    if (!u32(format)) return;
  } else {
    // A registered format by name: "PNG" is the one worth looking for.
    if (marker > n - at) return;
    std::string name(reinterpret_cast<const char*>(p + at), std::min<std::size_t>(marker, 64));
    at += marker;
    format = name.rfind("PNG", 0) == 0 ? 0xFFFF0001 : 0;
  }
  if (!u32(device) || device < 4 || device - 4 > n - at) return;
  at += device - 4;
  std::uint32_t skip[6], size;
  for (auto& x : skip)
    if (!u32(x)) return;
  if (!u32(size) || size > n - at) return;
  const std::uint8_t* data = p + at;
  std::vector<std::uint8_t> out;
  if (format == 8 && best.rank < 2 && dibToFile(data, size, out)) best = {2, std::move(out)};
  else if (format == 0xFFFF0001 && best.rank < 2 && size >= 8 && std::memcmp(data, kPngMagic, 8) == 0)
    best = {2, tagged(kOlePng, data, size)};
  else if ((format == 3 || format == 14) && best.rank < 1 && size > 0) best = {1, tagged(kOleMetafile, data, size)};
}

}  // namespace

bool readCompoundFile(const std::uint8_t* data, std::size_t size, std::vector<OleStream>& streams, std::size_t maxBytes) {
  streams.clear();
  if (!data) return false;
  try {
    Cfb cfb(data, size);
    return cfb.read(streams, maxBytes);
  } catch (const std::exception&) {
    streams.clear();
    return false;
  }
}

std::vector<std::uint8_t> extractOlePicture(const std::uint8_t* data, std::size_t size) {
  Found best;
  try {
    // The compound file may sit behind a header of the drawing's own.
    const std::uint8_t* cfb = nullptr;
    for (std::size_t i = 0; data && i + 8 <= size && i < 4096; ++i)
      if (data[i] == 0xD0 && std::memcmp(data + i, kCfbMagic, 8) == 0) {
        cfb = data + i;
        break;
      }
    std::vector<OleStream> streams;
    if (cfb) {
      // A damaged compound file shows nothing rather than whatever its bytes resemble.
      if (!readCompoundFile(cfb, size - static_cast<std::size_t>(cfb - data), streams)) streams.clear();
      for (const auto& s : streams) {
        if (s.name == "\x01Ole10Native" && s.bytes.size() > 4) {
          std::size_t n = std::min<std::size_t>(le32(s.bytes.data()), s.bytes.size() - 4);
          Found f;
          if (scanForFile(s.bytes.data() + 4, n, f)) best = std::move(f);
        } else if (s.name.rfind("\x02OlePres", 0) == 0) {
          presentation(s.bytes, best);
        } else if (best.rank < 2 && s.bytes.size() >= 8) {
          // Some servers keep the file itself as a stream ("CONTENTS").
          std::size_t len = 0;
          if (std::memcmp(s.bytes.data(), kPngMagic, 8) == 0) best = {2, tagged(kOlePng, s.bytes.data(), s.bytes.size())};
          else if (bitmapFileAt(s.bytes.data(), s.bytes.size(), len)) best = {2, tagged(kOleDib, s.bytes.data(), len)};
        }
        if (best.rank == 2) break;
      }
    } else if (data && size > 0) {
      scanForFile(data, size, best);
    }
  } catch (const std::exception&) {
    best = {};
  }
  if (best.rank == 0) return {kOleNone};
  return std::move(best.picture);
}

}  // namespace kelvaro::cad
