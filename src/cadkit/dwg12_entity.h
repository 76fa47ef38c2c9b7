#pragma once
// The common data every entity of these releases starts with, and extended data.
#include "cadkit/dwg12_layout.h"

namespace kelvaro::cad::dwg12 {

struct EntHead {
  std::uint8_t type = 0, flag = 0, extra = 0;
  std::uint16_t size = 0;  // of the whole entity, type byte and checksum included
  std::string layer = "0";
  std::uint16_t opts = 0;
  std::string eed;  // extended data as stored
  std::uint8_t color = 0;
  std::string ltype;
  double elev = 0, thickness = 0;
  std::string handle;  // big-endian bytes
  std::int16_t viewport = 0;
};

// After the type byte. The writer fills `size` and `opts` in afterwards.
template <class V>
void head(V& v, EntHead& h) {
  Ctx& c = v.ctx();
  if (!c.at(Ver::V2_10)) {
    v.idx(h.layer, Tbl::Layer, true);
    return;
  }
  v.rc(h.flag);
  v.rs(h.size);
  v.idx(h.layer, Tbl::Layer, true);
  v.rs(h.opts);
  c.opts = h.opts;
  c.flag = h.flag;
  if (h.flag & kHasExtra) v.rc(h.extra);
  if (h.extra & kExtraXData) {
    std::uint16_t n = static_cast<std::uint16_t>(h.eed.size());
    v.rs(n);
    if constexpr (V::kReading) h.eed = v.raw(n);
    else v.raw(h.eed);
  }
  if (h.flag & kHasColor) v.rc(h.color);
  if (h.flag & kHasLtype) v.idx(h.ltype, Tbl::Ltype, c.at(Ver::V11));
  const bool pointsOwnZ = c.at(Ver::V10) && (h.type == kLine || h.type == kPoint || h.type == kFace3d || h.type == kLine3d);
  c.hasElev = false;
  if ((h.flag & kHasElev) && !pointsOwnZ) {
    v.rd(h.elev);
    c.hasElev = true;
    c.elev = h.elev;
  }
  if (h.flag & kHasThickness) v.rd(h.thickness);
  if (h.flag & kHasHandle) {
    std::uint8_t n = static_cast<std::uint8_t>(h.handle.size());
    v.rc(n);
    if constexpr (V::kReading) h.handle = v.raw(n);
    else v.raw(h.handle);
  }
  if (h.extra & kExtraViewport) v.rs(h.viewport);
}

// Extended data as stored <-> the model's 1000-group tags. Application and layer references
// are table indexes in the file.
std::vector<Tag> eedToTags(std::string_view raw, const Names& names, std::vector<std::string>* warnings);
// Returns false (and leaves `raw` empty) when a tag cannot be stored.
bool tagsToEed(const std::vector<Tag>& tags, const Names& names, const CodePage& cp, std::string& raw);

Handle handleOf(std::string_view bigEndian);
std::string handleBytes(Handle h);

}  // namespace kelvaro::cad::dwg12
