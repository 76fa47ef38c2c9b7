// The 2007 container: Reed-Solomon interleaving, the page compressor's expansion, and whole
// files built here page by page, intact and damaged; then the 2007 sample drawing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <unordered_map>

#include "cadkit/dwg/bits.h"
#include "cadkit/dwg/container.h"
#include "cadkit/dwg/container2007.h"
#include "cadkit/dwg/dwg_io.h"
#include "cadkit/dwg/format.h"
#include "cadkit/dwg/sections.h"
#include "cadkit/dxf_io.h"
#include "python_helper.h"

namespace kelvaro::cad {
namespace {

namespace r = dwg::r2007;
using Bytes = std::vector<std::uint8_t>;

// GF(256) of the codes, built here independently of the reader.
struct Gf {
  std::uint8_t exp[512], log[256];
  Gf() {
    for (int i = 0, x = 1; i < 255; ++i, x = (x << 1) ^ (x & 0x80 ? 0x169 : 0)) exp[i] = exp[i + 255] = x, log[x] = i;
  }
  std::uint8_t mul(int a, int b) const { return a && b ? exp[log[a] + log[b]] : 0; }
} gf;

// Data bytes then parity: the remainder of d(x)·x^r by the generator (roots x^1..x^r).
std::array<std::uint8_t, 255> codeword(const std::uint8_t* data, std::size_t k) {
  std::size_t rr = 255 - k;
  std::vector<std::uint8_t> g{1};
  for (std::size_t j = 1; j <= rr; ++j) {
    std::vector<std::uint8_t> h(g.size() + 1, 0);
    for (std::size_t t = 0; t < g.size(); ++t) h[t + 1] ^= g[t], h[t] ^= gf.mul(g[t], gf.exp[j]);
    g = h;
  }
  std::uint8_t m[255] = {};
  std::memcpy(m + rr, data, k);
  for (std::size_t deg = 254; deg >= rr; --deg)
    if (std::uint8_t c = m[deg])
      for (std::size_t t = 0; t <= rr; ++t) m[deg - rr + t] ^= gf.mul(c, g[t]);
  std::array<std::uint8_t, 255> cw;
  std::memcpy(cw.data(), data, k);
  std::memcpy(cw.data() + k, m, rr);
  return cw;
}

Bytes pad8(Bytes b) {  // pages count their codewords from the size rounded up to 8
  b.resize((b.size() + 7) / 8 * 8, 0);
  return b;
}

// `data` in codewords of k bytes, interleaved, padded to `align`.
Bytes rsEncode(Bytes data, std::size_t k, std::size_t align) {
  std::size_t blocks = (data.size() + k - 1) / k;
  data.resize(blocks * k, 0);
  Bytes out((blocks * 255 + align - 1) / align * align, 0);
  for (std::size_t i = 0; i < blocks; ++i) {
    auto cw = codeword(data.data() + i * k, k);
    for (std::size_t j = 0; j < 255; ++j) out[j * blocks + i] = cw[j];
  }
  return out;
}

// Literal bytes in their stored order (inverse of the reader's group order).
void putLiteral(Bytes& out, const std::uint8_t* s, std::size_t n) {
  for (; n >= 32; n -= 32, s += 32)
    for (int g = 3; g >= 0; --g) out.insert(out.end(), s + 8 * g, s + 8 * g + 8);
  std::string groups = r::kLiteralGroups[n];
  std::size_t at = out.size(), end = n;
  out.resize(at + n);
  for (std::size_t gi = groups.size(); gi-- > 0; s += groups[gi] - '0') {
    end -= groups[gi] - '0';
    std::memcpy(out.data() + at + end, s, groups[gi] - '0');
  }
}
void putLength(Bytes& out, std::size_t n) {  // literal length n >= 8 as an opcode
  if (n < 0x17) return out.push_back(std::uint8_t(n - 8));
  out.push_back(0x0F);
  n -= 0x17;
  out.push_back(std::uint8_t(std::min<std::size_t>(n, 0xFF)));
  if (n < 0xFF) return;
  for (n -= 0xFF;; n -= 0xFFFF) {
    out.push_back(std::uint8_t(std::min<std::size_t>(n, 0xFFFF))), out.push_back(std::uint8_t(std::min<std::size_t>(n, 0xFFFF) >> 8));
    if (n < 0xFFFF) break;
  }
}
// A greedy compressor (3-byte chains) writing back-references of 3-18 bytes up to 0x2000 back;
// the other forms are checked on hand-built input below.
Bytes pack(const Bytes& in) {
  Bytes out;
  std::unordered_map<std::uint32_t, std::vector<std::size_t>> seen;
  auto key = [&](std::size_t i) { return std::uint32_t(in[i] | in[i + 1] << 8 | in[i + 2] << 16); };
  std::size_t pos = 1, start = 0, matchAt = 0;  // matchAt: where the last match's last byte is
  auto literal = [&](std::size_t n) {  // the run in[start, start+n), its length where it goes
    if (n < 8 && start == 0) out.insert(out.end(), {0x20, 0, 0, std::uint8_t(n)});
    else if (n < 8) out[matchAt] |= std::uint8_t(n);
    else putLength(out, n);
    putLiteral(out, in.data() + start, n);
  };
  while (pos + 2 < in.size()) {
    std::size_t best = 0, from = 0;
    auto& c = seen[key(pos)];
    for (std::size_t k = c.size(), tries = 0; k-- > 0 && tries < 8 && pos - c[k] <= 0x2000; ++tries) {
      std::size_t n = 0;
      while (pos + n < in.size() && n < 18 && in[c[k] + n] == in[pos + n]) ++n;
      if (n > best) best = n, from = c[k];
    }
    c.push_back(pos);
    if (best < 3) {
      ++pos;
      continue;
    }
    if (pos > start) literal(pos - start);
    std::size_t o = pos - from - 1;
    out.insert(out.end(), {std::uint8_t(0x10 | (best - 3)), std::uint8_t(o), std::uint8_t((o >> 8) << 3)});
    matchAt = out.size() - 1;
    pos = start = pos + best;
  }
  if (start < in.size()) literal(in.size() - start);
  return out;
}

TEST(Dwg2007, ReedSolomonDeinterleavesAndChecksParity) {
  std::mt19937 rng(7);
  Bytes data(3 * 239 - 20);
  for (auto& b : data) b = std::uint8_t(rng());
  Bytes raw = rsEncode(data, 239, 8);
  std::size_t bad = 0;
  auto out = r::rsDeinterleave(raw, 3, 239, &bad);
  ASSERT_TRUE(out);
  EXPECT_EQ(bad, 0u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out->begin()));
  raw[4] ^= 0x40;  // byte 1 of the second codeword
  bad = 0;
  r::rsDeinterleave(raw, 3, 239, &bad);
  EXPECT_EQ(bad, 1u);
  EXPECT_FALSE(r::rsDeinterleave(std::span(raw).first(3 * 255 - 1), 3, 239));
  EXPECT_FALSE(r::rsDeinterleave(raw, std::size_t(1) << 62, 239));
}

TEST(Dwg2007, ExpandsLiteralsOfEveryLength) {
  for (int n = 0; n < 32; ++n) {
    int sum = 0;
    for (const char* g = r::kLiteralGroups[n]; *g; ++g) sum += *g - '0';
    EXPECT_EQ(sum, n) << "literal groups of " << n;
  }
  std::mt19937 rng(3);
  std::vector<Bytes> inputs;
  for (std::size_t n = 1; n < 80; ++n) inputs.emplace_back(n), std::generate(inputs.back().begin(), inputs.back().end(), rng);
  Bytes text;
  for (int i = 0; text.size() < 40000; ++i) {
    std::string w = "LINE " + std::to_string(i % 97) + (i % 5 ? " layer0 " : std::string(300 + i % 40, 'z'));
    text.insert(text.end(), w.begin(), w.end());
  }
  inputs.push_back(text);
  inputs.push_back(Bytes(200000, 0));
  for (const Bytes& in : inputs) {
    Bytes packed = pack(in), out(in.size() + 5, 0xEE);
    std::string err;
    ASSERT_EQ(r::expand(packed, out, &err), in.size()) << err << " for " << in.size() << " bytes";
    EXPECT_TRUE(std::equal(in.begin(), in.end(), out.begin()));
  }
  EXPECT_LT(pack(text).size(), text.size() / 4);
}

TEST(Dwg2007, ExpandsEachBackReferenceForm) {
  // "ab" as the first literal, then one back-reference of each form at distance 2, its last
  // byte's low bits giving the literal after it; 0xF_ after a reference is the long form again,
  // an opcode below 0x10 a literal of 8 and more.
  const Bytes ab = {0x20, 0, 0, 2, 'b', 'a'};
  struct Case { Bytes ops; std::size_t repeated; std::string tail; } cases[] = {
      {{0x41, 0x00}, 4, ""},                                 // short: length in the opcode
      {{0x12, 0x01, 0x00}, 5, ""},                           // 3-18 bytes
      {{0x01, 0x01, 0x80}, 36, ""},                          // 19-50 bytes
      {{0x22, 0x02, 0x00, 0x08}, 10, ""},                    // up to 255 bytes
      {{0x2B, 0x01, 0x00, 0x01, 0x08}, 0x100 + 3 + 8 + 0x800, ""},  // 256 and more
      {{0x41, 0x00, 0xF1, 0x01, 0x00}, 4 + 20, ""},          // two in a row
      {{0x41, 0x02, 'y', 'x'}, 4, "xy"},                     // a short literal after it
      {{0x41, 0x00, 0x01, '2', '3', '4', '5', '6', '7', '8', '9', '1'}, 4, "123456789"},  // nine: 8+1 stored
  };
  for (const auto& c : cases) {
    Bytes src = ab;
    src.insert(src.end(), c.ops.begin(), c.ops.end());
    std::string want = "ab";
    for (std::size_t i = 0; i < c.repeated; ++i) want += "ab"[i % 2];
    want += c.tail;
    Bytes out(want.size() + 8);
    std::string err;
    ASSERT_EQ(r::expand(src, out, &err), want.size()) << err << " case of " << c.repeated;
    EXPECT_EQ(std::string(out.begin(), out.begin() + std::ptrdiff_t(want.size())), want);
  }
}

TEST(Dwg2007, ExpansionStopsAtEveryBound) {
  Bytes out(16);
  std::string err;
  // "ab", then a match of 12 at distance 2: overlapping copy.
  Bytes rep = {0x20, 0, 0, 2, 'b', 'a', 0x10 | 9, 1, 0};
  EXPECT_EQ(r::expand(rep, out, &err), 14u);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 14), "ababababababab");
  Bytes before = {0x20, 0, 0, 2, 'b', 'a', 0x10 | 9, 2, 0};  // distance 3 > 2 written
  EXPECT_EQ(r::expand(before, out, &err), 2u);
  EXPECT_FALSE(err.empty());
  Bytes small(8);
  err.clear();
  EXPECT_EQ(r::expand(rep, small, &err), 2u);  // the match does not fit
  EXPECT_FALSE(err.empty());
  for (Bytes bad : {Bytes{0x20, 0, 0, 7, 'a'}, Bytes{0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, Bytes{0x20, 0, 0, 1, 'a', 0x20, 1},
                    Bytes{0x20, 0}}) {
    err.clear();
    r::expand(bad, out, &err);
    EXPECT_FALSE(err.empty()) << bad.size();
  }
}

// A whole 2007 file: sections of one or more pages, the section map compressed, the page map
// stored plain; knobs for damage the pages cannot carry after the fact.
struct FileBuilder {
  std::vector<std::pair<std::string, std::vector<Bytes>>> sections;
  std::int64_t badPageId = 0;       // id given to the first page of the last section
  std::uint64_t extraPageCount = 0;  // added to the last section's page count
  std::size_t repeats = 0;           // copies of the last section's first page entry
  Bytes build() const {
    Bytes file(r::kPagesBase, 0);
    std::memcpy(file.data(), "AC1021", 6);
    file[11] = 0x32, file[0x13] = 30;
    std::vector<std::pair<std::int64_t, std::int64_t>> pageList;  // size, id
    auto addPage = [&](const Bytes& page, std::int64_t id) {
      file.insert(file.end(), page.begin(), page.end());
      pageList.emplace_back(std::int64_t(page.size()), id);
    };
    auto u64 = [](Bytes& b, std::uint64_t v) { for (int i = 0; i < 8; ++i) b.push_back(std::uint8_t(v >> 8 * i)); };
    Bytes map;
    std::int64_t id = 1;
    for (std::size_t s = 0; s < sections.size(); ++s) {
      const auto& [name, pages] = sections[s];
      std::uint64_t total = 0, maxSize = 0x7400;
      for (const auto& p : pages) total += p.size();
      u64(map, total), u64(map, maxSize), u64(map, 0), u64(map, 0), u64(map, name.size() * 2 + 2), u64(map, 0), u64(map, 4);
      bool last = s + 1 == sections.size();
      u64(map, pages.size() + (last ? extraPageCount + repeats : 0));
      for (char c : name) map.push_back(std::uint8_t(c)), map.push_back(0);
      map.push_back(0), map.push_back(0);
      std::uint64_t offset = 0;
      for (std::size_t p = 0; p < pages.size(); ++p) {
        Bytes packed = pack(pages[p]);
        if (packed.size() >= pages[p].size()) packed = pages[p];
        Bytes stored = rsEncode(pad8(packed), 251, 32);
        bool bad = badPageId && s + 1 == sections.size() && p == 0;
        u64(map, offset), u64(map, stored.size()), u64(map, bad ? badPageId : id), u64(map, pages[p].size());
        u64(map, packed.size()), u64(map, 0), u64(map, 0);
        for (std::size_t k = 0; last && p == 0 && k < repeats; ++k) map.insert(map.end(), map.end() - 56, map.end());
        addPage(stored, id++);
        offset += pages[p].size();
      }
    }
    Bytes mapPacked = pack(map);
    std::int64_t mapId = id++, pageMapId = id++;
    addPage(rsEncode(pad8(mapPacked), 239, 8), mapId);
    std::size_t pageMapAt = file.size(), entries = pageList.size() + 1;
    Bytes pm;
    for (auto [size, pid] : pageList) u64(pm, size), u64(pm, pid);
    u64(pm, rsEncode(pad8(Bytes(entries * 16)), 239, 8).size()), u64(pm, pageMapId);
    addPage(rsEncode(pad8(pm), 239, 8), pageMapId);
    std::int64_t fields[34] = {0x70, std::int64_t(file.size())};
    fields[3] = 1, fields[7] = std::int64_t(pageMapAt - r::kPagesBase), fields[8] = pageMapId;
    fields[10] = fields[11] = std::int64_t(pm.size());
    fields[22] = std::int64_t(mapPacked.size()), fields[24] = mapId, fields[25] = std::int64_t(map.size()), fields[27] = 1;
    Bytes fb;
    for (auto f : fields) u64(fb, std::uint64_t(f));
    Bytes packed = pack(fb), pre(32, 0);
    for (int i = 0; i < 4; ++i) pre[24 + i] = std::uint8_t(packed.size() >> 8 * i);
    pre.insert(pre.end(), packed.begin(), packed.end());
    pre.resize(3 * 239, 0);
    Bytes head = rsEncode(pre, 239, 1);
    std::memcpy(file.data() + r::kFileHeaderAt, head.data(), head.size());
    return file;
  }
};

Bytes sample(std::size_t n, int seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t((i * 7 + seed) % 251 ^ (i / 64));
  return b;
}

FileBuilder typicalFile() {
  FileBuilder fb;
  fb.sections = {{"AcDb:Header", {sample(900, 1)}},          {"AcDb:Classes", {sample(300, 2)}},
                 {"AcDb:Preview", {sample(40, 3)}},          {"AcDb:Handles", {sample(500, 4)}},
                 {"AcDb:AcDbObjects", {sample(0x7400, 5), sample(0x7400, 6), sample(1000, 7)}}};
  return fb;
}

Bytes typicalObjects() {
  Bytes objects = sample(0x7400, 5), b = sample(0x7400, 6), c = sample(1000, 7);
  objects.insert(objects.end(), b.begin(), b.end()), objects.insert(objects.end(), c.begin(), c.end());
  return objects;
}

TEST(Dwg2007, ReadsTheSectionsOfABuiltFile) {
  Bytes file = typicalFile().build();
  std::vector<std::string> w;
  dwg::SectionBuffers sb = dwg::readSections2007(file, w);
  EXPECT_TRUE(w.empty()) << w.front();
  EXPECT_EQ(sb.release, Release::R2007);
  EXPECT_EQ(sb.maint, 0x32);
  EXPECT_EQ(sb.codepage, 30);
  auto same = [](std::span<const std::uint8_t> a, const Bytes& b) { return std::equal(a.begin(), a.end(), b.begin(), b.end()); };
  EXPECT_TRUE(same(sb.header, sample(900, 1)));
  EXPECT_TRUE(same(sb.classes, sample(300, 2)));
  EXPECT_TRUE(same(sb.preview, sample(40, 3)));
  EXPECT_TRUE(same(sb.handles, sample(500, 4)));
  EXPECT_TRUE(same(sb.objects, typicalObjects()));
  EXPECT_TRUE(sb.summaryInfo.empty());
}

TEST(Dwg2007, DamageIsAWarningOrAnErrorNeverACrash) {
  std::vector<std::string> w;
  FileBuilder lost = typicalFile();
  lost.badPageId = 77;
  lost.extraPageCount = 1000;
  auto sb = dwg::readSections2007(lost.build(), w);
  EXPECT_EQ(sb.objects.size(), 2 * 0x7400 + 1000u);  // the lost page stays zero, the rest is read
  EXPECT_EQ(sb.objects[0], 0);
  EXPECT_EQ(sb.objects[0x7400], sample(0x7400, 6)[0]);
  ASSERT_EQ(w.size(), 2u);
  EXPECT_NE(w[0].find("more pages than"), std::string::npos);
  EXPECT_NE(w[1].find("page 77"), std::string::npos);

  FileBuilder repeated = typicalFile();
  repeated.repeats = 20000;  // one stored page decoded over and over would take seconds
  w.clear();
  sb = dwg::readSections2007(repeated.build(), w);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("overlap"), std::string::npos);
  EXPECT_TRUE(std::equal(sb.objects.begin(), sb.objects.end(), typicalObjects().begin()));

  Bytes file = typicalFile().build();
  Bytes flipped = file;
  flipped[r::kFileHeaderAt + 240 * 3] ^= 1;  // a parity byte of the first codeword
  w.clear();
  dwg::readSections2007(flipped, w);
  ASSERT_FALSE(w.empty());
  EXPECT_NE(w[0].find("parity"), std::string::npos);
  // Cut or garbled anywhere: either nothing can be read (an error) or what is read stays within
  // what the file may expand to.
  for (std::size_t at = 0; at < file.size(); at += 331) {
    Bytes bad(file.begin(), file.begin() + std::ptrdiff_t(at % 2 ? file.size() : at));
    for (std::size_t i = at; i < std::min(bad.size(), at + 300); ++i) bad[i] ^= std::uint8_t(0x5A + i);
    w.clear();
    try {
      auto part = dwg::readSections2007(bad, w);
      std::size_t total = 0;
      for (const auto& st : part.storage) total += st.size();
      EXPECT_LE(total, bad.size() * 64 + (16u << 20));
    } catch (const DwgError&) {
    }
  }
}

TEST(Dwg2007, SampleDrawingSectionsAreWhole) {
  std::filesystem::path f = test::corpusDir() + "/example_2007.dwg";
  if (!std::filesystem::exists(f)) GTEST_SKIP() << f << " not found";
  std::ifstream in(f, std::ios::binary);
  Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::string> w;
  auto sb = dwg::readSections2007(file, w);
  EXPECT_TRUE(w.empty()) << w.front();
  ASSERT_GE(sb.header.size(), 16u);
  ASSERT_GE(sb.classes.size(), 16u);
  EXPECT_TRUE(std::equal(dwg::kHeaderBegin.begin(), dwg::kHeaderBegin.end(), sb.header.begin()));
  EXPECT_TRUE(std::equal(dwg::kClassesBegin.begin(), dwg::kClassesBegin.end(), sb.classes.begin()));
  EXPECT_TRUE(std::equal(dwg::kPreviewBegin.begin(), dwg::kPreviewBegin.end(), sb.preview.begin()));
  EXPECT_FALSE(sb.summaryInfo.empty());
  EXPECT_FALSE(sb.appInfo.empty());
  // A whole object map (its parts' checks hold), each object starting with its size in the
  // objects section.
  auto map = dwg::readObjectMap(sb.handles, sb.objects.size(), Release::R2007, w);
  EXPECT_TRUE(w.empty()) << w.front();
  EXPECT_GT(map.size(), 100u);
  for (auto [handle, offset] : map) {
    dwg::BitReader r(sb.objects.subspan(offset), Release::R2007);
    EXPECT_GT(r.MS(), 0) << "object " << handle;
  }
  // Through the reader: the drawing's layers are the ones its DXF names.
  Document d = readDwg(file);
  Document x = readDxfFile(test::corpusDir() + "/example_2007.dxf");
  EXPECT_EQ(d.release, Release::R2007);
  ASSERT_EQ(d.layers.entries.size(), x.layers.entries.size());
  for (std::size_t i = 0; i < d.layers.entries.size(); ++i) EXPECT_EQ(d.layers.entries[i].rec.name, x.layers.entries[i].rec.name);
}

}  // namespace
}  // namespace kelvaro::cad
