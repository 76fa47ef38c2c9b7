// Qt pictures of any format written by our PNG encoder read back with the same colours.
#include <gtest/gtest.h>

#include <QImage>

#include "viewer/PngFile.h"

namespace kelvaro::viewer {
namespace {

QImage readBack(const std::string& png) {
  return QImage::fromData(reinterpret_cast<const uchar*>(png.data()), int(png.size()), "PNG");
}

TEST(PngFile, EveryFormatKeepsItsColoursAndAlphaOnlyWhenItHasOne) {
  QImage source(23, 11, QImage::Format_ARGB32);
  for (int y = 0; y < source.height(); ++y)
    for (int x = 0; x < source.width(); ++x) source.setPixel(x, y, qRgba(x * 11, y * 23, (x * y) % 256, 255 - x * 10));
  const QImage::Format formats[] = {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_RGB16,
                                    QImage::Format_Grayscale8, QImage::Format_Indexed8, QImage::Format_Mono,
                                    QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBA8888};
  for (QImage::Format f : formats) {
    SCOPED_TRACE(int(f));
    const QImage image = source.convertToFormat(f);
    std::string why;
    const QImage back = readBack(EncodePng(image, &why));
    ASSERT_FALSE(back.isNull()) << why;
    EXPECT_EQ(back.hasAlphaChannel(), image.hasAlphaChannel());
    const QImage want = image.convertToFormat(QImage::Format_ARGB32);
    int wrong = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) wrong += back.pixel(x, y) != want.pixel(x, y);
    EXPECT_EQ(wrong, 0);
  }
}

TEST(PngFile, NullPictureIsRefused) {
  std::string why;
  EXPECT_TRUE(EncodePng(QImage(), &why).empty());
  EXPECT_FALSE(why.empty());
}

}  // namespace
}  // namespace kelvaro::viewer
