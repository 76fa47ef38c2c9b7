#include "cadkit/dwg/sections.h"

#include <algorithm>
#include <cstring>

#include "cadkit/dwg/dwg_io.h"
#include "cadkit/dwg/format.h"

namespace kelvaro::cad {
namespace dwg {
namespace {

bool sentinelAt(std::span<const std::uint8_t> f, std::size_t at, const Sentinel& s) {
  return at + 16 <= f.size() && std::memcmp(f.data() + at, s.data(), 16) == 0;
}

std::uint32_t rl(std::span<const std::uint8_t> f, std::size_t at) {
  return static_cast<std::uint32_t>(f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (std::uint32_t(f[at + 3]) << 24));
}

}  // namespace

FileLayout readFileLayout(std::span<const std::uint8_t> f, std::vector<std::string>& warnings) {
  if (f.size() < 25) throw DwgError("the file is too short for a DWG file header");
  std::string magic(reinterpret_cast<const char*>(f.data()), 6);
  FileLayout lay;
  if (!releaseFromMagic(magic, lay.release) || !dwgReadable(magic))
    throw DwgError("DWG release " + magic + " is not supported");
  BitReader r(f, lay.release);
  r.seekByte(11);
  lay.maint = r.RC();
  r.RC();
  lay.previewAddress = static_cast<std::uint32_t>(r.RL());
  r.RC();
  r.RC();
  lay.codepage = static_cast<std::uint16_t>(r.RS());
  std::uint32_t n = static_cast<std::uint32_t>(r.RL());
  if (n > 16 || 25 + std::size_t(n) * 9 + 2 > f.size()) throw DwgError("the file header's section list is damaged");
  for (std::uint32_t i = 0; i < n; ++i) {
    Locator l;
    l.number = r.RC();
    l.address = static_cast<std::uint32_t>(r.RL());
    l.size = static_cast<std::uint32_t>(r.RL());
    if (std::uint64_t(l.address) + l.size > f.size()) {
      warnings.push_back("section " + std::to_string(l.number) + " lies outside the file");
      continue;
    }
    lay.sections.push_back(l);
  }
  std::size_t end = r.bytePos();
  std::uint16_t want = static_cast<std::uint16_t>(r.RS());
  if (crc16(0xC0C1, f.first(end)) != want) warnings.push_back("file header: check value mismatch");
  if (!lay.find(0) || !lay.find(2)) throw DwgError("the file has no header variables or object map");
  return lay;
}

SectionBuffers readSections2000(std::span<const std::uint8_t> f, std::vector<std::string>& warnings) {
  FileLayout lay = readFileLayout(f, warnings);
  SectionBuffers s;
  s.release = lay.release;
  s.maint = lay.maint;
  s.codepage = lay.codepage;
  auto locator = [&](int n) -> std::span<const std::uint8_t> {
    const Locator* l = lay.find(n);
    return l ? f.subspan(l->address, l->size) : std::span<const std::uint8_t>{};
  };
  s.header = locator(0);
  s.classes = locator(1);
  s.handles = locator(2);
  s.objects = f;
  if (lay.previewAddress && lay.previewAddress < f.size()) s.preview = f.subspan(lay.previewAddress);
  return s;
}

SectionBuffers readSections(std::span<const std::uint8_t> f, std::vector<std::string>& warnings) {
  if (f.size() < 6) throw DwgError("the file is too short for a DWG file header");
  std::string magic(reinterpret_cast<const char*>(f.data()), 6);
  Release rel;
  if (!releaseFromMagic(magic, rel) || !dwgReadable(magic)) throw DwgError("DWG release " + magic + " is not supported");
  switch (rel) {
    case Release::R2004:
    case Release::R2010:
    case Release::R2013:
    case Release::R2018: return readSections2004(f, warnings);
    case Release::R2007: return readSections2007(f, warnings);
    default: return readSections2000(f, warnings);
  }
}

namespace {
// Since 2007 the header variables and the classes carry their own data, handle and string
// streams: after the size (and, in later files, a second size word) comes the data's size in
// bits, counted from that field; the handles follow it and the texts end it.
struct SectionStreams {
  BitReader data, handles, strings;
};
// The second size word is there in 2018 and in late 2010/2013 files; it is zero where the
// data size would not be. The stated size and the check value leave it out.
bool secondSize(std::span<const std::uint8_t> body, const Ctx& ctx) {
  if (ctx.rel < Release::R2007) return false;
  return ctx.rel >= Release::R2018 || (ctx.rel >= Release::R2010 && ctx.maint > 3) ||
         (body.size() >= 8 && rl(body, 0) == 0);
}
SectionStreams sectionStreams(std::span<const std::uint8_t> body, const Ctx& ctx, std::vector<std::string>& warnings,
                              const char* what) {
  SectionStreams st{BitReader(body, ctx.rel), BitReader(body, ctx.rel), BitReader(body, ctx.rel)};
  std::size_t start = secondSize(body, ctx) ? 4 : 0;
  if (body.size() < start + 4) {
    warnings.push_back(std::string(what) + ": data cut short");
    st.data.fail();
    return st;
  }
  std::size_t bits = rl(body, start);
  std::span<const std::uint8_t> rest = body.subspan(start);
  if (bits < 33 || bits > rest.size() * 8) {
    warnings.push_back(std::string(what) + ": data size outside the section");
    st.data.fail();
    return st;
  }
  st.data = BitReader(rest, ctx.rel);
  st.data.seekBit(32);
  st.handles = BitReader(rest, ctx.rel);
  st.handles.seekBit(bits);
  BitRange texts = stringStream(rest, bits);
  st.strings = BitReader(rest, ctx.rel);
  if (texts.empty()) {
    st.strings = BitReader(rest.first(0), ctx.rel);
  } else {
    st.strings.limitBits(texts.end);
    st.strings.seekBit(texts.begin);
  }
  return st;
}
}  // namespace

HeaderValues readHeaderSection(std::span<const std::uint8_t> sec, Ctx& ctx, std::vector<std::string>& warnings) {
  if (!sentinelAt(sec, 0, kHeaderBegin)) warnings.push_back("header variables: start sentinel missing");
  if (sec.size() < 20) throw DwgError("the header variables are missing or cut short");
  std::uint32_t size = rl(sec, 16);
  if (std::uint64_t(20) + size + 2 > sec.size()) throw DwgError("the header variables run past the end of their section");
  if (ctx.rel >= Release::R2007) {
    // The streams may run past the stated size: they are bounded by the section.
    SectionStreams st = sectionStreams(sec.subspan(20), ctx, warnings, "header variables");
    HeaderValues vals = readHeaderValues(st.data, st.handles, st.strings, ctx);
    if (!st.data.ok() || !st.handles.ok()) warnings.push_back("header variables: data shorter than expected");
    return vals;
  }
  BitReader r(sec.subspan(20, size), ctx.rel);
  HeaderValues vals = readHeaderValues(r, ctx);
  if (!r.ok()) warnings.push_back("header variables: data shorter than expected");
  std::uint16_t want = static_cast<std::uint16_t>(sec[20 + size] | (sec[21 + size] << 8));
  if (crc16(0xC0C1, sec.subspan(16, 4 + size)) != want) warnings.push_back("header variables: check value mismatch");
  return vals;
}

std::vector<ClassDef> readClassSection(std::span<const std::uint8_t> sec, Ctx& ctx,
                                       std::vector<std::string>& warnings) {
  std::vector<ClassDef> out;
  if (sec.size() < 38) return out;
  if (!sentinelAt(sec, 0, kClassesBegin)) warnings.push_back("classes: start sentinel missing");
  std::uint32_t size = rl(sec, 16);
  if (std::uint64_t(20) + size + 2 > sec.size()) {
    warnings.push_back("classes: size runs past the end of the section");
    return out;
  }
  BitReader plain(sec.subspan(20, size), ctx.rel);
  SectionStreams st{plain, BitReader(), plain};
  if (ctx.rel >= Release::R2007) st = sectionStreams(sec.subspan(20), ctx, warnings, "classes");
  BitReader& r = st.data;
  ObjIn v(r, st.handles, ctx, 0, ctx.rel >= Release::R2007 ? &st.strings : nullptr);
  // Since 2004 the list starts with the highest class number and each class has counts.
  int count = 1 << 20;
  if (ctx.rel >= Release::R2004) {
    std::int16_t maxNumber = 0;
    std::uint8_t zero = 0;
    bool one = false;
    v.BS(maxNumber);
    v.RC(zero);
    v.RC(zero);
    v.B(one);
    count = maxNumber >= 500 ? maxNumber - 499 : 0;
  }
  while (count-- > 0 && r.bitsLeft() >= 8 * 8 && r.ok()) {
    ClassDef c;
    v.BS(c.number);
    v.BS(c.proxyFlags);
    v.T(c.appName);
    v.T(c.cppName);
    v.T(c.dxfName);
    v.B(c.wasZombie);
    std::int16_t item = 0;
    v.BS(item);
    c.isEntity = item == 0x1F2;
    if (ctx.rel >= Release::R2004) {
      std::int32_t instances = 0, unknown = 0;
      std::int16_t version = 0, maint = 0;
      v.BL(instances);
      v.BS(version);
      v.BS(maint);
      v.BL(unknown);
      v.BL(unknown);
    }
    if (!r.ok()) break;
    out.push_back(std::move(c));
  }
  std::size_t hi = secondSize(sec.subspan(20), ctx) ? 4 : 0;
  if (20 + hi + size + 2 <= sec.size()) {
    std::uint16_t want = static_cast<std::uint16_t>(sec[20 + hi + size] | (sec[21 + hi + size] << 8));
    if (crc16(0xC0C1, sec.subspan(16, 4 + hi + size)) != want) warnings.push_back("classes: check value mismatch");
  }
  return out;
}

std::vector<std::pair<std::uint64_t, std::size_t>> readObjectMap(std::span<const std::uint8_t> f,
                                                                 std::size_t objectsSize, Release rel,
                                                                 std::vector<std::string>& warnings) {
  std::vector<std::pair<std::uint64_t, std::size_t>> out;
  std::size_t at = 0, end = f.size();
  std::uint64_t handle = 0;
  std::int64_t offset = 0;
  while (at + 2 <= end) {
    std::size_t size = static_cast<std::size_t>(f[at] << 8 | f[at + 1]);
    if (size < 2 || at + size + 2 > f.size() || size > 2040) {
      if (size != 2) warnings.push_back("object map: damaged section");
      break;
    }
    if (size == 2) break;
    std::uint16_t want = static_cast<std::uint16_t>(f[at + size] << 8 | f[at + size + 1]);
    if (crc16(0xC0C1, f.subspan(at, size)) != want) warnings.push_back("object map: check value mismatch");
    // Offsets restart from zero in every section, handles too.
    handle = 0;
    offset = 0;
    BitReader r(f.subspan(at + 2, size - 2), rel);
    while (r.bitsLeft() >= 16 && r.ok()) {
      handle += r.UMC();
      offset += r.MC();
      if (!r.ok()) break;
      if (offset < 0 || static_cast<std::uint64_t>(offset) >= objectsSize) {
        warnings.push_back("object map: offset outside the objects");
        continue;
      }
      out.emplace_back(handle, static_cast<std::size_t>(offset));
    }
    at += size + 2;
  }
  if (out.empty()) throw DwgError("the object map is empty or damaged");
  return out;
}

namespace {

// One picture of the preview section by its kind (2 bitmap, 6 PNG), checked by its first bytes.
std::span<const std::uint8_t> previewPicture(std::span<const std::uint8_t> f, std::size_t base, Release rel, int kind,
                                             std::span<const std::uint8_t> magic) {
  if (!sentinelAt(f, 0, kPreviewBegin) || 16 + 5 > f.size()) return {};
  BitReader r(f.subspan(16), rel);
  r.RL();  // overall size
  int n = r.RC();
  // Without usable addresses the pictures follow the directory in its order.
  std::size_t next = 16 + 5 + std::size_t(n) * 9;
  for (int i = 0; i < n && r.ok(); ++i) {
    int code = r.RC();
    std::uint64_t start = static_cast<std::uint32_t>(r.RL()), size = static_cast<std::uint32_t>(r.RL());
    std::uint64_t here = next;
    next += size;
    if (code != kind || !r.ok()) continue;
    if (size < 40) return {};
    auto fits = [&](std::uint64_t at) {
      return at + size <= f.size() && std::memcmp(f.data() + at, magic.data(), magic.size()) == 0;
    };
    if (start >= base && fits(start - base)) here = start - base;
    if (!fits(here)) return {};
    return f.subspan(static_cast<std::size_t>(here), static_cast<std::size_t>(size));
  }
  return {};
}

}  // namespace

std::string previewHex(std::span<const std::uint8_t> f, std::size_t base, Release rel) {
  // A bitmap starts with its 40-byte info header.
  static const std::uint8_t kDib[4] = {40, 0, 0, 0};
  auto pic = previewPicture(f, base, rel, 2, kDib);
  static const char* d = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(pic.size() * 2);
  for (std::uint8_t b : pic) hex += d[b >> 4], hex += d[b & 15];
  return hex;
}

std::vector<std::uint8_t> previewPng(std::span<const std::uint8_t> f, std::size_t base, Release rel) {
  static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto pic = previewPicture(f, base, rel, 6, kPng);
  return {pic.begin(), pic.end()};
}

}  // namespace dwg

namespace {
dwg::SectionBuffers previewSections(std::span<const std::uint8_t> file) {
  std::vector<std::string> w;
  // The picture needs only the container: releases whose objects cannot be read yet give it too.
  Release rel;
  bool paged = file.size() >= 6 && releaseFromMagic(std::string_view(reinterpret_cast<const char*>(file.data()), 6), rel) &&
               (rel == Release::R2004 || rel == Release::R2010 || rel == Release::R2013 || rel == Release::R2018);
  return paged ? dwg::readSections2004(file, w) : dwg::readSections(file, w);
}
}  // namespace

std::vector<std::uint8_t> dwgPreviewPng(std::span<const std::uint8_t> file) {
  try {
    dwg::SectionBuffers s = previewSections(file);
    return dwg::previewPng(s.preview, dwg::previewBase(file, s.preview), s.release);
  } catch (const DwgError&) {
    return {};
  }
}

std::string dwgPreviewDib(std::span<const std::uint8_t> file) {
  try {
    dwg::SectionBuffers s = previewSections(file);
    return dwg::previewHex(s.preview, dwg::previewBase(file, s.preview), s.release);
  } catch (const DwgError&) {
    return {};
  }
}

}  // namespace kelvaro::cad
