// Large ENTITIES sections are read by two threads. Whatever the file, the drawing, the warnings
// and the errors must be those of a read by one thread.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "cadkit/dxf_io.h"

namespace {
using namespace kelvaro::cad;

// Each test runs with the split allowed for any size, and ends with the usual threshold.
class DxfReadSplit : public ::testing::Test {
 protected:
  void TearDown() override { setDxfTwoThreadSize(std::size_t{2} << 20); }
};

struct Outcome {
  std::optional<Document> doc;
  std::string error;
  int errorLine = 0;
};

Outcome readWith(const std::string& text, bool split) {
  setDxfTwoThreadSize(split ? 0 : ~std::size_t{0});
  Outcome o;
  try {
    o.doc = readDxf(text);
  } catch (const DxfError& e) {
    o.error = e.what();
    o.errorLine = e.line;
  }
  return o;
}

// Also what the model's comparison leaves out: owners and the source lines of kept tags.
void expectSameEntities(const std::vector<Entity>& a, const std::vector<Entity>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].frame.handle, b[i].frame.handle) << i;
    EXPECT_EQ(a[i].frame.owner, b[i].frame.owner) << i;
    const auto& xa = a[i].frame.xdata();
    const auto& xb = b[i].frame.xdata();
    ASSERT_EQ(xa.size(), xb.size()) << i;
    for (std::size_t k = 0; k < xa.size(); ++k) EXPECT_EQ(xa[k].line, xb[k].line) << i;
  }
}

// Reads both ways and compares; returns whether the two-thread read took its second half.
bool expectSameRead(const std::string& text) {
  Outcome one = readWith(text, false);
  const std::size_t before = dxfSectionsReadInTwo();
  Outcome two = readWith(text, true);
  const bool split = dxfSectionsReadInTwo() != before;
  EXPECT_EQ(one.error, two.error);
  EXPECT_EQ(one.errorLine, two.errorLine);
  EXPECT_EQ(one.doc.has_value(), two.doc.has_value());
  if (one.doc && two.doc) {
    EXPECT_TRUE(*one.doc == *two.doc);
    EXPECT_EQ(one.doc->unsupported, two.doc->unsupported);
    expectSameEntities(one.doc->modelSpace().entities, two.doc->modelSpace().entities);
    expectSameEntities(one.doc->paperSpace().entities, two.doc->paperSpace().entities);
  }
  return split;
}

// A hand-written R2000 file, so that any line can be what a test needs.
struct FileText {
  std::string s = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  0\nENDSEC\n"
                  "  0\nSECTION\n  2\nENTITIES\n";
  int handle = 0x100;
  void head(const char* type, const char* layer = "0") {
    char h[16];
    std::snprintf(h, sizeof h, "%X", handle++);
    s += std::string("  0\n") + type + "\n  5\n" + h + "\n330\n1F\n100\nAcDbEntity\n  8\n" + layer + "\n";
  }
  void line(int i) {
    head("LINE", i % 2 ? "WALLS" : "0");
    s += "100\nAcDbLine\n 10\n" + std::to_string(i) + ".5\n 20\n2.25\n 30\n0.0\n 11\n3.0\n 21\n4.0\n 31\n0.0\n";
  }
  void text(const std::string& value) {
    head("TEXT");
    s += "100\nAcDbText\n 10\n1.0\n 20\n1.0\n 30\n0.0\n 40\n2.5\n  1\n" + value + "\n100\nAcDbText\n";
  }
  void polyline() {
    head("POLYLINE");
    s += "100\nAcDb2dPolyline\n 66\n1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n";
    for (int k = 0; k < 3; ++k) {
      head("VERTEX");
      s += "100\nAcDbVertex\n100\nAcDb2dVertex\n 10\n" + std::to_string(k) + ".0\n 20\n1.0\n 30\n0.0\n";
    }
    head("SEQEND");
  }
  void insertWithAttribs() {
    head("INSERT");
    s += "100\nAcDbBlockReference\n 66\n1\n  2\nDOOR\n 10\n5.0\n 20\n6.0\n 30\n0.0\n";
    for (const char* tag : {"NO", "W"}) {
      head("ATTRIB");
      s += "100\nAcDbText\n 10\n5.0\n 20\n6.0\n 30\n0.0\n 40\n1.0\n  1\n0\n100\nAcDbAttribute\n  2\n";
      s += std::string(tag) + "\n 70\n0\n";
    }
    head("SEQEND");
  }
  void withXdata(int i) {
    line(i);
    s += "1001\nKELVARO\n1000\n  0\n1070\n" + std::to_string(i) + "\n";
  }
  void unknown() {
    head("WIDGETX");
    s += "100\nAcDbWidget\n 40\n1.0\n";
  }
  std::string done() const { return s + "  0\nENDSEC\n  0\nEOF\n"; }
};

// Entities of every kind in turn, so that some test puts each kind at the split.
std::string mixedFile(int n, int period) {
  FileText f;
  for (int i = 0; i < n; ++i) {
    switch (i % period) {
      case 0: f.line(i); break;
      case 1: f.text("0"); break;  // a value that looks like a group code 0
      case 2: f.polyline(); break;
      case 3: f.insertWithAttribs(); break;
      case 4: f.text("ENDSEC"); break;
      case 5: f.withXdata(i); break;
      case 6: f.unknown(); break;
      default: f.text("  0"); break;
    }
  }
  return f.done();
}

TEST_F(DxfReadSplit, AgreesWithOneThreadWhateverEntityIsAtTheSplit) {
  int split = 0;
  for (int period = 1; period <= 8; ++period)
    for (int n = 20; n < 36; ++n) {
      SCOPED_TRACE("period " + std::to_string(period) + ", " + std::to_string(n) + " entities");
      split += expectSameRead(mixedFile(n, period));
    }
  // Polylines and inserts own their records, and those are never a split, but every file has
  // records that are.
  EXPECT_EQ(split, 8 * 16);
}

TEST_F(DxfReadSplit, WindowsLineEndingsAndPaperSpaceAgree) {
  std::string text = mixedFile(40, 8);
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_TRUE(expectSameRead(crlf));
  // Paper-space entities on both sides of the split are sorted out after the read.
  FileText f;
  for (int i = 0; i < 40; ++i) {
    f.line(i);
    if (i % 3 == 0) f.s.insert(f.s.rfind("AcDbEntity\n") + 11, " 67\n1\n");
  }
  EXPECT_TRUE(expectSameRead(f.done()));
  Outcome o = readWith(f.done(), true);
  ASSERT_TRUE(o.doc);
  EXPECT_EQ(o.doc->paperSpace().entities.size(), 14u);
}

// A damaged line in either half, a file that ends early, an EOF inside the section: the same
// error, at the same line, as a read by one thread.
TEST_F(DxfReadSplit, ErrorsInEitherHalfAreTheSameError) {
  const std::string good = mixedFile(60, 8);
  int errors = 0;
  for (int percent : {10, 30, 49, 50, 51, 70, 95}) {
    SCOPED_TRACE(percent);
    // The code line at about that share of the file becomes a word.
    std::size_t at = good.find("\n 10\n", good.size() * static_cast<std::size_t>(percent) / 100);
    ASSERT_NE(at, std::string::npos);
    std::string bad = good;
    bad.replace(at + 1, 3, "XYZ");
    expectSameRead(bad);
    errors += !readWith(bad, true).error.empty();
    // Cut short there.
    expectSameRead(good.substr(0, at + 1));
    // A record of the type EOF there.
    std::size_t rec = good.find("\n  0\n", at);
    ASSERT_NE(rec, std::string::npos);
    std::string early = good;
    early.insert(rec + 1, "  0\nEOF\n");
    expectSameRead(early);
    errors += !readWith(early, true).error.empty();
  }
  EXPECT_EQ(errors, 14);
}

// Records the count missed ("00" is a code 0 too), stray owned records, an ENTITIES section
// read twice: the split path gives way to the ordinary read and still agrees.
TEST_F(DxfReadSplit, OddRecordsAgree) {
  std::string text = mixedFile(50, 8);
  for (std::size_t at = 0; (at = text.find("\n  0\nLINE\n", at)) != std::string::npos; at += 5)
    text.replace(at + 1, 3, "00 ");
  expectSameRead(text);
  FileText stray;
  for (int i = 0; i < 30; ++i) {
    stray.line(i);
    if (i % 4 == 0) stray.head("VERTEX");
    if (i % 5 == 0) stray.head("SEQEND");
  }
  EXPECT_TRUE(expectSameRead(stray.done()));
  const std::string twice = mixedFile(30, 8);
  const std::size_t end = twice.rfind("  0\nEOF\n");
  const std::size_t entities = twice.find("  0\nSECTION\n  2\nENTITIES\n");
  std::string doubled = twice.substr(0, end) + twice.substr(entities, end - entities) + "  0\nEOF\n";
  EXPECT_TRUE(expectSameRead(doubled));
  // The first section ends before the middle of the rest of the file: it is split all the same.
  const std::size_t before = dxfSectionsReadInTwo();
  Outcome o = readWith(doubled, true);
  EXPECT_EQ(dxfSectionsReadInTwo(), before + 2);
  ASSERT_TRUE(o.doc);
  EXPECT_EQ(o.doc->modelSpace().entities.size(), 2 * readWith(twice, false).doc->modelSpace().entities.size());
}

// From disk the second reader gives its pages back as it goes; when its half is not taken after
// all (here: damage near the end), they are read again, so the error is the one-thread error.
TEST_F(DxfReadSplit, FilesReadAgainWhatTheSecondReaderGaveBack) {
  std::string text = mixedFile(40000, 8);
  ASSERT_GT(text.size(), std::size_t{6} << 20) << "too small to give pages back";
  const std::size_t at = text.find("\n 10\n", text.size() * 9 / 10);
  ASSERT_NE(at, std::string::npos);
  text.replace(at + 1, 3, "XYZ");
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "kelvaro_read_split.dxf";
  {
    std::ofstream f(file, std::ios::binary);
    f.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  const Outcome one = readWith(text, false);
  ASSERT_FALSE(one.error.empty());
  setDxfTwoThreadSize(std::size_t{2} << 20);
  std::string error;
  try {
    readDxfFile(file);
  } catch (const DxfError& e) {
    error = e.what();
  }
  EXPECT_EQ(error, one.error);
  std::filesystem::remove(file);
}

TEST_F(DxfReadSplit, ProgressIsHeardOnTheCallingThreadInOrder) {
  const std::string text = mixedFile(3000, 8);
  setDxfTwoThreadSize(0);
  const std::size_t before = dxfSectionsReadInTwo();
  const auto caller = std::this_thread::get_id();
  int last = -1, calls = 0;
  bool ordered = true, sameThread = true;
  Document d = readDxf(text, [&](int p) {
    ordered = ordered && p > last && p <= 100;
    sameThread = sameThread && std::this_thread::get_id() == caller;
    last = p;
    ++calls;
  });
  EXPECT_EQ(dxfSectionsReadInTwo(), before + 1);
  EXPECT_TRUE(ordered);
  EXPECT_TRUE(sameThread);
  // About one report per percent, however far the other thread gets while this one waits.
  EXPECT_GT(calls, 90);
  EXPECT_GE(last, 99);
}

}  // namespace
