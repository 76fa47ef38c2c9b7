#include "viewer/ImageLoader.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QThread>

#include <cstring>
#include <span>

#include "viewer/pcx.h"
#include "viewer/targa.h"

namespace kelvaro {
namespace {

QRgb gBackground = qRgb(255, 255, 255);

// The hourglass for the whole call, restored on every way out; only the GUI thread may set it.
class BusyCursor {
 public:
  BusyCursor() {
    const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    active_ = app && QThread::currentThread() == app->thread();
    if (active_) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~BusyCursor() {
    if (active_) QGuiApplication::restoreOverrideCursor();
  }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  bool active_;
};

struct Signature {
  const char* Hex;
  ImageDecoder Decoder;
};

// Tried in this order; a later match loads over an earlier one.
constexpr Signature kSignatures[] = {
    {"424D", ImageDecoder::Bmp},
    {"FFD8FF", ImageDecoder::Jpeg},
    {"474946383761", ImageDecoder::Gif},
    {"474946383961", ImageDecoder::Gif},
    {"89504E470D0A1A0A", ImageDecoder::Png},
    {"0A", ImageDecoder::Pcx},
    {"4D4D002A", ImageDecoder::Tiff},
    {"49492A00", ImageDecoder::Tiff},
};

// Letters a-z only: the names compared are plain ASCII, and other letters must not fold into them.
QString asciiUpper(QString s) {
  for (QChar& c : s)
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(char16_t(c.unicode() - 'a' + 'A'));
  return s;
}

const char* qtFormat(ImageDecoder d) {
  switch (d) {
    case ImageDecoder::Bmp: return "bmp";
    case ImageDecoder::Jpeg: return "jpeg";
    case ImageDecoder::Gif: return "gif";
    case ImageDecoder::Png: return "png";
    case ImageDecoder::Tiff: return "tiff";
    case ImageDecoder::Pcx:
    case ImageDecoder::Targa: break;
  }
  return nullptr;
}

// Flattens any picture to 24 bits; partly transparent pixels are blended onto the background.
QImage toBitmap(const QImage& img) {
  if (!img.hasAlphaChannel()) return img.convertToFormat(QImage::Format_RGB888);
  QImage canvas(img.size(), QImage::Format_RGB32);
  if (canvas.isNull()) return {};
  canvas.fill(gBackground);
  QPainter painter(&canvas);
  painter.drawImage(0, 0, img);
  painter.end();
  return canvas.convertToFormat(QImage::Format_RGB888);
}

bool decodeWithQt(ImageDecoder d, const QString& fileName, QImage& out, QString& why) {
  const char* format = qtFormat(d);
  if (!QImageReader::supportedImageFormats().contains(format)) {
    why = QStringLiteral("No %1 decoder is installed").arg(QString::fromLatin1(decoderName(d)));
    return false;
  }
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    why = QStringLiteral("The file cannot be opened: %1").arg(file.errorString());
    return false;
  }
  QImageReader reader(&file, format);
  // The named decoder or none: a file of another kind must fail here, not be guessed at.
  reader.setAutoDetectImageFormat(false);
  reader.setDecideFormatFromContent(false);
  const QImage img = reader.read();
  if (img.isNull()) {
    why = QStringLiteral("%1: %2").arg(QString::fromLatin1(decoderName(d)), reader.errorString());
    return false;
  }
  out = toBitmap(img);
  if (out.isNull()) why = QStringLiteral("Not enough memory for the picture");
  return !out.isNull();
}

bool decodeOwn(ImageDecoder d, const QString& fileName, QImage& out, QString& why) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    why = QStringLiteral("The file cannot be opened: %1").arg(file.errorString());
    return false;
  }
  // Mapped rather than read, so a large file costs no copy.
  QByteArray copy;
  std::span<const std::uint8_t> bytes;
  const qint64 size = file.size();
  if (size > 0) {
    if (const uchar* p = file.map(0, size)) {
      bytes = {p, std::size_t(size)};
    } else {
      copy = file.readAll();
      bytes = {reinterpret_cast<const std::uint8_t*>(copy.constData()), std::size_t(copy.size())};
    }
  }
  const RasterResult r = d == ImageDecoder::Pcx ? decodePcx(bytes) : decodeTarga(bytes);
  if (!r.ok()) {
    why = QString::fromStdString(r.Error);
    return false;
  }
  QImage img(r.Image.Width, r.Image.Height, QImage::Format_RGB888);
  if (img.isNull()) {
    why = QStringLiteral("Not enough memory for the picture");
    return false;
  }
  const std::size_t rowBytes = std::size_t(r.Image.Width) * 3;
  for (int y = 0; y < r.Image.Height; ++y)
    std::memcpy(img.scanLine(y), r.Image.Pixels.data() + y * rowBytes, rowBytes);
  out = img;
  return true;
}

bool decode(ImageDecoder d, const QString& fileName, QImage& out, QString& why) {
  out = QImage();
  if (d == ImageDecoder::Pcx || d == ImageDecoder::Targa) return decodeOwn(d, fileName, out, why);
  return decodeWithQt(d, fileName, out, why);
}

}  // namespace

void SetImageBackground(QRgb colour) { gBackground = qRgb(qRed(colour), qGreen(colour), qBlue(colour)); }
QRgb ImageBackground() { return gBackground; }

const char* decoderName(ImageDecoder d) {
  switch (d) {
    case ImageDecoder::Bmp: return "BMP";
    case ImageDecoder::Jpeg: return "JPEG";
    case ImageDecoder::Gif: return "GIF";
    case ImageDecoder::Png: return "PNG";
    case ImageDecoder::Pcx: return "PCX";
    case ImageDecoder::Targa: return "Targa";
    case ImageDecoder::Tiff: return "TIFF";
  }
  return "?";
}

QString imageExtension(const QString& fileName) {
  const QString name = QFileInfo(fileName).fileName();
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? QString() : asciiUpper(name.mid(dot));
}

std::optional<ImageDecoder> decoderForExtension(const QString& extension) {
  static const struct {
    const char* Ext;
    ImageDecoder Decoder;
  } table[] = {{".BMP", ImageDecoder::Bmp}, {".JPG", ImageDecoder::Jpeg},  {".GIF", ImageDecoder::Gif},
               {".PNG", ImageDecoder::Png}, {".PCX", ImageDecoder::Pcx},   {".TGA", ImageDecoder::Targa},
               {".TIF", ImageDecoder::Tiff}};
  const QString upper = asciiUpper(extension);
  for (const auto& e : table)
    if (upper == QLatin1String(e.Ext)) return e.Decoder;
  return std::nullopt;
}

std::vector<ImageDecoder> decodersForHeader(const QByteArray& header) {
  const QByteArray hex = header.left(24).toHex().toUpper();
  std::vector<ImageDecoder> found;
  for (const Signature& s : kSignatures)
    if (hex.startsWith(s.Hex)) found.push_back(s.Decoder);
  return found;
}

ImageLoadReport LoadImageReport(QImage& bitmap, const QString& fileName) {
  BusyCursor busy;
  bitmap = QImage();
  ImageLoadReport report;
  const QFileInfo info(fileName);
  // Only plain files: reading a device or a pipe could block for ever.
  if (fileName.isEmpty() || !info.isFile()) {
    report.Message = info.exists() ? QStringLiteral("Not a file: %1").arg(fileName)
                                   : QStringLiteral("The file does not exist: %1").arg(fileName);
    return report;
  }

  if (const auto d = decoderForExtension(imageExtension(fileName))) {
    QImage img;
    QString why;
    if (decode(*d, fileName, img, why)) {
      bitmap = img;
      report.Ok = true;
      report.Step = 2;
      report.Decoder = d;
      return report;
    }
    // Not fatal: the first bytes may still name the right decoder.
  }

  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    report.Message = QStringLiteral("The file cannot be opened: %1").arg(file.errorString());
    return report;
  }
  const QByteArray header = file.read(24);
  file.close();
  if (header.size() < 24) {
    report.Message = QStringLiteral("The file is too short to hold a picture");
    return report;
  }
  for (ImageDecoder d : decodersForHeader(header)) {
    QImage img;
    QString why;
    if (!decode(d, fileName, img, why)) {
      bitmap = QImage();
      report.Decoder = d;
      report.Message = why;
      return report;
    }
    bitmap = img;
    report.Decoder = d;
  }
  report.Ok = !bitmap.isNull();
  if (report.Ok) {
    report.Step = 3;
  } else {
    report.Message = QStringLiteral("The file is not a picture of a known kind");
  }
  return report;
}

bool LoadImage(QImage& bitmap, const QString& fileName) { return LoadImageReport(bitmap, fileName).Ok; }

}  // namespace kelvaro
