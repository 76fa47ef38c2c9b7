#pragma once
// Pictures made with Qt written as PNG by our own encoder (cadkit/png_write.h), which is several
// times faster than Qt's writer on drawings.
#include <QImage>

#include <string>

namespace kelvaro::viewer {

// The PNG file of `image`: RGB, or RGBA when the image has an alpha channel, whatever its
// format. "" with `error` set when the image is null or cannot be converted or encoded.
std::string EncodePng(const QImage& image, std::string* error = nullptr);

}  // namespace kelvaro::viewer
