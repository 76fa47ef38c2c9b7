#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include "support/run_cli.h"

using kelvaro::test::runCli;

namespace {

std::string write(const QTemporaryDir& dir, const char* name, const std::string& bytes) {
  const std::string path = dir.filePath(name).toStdString();
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// A 2 x 1 top-down Targa: red, then blue.
std::string targa() {
  std::string b("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\1\0\x18\x20", 18);
  return b + std::string("\0\0\xFF\xFF\0\0", 6);
}

TEST(ImageCommand, ReportsTheDecoderAndSavesWhatTheViewerGets) {
  QTemporaryDir dir;
  const std::string tga = write(dir, "plan.TGA", targa());
  auto r = runCli({"image", tga, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"decoder\": \"Targa\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"step\": 2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"width\": 2"), std::string::npos) << r.out;

  const std::string png = dir.filePath("out.png").toStdString();
  r = runCli({"image", tga, "--png", png});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Targa 2x1 by extension\n");
  const QImage saved(QString::fromStdString(png));
  ASSERT_EQ(saved.size(), QSize(2, 1));
  EXPECT_EQ(saved.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(saved.pixel(1, 0), qRgb(0, 0, 255));

  // A transparent PNG under a named background, found by its bytes.
  QImage clear(1, 1, QImage::Format_ARGB32);
  clear.fill(Qt::transparent);
  const QString clearPath = dir.filePath("clear.dat");
  ASSERT_TRUE(clear.save(clearPath, "png"));
  r = runCli({"image", clearPath.toStdString(), "--background", "#336699", "--png", png});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "PNG 1x1 by its first bytes\n");
  EXPECT_EQ(QImage(QString::fromStdString(png)).pixel(0, 0), qRgb(0x33, 0x66, 0x99));
}

TEST(ImageCommand, FailuresAndBadArguments) {
  QTemporaryDir dir;
  const std::string ten = write(dir, "ten.png", "0123456789");
  auto r = runCli({"image", ten, "--json"});
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.out.find("\"ok\": false"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("too short"), std::string::npos) << r.err;
  // Targa has no signature, so a Targa under another name is no picture.
  EXPECT_EQ(runCli({"image", write(dir, "plan.img", targa())}).status, 4);
  EXPECT_EQ(runCli({"image"}).status, 2);
  EXPECT_EQ(runCli({"image", ten, "--background", "blue"}).status, 2);
  EXPECT_EQ(runCli({"image", ten, "--background", "#12345G"}).status, 2);
  EXPECT_EQ(runCli({"image", ten, "extra"}).status, 2);
}

}  // namespace
