#pragma once
// What the display needs of pictures: raster image files through the image loader, and the
// device-independent bitmaps embedded in drawings.
#include <QColor>
#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace kelvaro::viewer {

// Loads a raster image file through the image loader; false (and `out` untouched) when it
// cannot be read. Without an image loader in the build nothing loads.
bool loadRasterImage(QImage& out, const QString& fileName);
// The colour transparent pixels of decoded pictures take (the viewer's background).
void setRasterBackground(QColor c);
bool rasterImagesAvailable();

// An embedded bitmap: a 14-byte file header, a 40-byte bitmap header, the colour table for 8
// bits or fewer, then the pixels. Returns a null image for anything truncated or inconsistent.
QImage decodeDibPicture(const std::uint8_t* data, std::size_t size);

}  // namespace kelvaro::viewer
