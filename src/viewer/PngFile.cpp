#include "viewer/PngFile.h"

#include "cadkit/png_write.h"

namespace kelvaro::viewer {

std::string EncodePng(const QImage& image, std::string* error) {
  if (image.isNull()) {
    if (error) *error = "the picture is empty";
    return {};
  }
  // The encoder reads 32-bit pixels; RGB32 pictures (what the display draws into) go as they are.
  const bool alpha = image.hasAlphaChannel();
  const QImage::Format wanted = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  const QImage pixels = image.format() == wanted ? image : image.convertToFormat(wanted);
  if (pixels.isNull()) {
    if (error) *error = "not enough memory to write the picture";
    return {};
  }
  cad::PngWriteOptions options;
  options.alpha = alpha;
  return cad::pixelsToPng({pixels.constBits(), static_cast<std::size_t>(pixels.sizeInBytes())}, pixels.width(),
                          pixels.height(), static_cast<std::size_t>(pixels.bytesPerLine()), error, options);
}

}  // namespace kelvaro::viewer
