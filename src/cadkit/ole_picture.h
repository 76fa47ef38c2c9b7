#pragma once
// The picture inside an embedded OLE object, as far as a viewer can show it: the object's data
// is an OLE compound file whose native or presentation stream holds a bitmap, a PNG file or a
// metafile. The result starts with one kind byte so that the display knows what follows.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvaro::cad {

enum OlePictureKind : std::uint8_t {
  kOleMetafile = 0,  // a Windows metafile or enhanced metafile follows (not played: framed)
  kOleDib = 1,       // a bitmap file follows, starting with its 14-byte "BM" header
  kOlePng = 2,       // a PNG file follows
  kOleNone = 255,    // nothing that can be drawn
};

// Finds the best picture in `data` (bitmaps and PNG before metafiles). Never throws on bad
// input; returns {kOleNone} when there is nothing to show.
std::vector<std::uint8_t> extractOlePicture(const std::uint8_t* data, std::size_t size);

// The streams of an OLE compound file (name in UTF-8 and contents); false when `data` is not
// one or is broken. Streams are bounded by `maxBytes` together.
struct OleStream {
  std::string name;
  std::vector<std::uint8_t> bytes;
};
bool readCompoundFile(const std::uint8_t* data, std::size_t size, std::vector<OleStream>& streams,
                      std::size_t maxBytes = 64u << 20);

}  // namespace kelvaro::cad
