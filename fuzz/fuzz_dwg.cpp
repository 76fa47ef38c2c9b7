// links: kelvaro_cadkit
// Any bytes: the bit reader's value classes, the record descriptions of 2004-2018 over the
// input as one object's streams (texts from its string stream), then the file as a drawing
// (sections, object map, every object). A drawing that reads must also save and read back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "cadkit/dwg/bits.h"
#include "cadkit/dwg/desc_tables.h"
#include "cadkit/dwg/container.h"
#include "cadkit/dwg/container2004.h"
#include "cadkit/dwg/dwg_io.h"
#include "cadkit/png_dib.h"

namespace {
using namespace kelvaro::cad;

// The input as the data, handle and string streams of one 2004+ object, read by a description.
template <class Fn>
void asObject(std::span<const std::uint8_t> in, Release rel, Fn&& fn) {
  dwg::Ctx ctx;
  ctx.rel = rel;
  std::size_t half = in.size() / 2;
  auto data = in.first(half), handles = in.subspan(half);
  dwg::BitReader d(data, rel), h(handles, rel), s(data, rel);
  dwg::BitRange texts = dwg::stringStream(data, data.size() * 8);
  s.limitBits(texts.end);
  s.seekBit(texts.begin);
  dwg::ObjIn v(d, h, ctx, 0x40, &s);
  fn(v);
}

void descriptions(std::span<const std::uint8_t> in) {
  if (in.size() < 2) return;
  static const Release kRel[] = {Release::R2004, Release::R2007, Release::R2010, Release::R2013, Release::R2018};
  Release rel = kRel[in[0] % 5];
  auto body = in.subspan(2);
  dwg::Links l;
  switch (in[1] % 12) {
    case 0: asObject(body, rel, [&](auto& v) { Text t; dwg::dwgBody(v, t, l); }); break;
    case 1: asObject(body, rel, [&](auto& v) { AttDef t; dwg::dwgBody(v, t, l); }); break;
    case 2: asObject(body, rel, [&](auto& v) { MText t; dwg::dwgBody(v, t, l); }); break;
    case 3: asObject(body, rel, [&](auto& v) { Hatch t; dwg::dwgBody(v, t, l); }); break;
    case 4: asObject(body, rel, [&](auto& v) { Viewport t; dwg::dwgBody(v, t, l); }); break;
    case 5: asObject(body, rel, [&](auto& v) { Spline t; dwg::dwgBody(v, t, l); }); break;
    case 6: asObject(body, rel, [&](auto& v) { Layer t; dwg::dwgRecord(v, t); }); break;
    case 7: asObject(body, rel, [&](auto& v) { Linetype t; dwg::dwgRecord(v, t); }); break;
    case 8: asObject(body, rel, [&](auto& v) { Vport t; dwg::dwgRecord(v, t); }); break;
    case 9: asObject(body, rel, [&](auto& v) {
      BlockRecord r;
      BlockBegin b;
      Handle x, y;
      dwg::dwgRecord(v, r, b, l, x, y);
    }); break;
    case 10: asObject(body, rel, [&](auto& v) {
      Layout t;
      std::vector<Tag> plot;
      dwg::layoutBody(v, t, plot);
    }); break;
    default: asObject(body, rel, [&](auto& v) { Dimension t; dwg::dimensionBody(v, t, 20 + in[1] % 7); }); break;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvaro::cad;
  std::span<const std::uint8_t> in(data, size);
  {
    // The wire types straight off the input, until the reader runs out.
    dwg::BitReader r(in, Release::R2000);
    for (int i = 0; i < 64 && r.ok(); ++i) {
      switch (r.bits(3)) {
        case 0: r.BS(); break;
        case 1: r.BL(); break;
        case 2: r.BD(); break;
        case 3: r.MC(); break;
        case 4: r.H(); break;
        case 5: r.TV(); break;
        case 6: r.DD(1.0); break;
        default: r.MS(); break;
      }
    }
  }
  descriptions(in);
  // Previews of later releases are PNG pictures taken from the file as they are.
  (void)pngToDib(in);
  {
    // The decompressor straight off the input, into a page-sized buffer.
    static std::uint8_t page[0x8000];
    (void)dwg::c2004::decompress(in, page);
  }
  // The 2004-family container alone, for the releases whose objects are read elsewhere.
  if (size >= 6 && (std::memcmp(data, "AC1018", 6) == 0 || std::memcmp(data, "AC1024", 6) == 0 ||
                    std::memcmp(data, "AC1027", 6) == 0 || std::memcmp(data, "AC1032", 6) == 0)) {
    std::vector<std::string> warnings;
    try {
      (void)dwg::readSections2004(in, warnings);
    } catch (const DwgError&) {
    }
  }
  // Inputs without a known magic are read as R2000 files too, so the deeper parts get coverage.
  std::vector<std::uint8_t> file(in.begin(), in.end());
  if (file.size() >= 6 && std::memcmp(file.data(), "AC10", 4) != 0) std::memcpy(file.data(), "AC1015", 6);
  try {
    Document d = readDwg(file);
    auto out = writeDwg(d, d.release);
    (void)readDwg(out);
  } catch (const DwgError&) {
  }
  return 0;
}
