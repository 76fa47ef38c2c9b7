// Entity names kept once per text: sharing, case, the pool's limits and use from many threads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "cadkit/dxf_io.h"
#include "cadkit/name.h"

namespace kelvaro::cad {
namespace {

TEST(Name, SameTextSharesOneCopyAndCaseIsKept) {
  std::size_t before = namePoolStats().names;
  Name a("Walls-share"), b(std::string("Walls-share")), upper("WALLS-SHARE");
  EXPECT_TRUE(a.pooled());
  EXPECT_EQ(a.c_str(), b.c_str()) << "one copy per distinct text";
  EXPECT_EQ(namePoolStats().names, before + 2) << "two texts differing in case are two names";
  EXPECT_EQ(a, b);
  EXPECT_NE(a, upper);
  EXPECT_NE(a.c_str(), upper.c_str());
  Name c = a;
  EXPECT_EQ(c.c_str(), a.c_str()) << "a copy is the same pointer";
  Name d;
  d = std::string("Walls-share");
  EXPECT_EQ(d.c_str(), a.c_str());
  EXPECT_EQ(namePoolStats().names, before + 2);
}

TEST(Name, LongTextsAreOwnCopiesEqualToPooledOnes) {
  std::string text(kNamePoolMaxLength + 2, 'x');
  std::size_t before = namePoolStats().names;
  Name own(text);
  EXPECT_FALSE(own.pooled());
  EXPECT_EQ(namePoolStats().names, before) << "long texts never enter the pool";
  EXPECT_EQ(own, text);
  {
    // Copies are deep: each frees its own text (a shared one would be freed twice).
    Name copy = own;
    EXPECT_NE(copy.c_str(), own.c_str());
    EXPECT_EQ(copy, own);
    Name assigned("short");
    assigned = own;
    EXPECT_EQ(assigned, text);
    assigned = Name("short");
    EXPECT_TRUE(assigned.pooled());
  }
  EXPECT_EQ(own, text);
  const Name& alias = own;
  own = alias;
  own = std::string_view(own).substr(1);
  EXPECT_EQ(own, text.substr(1)) << "assigning from its own text";
  Name moved = std::move(own);
  EXPECT_TRUE(own.empty()) << "a moved-from name owns nothing";
  own = moved;
  std::unordered_set<Name> set{Name("k1"), own};
  EXPECT_EQ(set.count(Name(text.substr(1))), 1u) << "equal names hash alike whatever their storage";
  EXPECT_EQ(set.count(Name(text.substr(2))), 0u);
}

// Runs `body` in a child process so the pool it fills does not reach the other tests.
template <class Fn>
void inFreshProcess(Fn body) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::string failure = body();
        if (!failure.empty()) std::cerr << failure << std::endl;
        std::exit(failure.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(NamePool, StopsAtItsNameLimitAndNamesStillWork) {
  inFreshProcess([]() -> std::string {
    Name first("limit-first");
    Name last;
    for (std::size_t i = 0; i <= kNamePoolMaxNames; ++i) {
      last = "limit-" + std::to_string(i);
      if (!last.pooled()) break;
    }
    if (last.pooled()) return "the pool took more than its limit";
    if (namePoolStats().names > kNamePoolMaxNames) return "the pool holds too many names";
    if (!Name("limit-first").pooled()) return "a known name lost its shared copy";
    Name extra("limit-beyond");
    if (extra.pooled() || extra != "limit-beyond") return "a name past the limit is wrong";
    Name copy = extra;
    if (copy != extra || copy.c_str() == extra.c_str()) return "own copies are not copied deeply";
    return {};
  });
}

TEST(NamePool, StopsAtItsByteLimit) {
  inFreshProcess([]() -> std::string {
    std::string base(kNamePoolMaxLength - 8, 'b');
    for (std::size_t i = 0; i < kNamePoolMaxNames; ++i) {
      Name n(base + std::to_string(i));
      if (!n.pooled()) {
        if (namePoolStats().bytes > kNamePoolMaxBytes) return "the pool holds too many bytes";
        if (namePoolStats().names >= kNamePoolMaxNames) return "the name limit came first";
        return {};
      }
    }
    return "the pool took more than its byte limit";
  });
}

TEST(NamePool, ThreadsAgreeOnOneCopyPerText) {
  // Threads race to add the same new texts; each text must end up with one copy.
  constexpr int kThreads = 4, kNames = 3000;
  std::vector<std::unordered_map<std::string, const char*>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &seen] {
      for (int j = 0; j < kNames; ++j) {
        int i = (j * 7 + t * 11) % kNames;
        std::string text = "race-" + std::to_string(i);
        Name n(text);
        Name again(text);  // from this thread's recent lookups
        if (n != text || again.c_str() != n.c_str()) return;
        seen[t][text] = n.c_str();
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(kNames)) << "thread " << t;
    for (const auto& [text, ptr] : seen[t]) ASSERT_EQ(ptr, seen[0][text]) << text;
  }
}

TEST(Name, EntityNamesReadAndWrittenAsInTheFile) {
  std::string longLayer(300, 'L');
  std::string s = "0\nSECTION\n2\nENTITIES\n"
                  "0\nLINE\n8\nWalls\n6\nDASHED\n10\n0\n20\n0\n11\n1\n21\n1\n"
                  "0\nLINE\n8\nWALLS\n10\n0\n20\n0\n11\n1\n21\n1\n"
                  "0\nLINE\n8\n" + longLayer + "\n10\n0\n20\n0\n11\n1\n21\n1\n"
                  "0\nLINE\n10\n0\n20\n0\n11\n1\n21\n1\n"
                  "0\nENDSEC\n0\nEOF\n";
  Document d = readDxf(s);
  const auto& es = d.modelSpace().entities;
  ASSERT_EQ(es.size(), 4u);
  EXPECT_EQ(es[0].common.layer, "Walls");
  EXPECT_EQ(es[0].common.linetype, "DASHED");
  EXPECT_EQ(es[1].common.layer, "WALLS");
  EXPECT_TRUE(es[1].common.linetype.empty());
  EXPECT_EQ(es[2].common.layer, longLayer);
  EXPECT_EQ(es[3].common.layer, "0") << "an entity naming no layer is on layer 0";
  Document again = readDxf(writeDxf(d, Release::R2000, {}));
  ASSERT_EQ(again.modelSpace().entities.size(), 4u);
  for (std::size_t i = 0; i < es.size(); ++i) {
    EXPECT_EQ(again.modelSpace().entities[i].common.layer, es[i].common.layer) << i;
    EXPECT_EQ(again.modelSpace().entities[i].common.linetype, es[i].common.linetype) << i;
  }
  EXPECT_EQ(again.modelSpace().entities[0].common.layer.c_str(), es[0].common.layer.c_str());
}

}  // namespace
}  // namespace kelvaro::cad
