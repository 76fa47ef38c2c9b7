#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "viewer/pcx.h"
#include "viewer/targa.h"

namespace {

// The fuzzing seeds are meant to be good pictures of each layout; a seed that no longer decodes
// means either the decoder or the seed drifted.
void expectAllDecode(const char* folder, kelvaro::RasterResult (*decode)(std::span<const std::uint8_t>)) {
  const std::filesystem::path dir = std::filesystem::path(KELVARO_SOURCE_DIR) / "fuzz" / "seeds" / folder;
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const kelvaro::RasterResult r = decode(bytes);
    EXPECT_TRUE(r.ok()) << entry.path() << ": " << r.Error;
    ++count;
  }
  EXPECT_GE(count, 5);
}

TEST(RasterSeeds, EverySeedIsAGoodPicture) {
  expectAllDecode("fuzz_pcx", kelvaro::decodePcx);
  expectAllDecode("fuzz_targa", kelvaro::decodeTarga);
}

}  // namespace
