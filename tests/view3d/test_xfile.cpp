#include <gtest/gtest.h>

#include <cstring>

#include "view3d/Scene3D.h"
#include "view3d/XFile.h"

using namespace kelvaro::view3d;

namespace {

void put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(v & 0xff);
  b.push_back(v >> 8);
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  for (int s = 0; s < 32; s += 8) b.push_back(static_cast<std::uint8_t>(v >> s));
}
void putName(std::vector<std::uint8_t>& b, const std::string& s) {
  put16(b, 1);
  put32(b, static_cast<std::uint32_t>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}

std::vector<std::uint8_t> header(const char* h = "xof 0302bin 0032") { return {h, h + 16}; }

}  // namespace

TEST(XFile, WrittenBlockReadsBack) {
  const XMesh block = UnitBlock();
  const auto bytes = WriteBinaryX(block);
  std::string why;
  auto m = ReadBinaryX(bytes, &why);
  ASSERT_TRUE(m) << why;
  EXPECT_EQ(m->vertices, block.vertices);
  EXPECT_EQ(m->faces, block.faces);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 16), "xof 0302bin 0032");
}

TEST(XFile, MeshInsideAFrameWithTemplatesAndQuads) {
  // A template, a Frame holding a named Mesh of one quad split over two lists and a reference.
  auto b = header();
  put16(b, 31);  // template
  putName(b, "Header");
  put16(b, 10);
  put16(b, 5);
  b.insert(b.end(), 16, 0);
  put16(b, 41);
  putName(b, "major");
  put16(b, 20);
  put16(b, 11);
  putName(b, "Frame");
  putName(b, "Root");
  put16(b, 10);
  putName(b, "Mesh");
  put16(b, 10);
  put16(b, 3);  // one integer
  put32(b, 4);
  put16(b, 7);  // float list
  put32(b, 12);
  const float pts[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
  for (float f : pts) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    put32(b, u);
  }
  put16(b, 6);
  put32(b, 6);
  for (std::uint32_t v : {1u, 4u, 0u, 1u, 2u, 3u}) put32(b, v);
  put16(b, 10);  // reference { Mat }
  putName(b, "Mat");
  put16(b, 11);
  put16(b, 11);
  put16(b, 11);
  auto m = ReadBinaryX(b);
  ASSERT_TRUE(m);
  ASSERT_EQ(m->faces.size(), 1u);
  EXPECT_EQ(m->faces[0].size(), 4u);
  MeshBuilder mb;
  ASSERT_TRUE(mb.Load(b));
  EXPECT_EQ(mb.faces().size(), 2u);  // the quad as two triangles
  EXPECT_NEAR(mb.GetBox().width(), 1.0, 1e-6);
}

TEST(XFile, BadDataIsRefusedWithAReason) {
  const auto good = WriteBinaryX(UnitBlock());
  std::string why;
  EXPECT_FALSE(ReadBinaryX({}, &why));
  EXPECT_FALSE(why.empty());
  auto text = good;
  std::memcpy(text.data() + 8, "txt ", 4);
  EXPECT_FALSE(ReadBinaryX(text, &why));
  EXPECT_NE(why.find("binary"), std::string::npos);
  // Every truncation is refused without reading past the end.
  for (std::size_t n = 0; n < good.size(); ++n) {
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
    EXPECT_FALSE(ReadBinaryX(cut)) << n;
  }
  // A face naming a vertex past the end.
  auto bad = good;
  // Header, the names Mesh and Cube, the brace, the vertex count and the 24 coordinates.
  const std::size_t faceList = 16 + 10 + 10 + 2 + 10 + (2 + 4 + 4 * 24);
  ASSERT_EQ(bad[faceList], 6);
  std::uint32_t big = 99;
  std::memcpy(bad.data() + faceList + 2 + 4 + 4 + 4, &big, 4);  // first index of the first face
  EXPECT_FALSE(ReadBinaryX(bad, &why));
  EXPECT_NE(why.find("vertex"), std::string::npos);
  // A huge list count.
  auto huge = good;
  std::uint32_t n = 0xfffffff0u;
  std::memcpy(huge.data() + faceList + 2, &n, 4);
  EXPECT_FALSE(ReadBinaryX(huge));
  // Deep nesting stops at a limit.
  auto deep = header();
  for (int i = 0; i < 100; ++i) {
    putName(deep, "Frame");
    put16(deep, 10);
  }
  EXPECT_FALSE(ReadBinaryX(deep, &why));
  // A file without a mesh.
  auto none = header();
  putName(none, "Frame");
  put16(none, 10);
  put16(none, 11);
  EXPECT_FALSE(ReadBinaryX(none, &why));
  EXPECT_NE(why.find("Mesh"), std::string::npos);
}
