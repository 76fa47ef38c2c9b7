// links: kelvaro_cadkit
// Any bytes as the data of an embedded OLE object: the picture found is a known kind, a
// bitmap starts with its file header and a PNG with its signature.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cadkit/ole_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvaro::cad;
  std::vector<std::uint8_t> pic = extractOlePicture(data, size);
  if (pic.empty()) std::abort();
  switch (pic[0]) {
    case kOleNone:
      if (pic.size() != 1) std::abort();
      break;
    case kOleDib:
      if (pic.size() < 15 || pic[1] != 'B' || pic[2] != 'M') std::abort();
      break;
    case kOlePng:
      if (pic.size() < 9 || pic[1] != 0x89 || pic[2] != 'P') std::abort();
      break;
    case kOleMetafile:
      if (pic.size() < 2) std::abort();
      break;
    default: std::abort();
  }
  return 0;
}
