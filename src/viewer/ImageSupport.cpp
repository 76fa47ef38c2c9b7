#include "viewer/ImageSupport.h"

#include <QByteArray>

#ifdef KELVARO_HAVE_IMAGE_LOADER
#include "viewer/ImageLoader.h"
#endif

namespace kelvaro::viewer {

namespace {
std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
}  // namespace

bool loadRasterImage(QImage& out, const QString& fileName) {
#ifdef KELVARO_HAVE_IMAGE_LOADER
  QImage img;
  if (!kelvaro::LoadImage(img, fileName) || img.isNull()) return false;
  out = img;
  return true;
#else
  (void)out;
  (void)fileName;
  return false;
#endif
}

void setRasterBackground(QColor c) {
#ifdef KELVARO_HAVE_IMAGE_LOADER
  kelvaro::SetImageBackground(c.rgb());
#else
  (void)c;
#endif
}

bool rasterImagesAvailable() {
#ifdef KELVARO_HAVE_IMAGE_LOADER
  return true;
#else
  return false;
#endif
}

QImage decodeDibPicture(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kFileHeader = 14, kInfoHeader = 40;
  if (!data || size < kFileHeader + kInfoHeader) return {};
  if (data[0] != 'B' || data[1] != 'M') return {};
  const std::uint32_t fileSize = le32(data + 2), bitsOffset = le32(data + 10);
  const std::uint8_t* info = data + kFileHeader;
  if (le32(info) < kInfoHeader) return {};
  const std::uint16_t bitCount = le16(info + 14);
  if (bitCount == 0 || bitCount > 32) return {};
  const std::size_t colours = bitCount <= 8 ? (std::size_t{1} << bitCount) : 0;
  const std::size_t tableEnd = kFileHeader + kInfoHeader + 4 * colours;
  if (bitsOffset < tableEnd || fileSize < bitsOffset) return {};
  // The pixels run from the bits offset for (file size - bits offset) bytes; they must be there.
  if (fileSize > size) return {};
  QImage img;
  if (!img.loadFromData(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(fileSize)), "BMP")) return {};
  return img;
}

}  // namespace kelvaro::viewer
