// links: kelvaro_cadkit
// Any bytes into the 2007 container. The first byte picks the piece: the expansion of
// compressed data, a Reed-Solomon system page, the page and section maps with the sections they
// describe, or the whole file (with the 2007 magic put in front so every input gets that far).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "cadkit/dwg/container.h"
#include "cadkit/dwg/container2007.h"
#include "cadkit/dwg/dwg_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvaro::cad;
  namespace r = dwg::r2007;
  if (size < 1) return 0;
  std::span<const std::uint8_t> in(data + 1, size - 1);
  std::vector<std::string> warnings;
  switch (data[0] & 3) {
    case 0: {
      // Output as large as a section page may be.
      std::vector<std::uint8_t> out(0x40000);
      std::string err;
      std::size_t n = r::expand(in, out, &err);
      if (n > out.size()) __builtin_trap();
      break;
    }
    case 1: {
      // Sizes and copies from the input, the page from the rest of it.
      if (in.size() < 5) return 0;
      (void)r::rsDeinterleave(in.subspan(5), in[0] + 1u, r::kSystemData);
      std::int64_t comp = in[1] | in[2] << 8, uncomp = in[3] | in[4] << 8;
      (void)r::readSystemPage(in, 5, comp, uncomp, 1 + (in[0] & 7), "page", warnings);
      break;
    }
    case 2: {
      // The first half as page and section maps, the whole input as the file they describe.
      std::size_t half = in.size() / 2;
      auto pages = r::pageMap(in.first(half), warnings);
      auto sections = r::sectionMap(in.subspan(half), warnings);
      std::uint64_t budget = 16u << 20;
      for (const auto& s : sections) (void)r::readSection(in, pages, s, budget, warnings);
      break;
    }
    default: {
      std::vector<std::uint8_t> file(in.begin(), in.end());
      if (file.size() >= 6) std::memcpy(file.data(), "AC1021", 6);
      try {
        auto sb = dwg::readSections2007(file, warnings);
        std::size_t total = 0;
        for (const auto& s : sb.storage) total += s.size();
        if (total > file.size() * 64 + (16u << 20)) __builtin_trap();
      } catch (const DwgError&) {
      }
      break;
    }
  }
  return 0;
}
