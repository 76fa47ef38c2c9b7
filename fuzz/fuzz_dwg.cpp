// links: kelvaro_cadkit
// Any bytes: the bit reader's value classes, then the file as an R13-2000 drawing (section
// locators, object map, every object). A drawing that reads must also save and read back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "cadkit/dwg/bits.h"
#include "cadkit/dwg/dwg_io.h"

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
