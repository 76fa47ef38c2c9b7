// Reading large DXF files from disk: the file's pages are given back as the reader passes them,
// which must change nothing in what is read, and a file cut short still fails cleanly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cadkit/dxf_io.h"

namespace {
using namespace kelvaro::cad;
namespace fs = std::filesystem;

// Several megabytes of mixed entities with texts, so that pages are released many times.
Document largeDrawing(int n) {
  Document d;
  d.release = Release::R2000;
  TableEntry<Layer> l;
  l.rec.name = "WALLS";
  d.layers.entries.push_back(l);
  d.layers.present = true;
  Block& m = d.modelSpace();
  for (int i = 0; i < n; ++i) {
    const double x = i % 300, y = i / 300;
    Entity e = makeEntity(Line{}, i % 2 ? "WALLS" : "0");
    switch (i % 3) {
      case 0: e.data = Line{.start = {x, y, 0}, .end = {x + 0.5, y + 0.25, 0}}; break;
      case 1: e.data = Circle{.center = {x, y, 0}, .radius = 0.2 + (i % 7) * 0.01}; break;
      default: {
        Text t;
        t.insert = {x, y, 0};
        t.text = "Raum " + std::to_string(i) + " \xc3\xa4";
        e.data = t;
      }
    }
    m.entities.push_back(std::move(e));
  }
  d.assignHandles();
  return d;
}

fs::path tempFile(const char* name) { return fs::temp_directory_path() / name; }

TEST(DxfReadFile, LargeFilesReadAsFromMemoryAsciiAndBinary) {
  const Document d = largeDrawing(60000);
  for (bool binary : {false, true}) {
    WriteOptions opt;
    opt.binary = binary;
    const std::string text = writeDxf(d, Release::R2000, opt);
    ASSERT_GT(text.size(), std::size_t{5} << 20) << "too small to release pages";
    const fs::path file = tempFile(binary ? "kelvaro_read_file_b.dxf" : "kelvaro_read_file_a.dxf");
    {
      std::ofstream f(file, std::ios::binary);
      f.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    int last = -1;
    bool ordered = true;
    Document fromFile = readDxfFile(file, [&](int p) {
      ordered = ordered && p > last;
      last = p;
    });
    const Document fromMemory = readDxf(text);
    EXPECT_TRUE(fromFile == fromMemory) << (binary ? "binary" : "ascii");
    EXPECT_EQ(fromFile.modelSpace().entities.size(), 60000u);
    EXPECT_TRUE(ordered);
    EXPECT_GE(last, 99);
    fs::remove(file);
  }
}

TEST(DxfReadFile, LargeFileCutShortFailsWithAMessage) {
  const std::string text = writeDxf(largeDrawing(40000), Release::R2000, {});
  const fs::path file = tempFile("kelvaro_read_file_cut.dxf");
  for (std::size_t keep : {text.size() / 2, text.size() / 10 * 9}) {
    {
      std::ofstream f(file, std::ios::binary | std::ios::trunc);
      f.write(text.data(), static_cast<std::streamsize>(keep));
    }
    try {
      readDxfFile(file);
      ADD_FAILURE() << "a file cut at " << keep << " was read";
    } catch (const DxfError& e) {
      EXPECT_NE(std::string(e.what()).find("truncated"), std::string::npos) << e.what();
    }
  }
  fs::remove(file);
  EXPECT_THROW(readDxfFile(file), DxfError);  // gone
}

}  // namespace
