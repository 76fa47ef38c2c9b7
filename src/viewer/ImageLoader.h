#pragma once
// The image loader: reads a raster image file referenced by a drawing into a 24-bit bitmap.
// The decoder is chosen first by the file name's extension, then by the file's first bytes.
//
// Pictures come back as QImage::Format_RGB888 (three bytes per pixel, no alpha). Pixels that a
// decoder reports as transparent or partly transparent are blended onto the image background
// colour (SetImageBackground), which the viewer keeps equal to its own background.
#include <QImage>
#include <QRgb>
#include <QString>

#include <optional>
#include <vector>

namespace kelvaro {

enum class ImageDecoder { Bmp, Jpeg, Gif, Png, Pcx, Targa, Tiff };

// How a call ended: which step produced the picture (2 = by extension, 3 = by the first bytes,
// 0 = none) and, on failure, a short reason a window or the batch tool can show.
struct ImageLoadReport {
  bool Ok = false;
  int Step = 0;
  std::optional<ImageDecoder> Decoder;
  QString Message;
};

// Loads fileName into bitmap; true when the bitmap holds a picture afterwards. The bitmap is
// cleared first, so a failed call never leaves an older picture behind. Shows the busy cursor
// while it runs when a QGuiApplication exists.
bool LoadImage(QImage& bitmap, const QString& fileName);
ImageLoadReport LoadImageReport(QImage& bitmap, const QString& fileName);

// Background for transparent pixels; white until set. A QRgb (0xAARRGGBB, alpha ignored): a
// stored 0x00BBGGRR setting is converted by its reader first.
void SetImageBackground(QRgb colour);
QRgb ImageBackground();

// The choice rules on their own. The extension includes its dot (".png"); letter case is ignored.
std::optional<ImageDecoder> decoderForExtension(const QString& extension);
// Every decoder whose signature starts the given header bytes, in the order they are tried.
std::vector<ImageDecoder> decodersForHeader(const QByteArray& header);
// Upper-case ".EXT" of a path's file name, or empty when the name has no dot.
QString imageExtension(const QString& fileName);
const char* decoderName(ImageDecoder d);

}  // namespace kelvaro
