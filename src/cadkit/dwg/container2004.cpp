// The 2004-family container: an encrypted second file header points at a page map (page number ->
// file address) and a section map (section name -> its pages); each section is the concatenation
// of its pages, every page LZ77-compressed behind a 32-byte XORed header. Nothing read from the
// file is trusted as a size before it has been checked against the bytes that are there.
#include "cadkit/dwg/container2004.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <unordered_map>

#include "cadkit/dwg/container.h"
#include "cadkit/dwg/dwg_io.h"

namespace kelvaro::cad::dwg {
namespace c2004 {

void headerMask(std::uint8_t* out, std::size_t n) {
  std::uint32_t seed = 1;
  for (std::size_t i = 0; i < n; ++i) {
    seed = seed * 0x343FDu + 0x269EC3u;
    out[i] = static_cast<std::uint8_t>(seed >> 16);
  }
}

std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data) {
  std::uint32_t a = seed & 0xFFFF, b = seed >> 16;
  std::size_t at = 0;
  while (at < data.size()) {
    // The sums stay below 2^32 for this many bytes between reductions.
    std::size_t end = std::min(data.size(), at + 0x15B0);
    for (; at < end; ++at) {
      a += data[at];
      b += a;
    }
    a %= 0xFFF1;
    b %= 0xFFF1;
  }
  return (b << 16) | (a & 0xFFFF);
}

std::uint32_t crc32(std::uint32_t seed, std::span<const std::uint8_t> data) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t c = ~seed;
  for (std::uint8_t b : data) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return ~c;
}

namespace {

class Lz {
 public:
  Lz(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) : in_(in), out_(out) {}

  Inflated run() {
    std::uint8_t op;
    if (!next(op)) return done(false);
    if (op < 0x10) {
      if (!literals(literalLength(op)) || !next(op)) return done(false);
    }
    for (;;) {
      if (op == 0x11) return done(true);
      std::size_t count = 0, offset = 0, lit = 0;
      std::uint8_t b1 = 0, b2 = 0;
      if (op >= 0x40) {
        count = (op >> 4) - 1;
        if (!next(b2)) return done(false);
        offset = (((op >> 2) & 3) | std::size_t(b2) << 2) + 1;
        lit = op & 3;
      } else if (op >= 0x20) {
        count = extended(op, 0x1F);
        if (!next(b1) || !next(b2)) return done(false);
        offset = (b1 >> 2 | std::size_t(b2) << 6) + 1;
        lit = b1 & 3;
      } else if (op >= 0x10) {
        count = extended(op, 7);
        if (!next(b1) || !next(b2)) return done(false);
        offset = (std::size_t(op & 8) << 11) + (b1 >> 2 | std::size_t(b2) << 6) + 0x4000;
        lit = b1 & 3;
      } else {
        return done(false);  // a literal length where an instruction belongs
      }
      if (bad_ || !copy(offset, count)) return done(false);
      if (lit == 0) {
        if (!next(op)) return done(false);
        if (op >= 0x10) continue;
        lit = literalLength(op);
      }
      if (!literals(lit) || !next(op)) return done(false);
    }
  }

 private:
  Inflated done(bool ok) { return {pos_, ok && !bad_}; }

  bool next(std::uint8_t& b) {
    if (at_ >= in_.size()) return false;
    b = in_[at_++];
    return true;
  }
  // A count in the low bits, or when those are zero a run of zero bytes (255 each) and a last byte.
  std::size_t run255(std::size_t base) {
    std::size_t n = base;
    for (;;) {
      std::uint8_t b;
      if (!next(b)) {
        bad_ = true;
        return 0;
      }
      if (b) return n + b;
      n += 0xFF;
    }
  }
  std::size_t literalLength(std::uint8_t op) { return (op & 0x0F ? op & 0x0F : run255(0x0F)) + 3; }
  std::size_t extended(std::uint8_t op, std::uint8_t mask) { return (op & mask ? op & mask : run255(mask)) + 2; }

  bool literals(std::size_t n) {
    if (bad_ || n > in_.size() - at_ || n > out_.size() - pos_) return false;
    std::memcpy(out_.data() + pos_, in_.data() + at_, n);
    at_ += n;
    pos_ += n;
    return true;
  }
  bool copy(std::size_t offset, std::size_t n) {
    if (offset > pos_ || n > out_.size() - pos_) return false;
    // Byte by byte: a copy may overlap what it writes (a short offset repeats a pattern).
    std::uint8_t* d = out_.data();
    for (std::size_t i = 0; i < n; ++i, ++pos_) d[pos_] = d[pos_ - offset];
    return true;
  }

  std::span<const std::uint8_t> in_;
  std::span<std::uint8_t> out_;
  std::size_t at_ = 0, pos_ = 0;
  bool bad_ = false;
};

}  // namespace

Inflated decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) { return Lz(in, out).run(); }

}  // namespace c2004

namespace {

using namespace c2004;

std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24));
}
std::uint64_t le64(const std::uint8_t* p) { return le32(p) | std::uint64_t(le32(p + 4)) << 32; }
void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::uint32_t kPageMapType = 0x41630E3B, kSectionMapType = 0x4163003B, kDataPageType = 0x4163043B;
// No section of a drawing this program can show comes near these; they keep a damaged map from
// asking for memory the file could never fill.
constexpr std::size_t kMaxSystemPage = 16u << 20, kMaxPage = 4u << 20, kMaxTotal = 512u << 20;

struct Page {
  std::uint64_t address = 0;
  std::uint32_t size = 0;
};

struct Description {
  std::string name;
  std::uint64_t size = 0;
  std::uint32_t maxPage = 0, compressed = 2, id = 0, encrypted = 0;
  struct Ref {
    std::int32_t number;
    std::uint32_t dataSize;
    std::uint64_t start;
  };
  std::vector<Ref> pages;
};

class Container {
 public:
  Container(std::span<const std::uint8_t> f, std::vector<std::string>& w) : f_(f), warnings_(w) {}

  SectionBuffers read() {
    if (f_.size() < 0x100) throw DwgError("the file is too short for a DWG file header");
    std::string magic(reinterpret_cast<const char*>(f_.data()), 6);
    if (!releaseFromMagic(magic, out_.release)) throw DwgError("DWG release " + magic + " is not supported");
    out_.maint = f_[0x0B];
    out_.codepage = static_cast<std::uint16_t>(f_[0x13] | (f_[0x14] << 8));
    if (le32(&f_[0x18]) & 1) throw DwgError("the drawing's data is encrypted (a password protected drawing)");

    std::array<std::uint8_t, 0x6C> hdr;
    headerMask(hdr.data(), hdr.size());
    for (std::size_t i = 0; i < hdr.size(); ++i) hdr[i] ^= f_[0x80 + i];
    if (std::memcmp(hdr.data(), "AcFssFcAJMB", 11) != 0) throw DwgError("the file header is damaged");
    std::uint32_t crc = le32(&hdr[0x68]);
    put32(&hdr[0x68], 0);
    if (crc32(0, hdr) != crc) warn("file header: check value mismatch");
    std::uint32_t pageMapId = le32(&hdr[0x50]);
    std::uint64_t pageMapAt = le64(&hdr[0x54]) + 0x100;
    std::uint32_t infoId = le32(&hdr[0x5C]);
    (void)pageMapId;

    readPageMap(pageMapAt);
    auto info = pages_.find(static_cast<std::int32_t>(infoId));
    if (info == pages_.end()) throw DwgError("the section map is missing from the page map");
    readSectionMap(info->second.address);

    for (const Description& d : sections_) {
      std::span<const std::uint8_t>* slot = nullptr;
      if (d.name == "AcDb:Header") slot = &out_.header;
      else if (d.name == "AcDb:Classes") slot = &out_.classes;
      else if (d.name == "AcDb:Handles") slot = &out_.handles;
      else if (d.name == "AcDb:AcDbObjects") slot = &out_.objects;
      else if (d.name == "AcDb:Preview") slot = &out_.preview;
      else if (d.name == "AcDb:SummaryInfo") slot = &out_.summaryInfo;
      else if (d.name == "AcDb:AppInfo") slot = &out_.appInfo;
      if (slot && slot->empty()) *slot = assemble(d);
    }
    if (out_.header.empty()) throw DwgError("the file has no header variables");
    if (out_.handles.empty()) throw DwgError("the file has no object map");
    return std::move(out_);
  }

 private:
  void warn(std::string s) {
    if (warnings_.size() < 200) warnings_.push_back(std::move(s));
  }

  // A system page: 20-byte header, then compressed data. Throws when it cannot be used at all.
  std::vector<std::uint8_t> systemPage(std::uint64_t at, std::uint32_t type, const char* what) {
    if (at > f_.size() || f_.size() - at < 20) throw DwgError(std::string("the ") + what + " lies outside the file");
    const std::uint8_t* h = &f_[at];
    if (le32(h) != type) throw DwgError(std::string("the ") + what + " is damaged");
    std::uint32_t dsize = le32(h + 4), csize = le32(h + 8), method = le32(h + 12), sum = le32(h + 16);
    if (csize > f_.size() - at - 20) throw DwgError(std::string("the ") + what + " runs past the end of the file");
    auto data = f_.subspan(at + 20, csize);
    std::array<std::uint8_t, 20> zeroed;
    std::memcpy(zeroed.data(), h, 20);
    put32(&zeroed[16], 0);
    if (pageChecksum(pageChecksum(0, zeroed), data) != sum) warn(std::string(what) + ": check value mismatch");
    if (method != 2) return std::vector<std::uint8_t>(data.begin(), data.end());
    // A byte of compressed data unpacks to at most a few hundred.
    if (dsize > kMaxSystemPage || dsize > std::uint64_t(csize) * 256 + 4096)
      throw DwgError(std::string("the ") + what + " claims an impossible size");
    std::vector<std::uint8_t> out(dsize);
    Inflated r = decompress(data, out);
    if (!r.ok) warn(std::string(what) + ": compressed data damaged");
    if (r.written < out.size()) {
      if (r.ok) warn(std::string(what) + ": shorter than its header says");
      out.resize(r.written);
    }
    return out;
  }

  void readPageMap(std::uint64_t at) {
    std::vector<std::uint8_t> m = systemPage(at, kPageMapType, "page map");
    std::uint64_t address = 0x100;
    for (std::size_t i = 0; i + 8 <= m.size(); i += 8) {
      std::int32_t number = static_cast<std::int32_t>(le32(&m[i]));
      std::uint32_t size = le32(&m[i + 4]);
      if (number >= 0) pages_.emplace(number, Page{address, size});
      else i += 16;  // a gap: parent, left, right and a spare word follow
      address += size;
    }
    if (pages_.empty()) throw DwgError("the page map is empty");
  }

  void readSectionMap(std::uint64_t at) {
    std::vector<std::uint8_t> m = systemPage(at, kSectionMapType, "section map");
    if (m.size() < 20) throw DwgError("the section map is damaged");
    std::uint32_t count = le32(&m[0]);
    std::size_t pos = 20;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (m.size() - pos < 8 + 6 * 4 + 64) {
        warn("section map: cut short");
        break;
      }
      Description d;
      d.size = le64(&m[pos]);
      std::uint32_t pageCount = le32(&m[pos + 8]);
      d.maxPage = le32(&m[pos + 12]);
      d.compressed = le32(&m[pos + 20]);
      d.id = le32(&m[pos + 24]);
      d.encrypted = le32(&m[pos + 28]);
      const char* name = reinterpret_cast<const char*>(&m[pos + 32]);
      d.name.assign(name, strnlen(name, 64));
      pos += 32 + 64;
      if (pageCount > (m.size() - pos) / 16) {
        warn("section map: " + d.name + " lists more pages than the map holds");
        pageCount = static_cast<std::uint32_t>((m.size() - pos) / 16);
      }
      for (std::uint32_t k = 0; k < pageCount; ++k, pos += 16)
        d.pages.push_back({static_cast<std::int32_t>(le32(&m[pos])), le32(&m[pos + 4]), le64(&m[pos + 8])});
      sections_.push_back(std::move(d));
    }
  }

  // The section's pages decompressed into one buffer kept in `storage`; damaged pages leave
  // zeros (or a shorter section) and a warning.
  std::span<const std::uint8_t> assemble(const Description& d) {
    const std::string& n = d.name;
    if (d.encrypted == 1) {
      warn(n + ": encrypted, not read");
      return {};
    }
    if (d.size == 0 || d.pages.empty()) return {};
    // Only pages the file holds count; the whole is bounded by what so many bytes could unpack to.
    std::size_t present = 0;
    for (const auto& ref : d.pages) present += pages_.count(ref.number);
    std::uint64_t limit = std::min<std::uint64_t>(kMaxTotal, std::uint64_t(f_.size()) * 256 + (1u << 20));
    if (d.maxPage == 0 || d.maxPage > kMaxPage || d.size > std::uint64_t(d.maxPage) * present ||
        d.size > limit - std::min(limit, total_)) {
      warn(n + ": size out of range");
      return {};
    }
    total_ += d.size;
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(d.size));
    scratch_.resize(d.maxPage);
    std::size_t filled = 0;
    bool sumWarned = false;
    for (const auto& ref : d.pages) {
      auto pg = pages_.find(ref.number);
      if (pg == pages_.end() || pg->second.address > f_.size() || f_.size() - pg->second.address < 32) {
        warn(n + ": page " + std::to_string(ref.number) + " missing");
        continue;
      }
      std::uint64_t at = pg->second.address;
      std::array<std::uint8_t, 32> h;
      std::uint32_t mask = 0x4164536Bu ^ static_cast<std::uint32_t>(at);
      for (int k = 0; k < 8; ++k) put32(&h[4 * k], le32(&f_[at + 4 * k]) ^ mask);
      std::uint32_t type = le32(&h[0]), csize = le32(&h[8]), start = le32(&h[16]);
      std::uint32_t headSum = le32(&h[24]), dataSum = le32(&h[28]);
      if (type != kDataPageType) {
        warn(n + ": page " + std::to_string(ref.number) + " damaged");
        continue;
      }
      if (start != ref.start) warn(n + ": page offsets disagree");
      if (csize > f_.size() - at - 32 || ref.start >= buf.size()) {
        warn(n + ": page " + std::to_string(ref.number) + " outside the file or the section");
        continue;
      }
      auto data = f_.subspan(at + 32, csize);
      std::uint32_t gotData = pageChecksum(0, data);
      put32(&h[24], 0);
      std::uint32_t gotHead = pageChecksum(gotData, h);
      if ((gotData != dataSum || gotHead != headSum) && !sumWarned) {
        warn(n + ": check value mismatch");
        sumWarned = true;
      }
      std::size_t room = buf.size() - static_cast<std::size_t>(ref.start), got = 0;
      if (d.compressed == 2) {
        Inflated r = decompress(data, scratch_);
        if (!r.ok) warn(n + ": page " + std::to_string(ref.number) + " compressed data damaged");
        got = std::min(r.written, room);
        std::memcpy(buf.data() + ref.start, scratch_.data(), got);
      } else {
        got = std::min<std::size_t>(csize, room);
        std::memcpy(buf.data() + ref.start, data.data(), got);
      }
      filled = std::max(filled, static_cast<std::size_t>(ref.start) + got);
    }
    if (filled == 0) return {};
    buf.resize(filled);
    out_.storage.push_back(std::move(buf));
    return out_.storage.back();
  }

  std::span<const std::uint8_t> f_;
  std::vector<std::string>& warnings_;
  SectionBuffers out_;
  std::unordered_map<std::int32_t, Page> pages_;
  std::vector<Description> sections_;
  std::vector<std::uint8_t> scratch_;
  std::uint64_t total_ = 0;
};

}  // namespace

SectionBuffers readSections2004(std::span<const std::uint8_t> file, std::vector<std::string>& warnings) {
  return Container(file, warnings).read();
}

}  // namespace kelvaro::cad::dwg
