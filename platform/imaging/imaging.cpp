#include "imaging/imaging.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSaveFile>
#include <QtEndian>

#include <turbojpeg.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace imaging {
namespace {

// The bitmaps handed out, by handle. Handles are never reused within a run, so a stale handle
// cannot reach a newer bitmap.
struct Store {
  std::mutex lock;
  std::map<DibHandle, std::shared_ptr<const QImage>> bitmaps;
  DibHandle last = 0;
};

Store& TheStore() {
  static Store store;
  return store;
}

std::shared_ptr<const QImage> Find(DibHandle dib) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  const auto it = store.bitmaps.find(dib);
  return it == store.bitmaps.end() ? nullptr : it->second;
}

// The pixel layout of QImage::Format_RGB32 in memory, for the encoder.
constexpr int kPixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TJPF_BGRX : TJPF_XRGB;

struct TjHandle {
  tjhandle h = tjInitCompress();
  ~TjHandle() {
    if (h) tjDestroy(h);
  }
};

struct TjBuffer {
  unsigned char* data = nullptr;
  unsigned long size = 0;
  ~TjBuffer() {
    if (data) tjFree(data);
  }
};

// True when the file is long enough for the pixel data its header announces. The BMP reader of
// the toolkit fills missing rows of a cut-off file instead of failing, which would turn a
// half-written still into a corrupt photograph.
bool HoldsWholePixelData(const QByteArray& header, qint64 fileSize) {
  if (header.size() < 26) return false;
  const auto* h = reinterpret_cast<const uchar*>(header.constData());
  const qint64 offBits = qFromLittleEndian<quint32>(h + 10);
  const quint32 infoSize = qFromLittleEndian<quint32>(h + 14);
  qint64 width = 0, height = 0, bitCount = 0, compression = 0, imageSize = 0;
  if (infoSize == 12) {  // the old core header: 16-bit sizes, no compression
    width = qFromLittleEndian<quint16>(h + 18);
    height = qFromLittleEndian<quint16>(h + 20);
    bitCount = qFromLittleEndian<quint16>(h + 24);
  } else {
    if (header.size() < 38) return false;
    width = qFromLittleEndian<qint32>(h + 18);
    height = qFromLittleEndian<qint32>(h + 22);
    bitCount = qFromLittleEndian<quint16>(h + 28);
    compression = qFromLittleEndian<quint32>(h + 30);
    imageSize = qFromLittleEndian<quint32>(h + 34);
  }
  if (width <= 0 || height == 0 || bitCount <= 0) return false;
  const qint64 rows = height < 0 ? -height : height;
  qint64 pixelBytes = 0;
  switch (compression) {
    case 0:  // uncompressed
    case 3:  // uncompressed with bit fields
    case 6:
      pixelBytes = (width * bitCount + 31) / 32 * 4 * rows;
      break;
    default:  // run-length and embedded formats: their announced size
      pixelBytes = imageSize;
      break;
  }
  return offBits + pixelBytes <= fileSize;
}

}  // namespace

DibHandle BMPtoDIB(const QString& bmpPath) {
  QFile file(bmpPath);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  const QByteArray header = file.peek(54);
  if (!header.startsWith("BM") || !HoldsWholePixelData(header, file.size())) return 0;

  // The file is read as a BMP whatever its name says; no other format is tried.
  QImageReader reader(&file, "bmp");
  reader.setAutoDetectImageFormat(false);
  QImage image = reader.read();
  if (image.isNull()) return 0;
  if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
    image = image.convertToFormat(QImage::Format_RGB32);
  if (image.isNull()) return 0;

  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  if (++store.last == 0) ++store.last;
  store.bitmaps.emplace(store.last, std::make_shared<const QImage>(std::move(image)));
  return store.last;
}

int DIBtoJPG(const QString& jpegPath, DibHandle dib, int quality, int progressive) {
  const std::shared_ptr<const QImage> image = Find(dib);
  if (!image) return 0;
  quality = std::clamp(quality, 1, 100);

  TjHandle encoder;
  if (!encoder.h) return 0;
  TjBuffer jpeg;
  // Full colour resolution at high qualities, where the photographs are kept for their detail.
  const int subsampling = quality >= 90 ? TJSAMP_444 : TJSAMP_420;
  const int flags = progressive != 0 ? TJFLAG_PROGRESSIVE : 0;
  if (tjCompress2(encoder.h, image->constBits(), image->width(),
                  static_cast<int>(image->bytesPerLine()), image->height(), kPixelFormat,
                  &jpeg.data, &jpeg.size, subsampling, quality, flags) != 0)
    return 0;

  // Written beside the target and renamed over it, so a failed write leaves no partial JPEG.
  QSaveFile out(jpegPath);
  if (!out.open(QIODevice::WriteOnly)) return 0;
  if (out.write(reinterpret_cast<const char*>(jpeg.data), static_cast<qint64>(jpeg.size)) !=
      static_cast<qint64>(jpeg.size)) {
    out.cancelWriting();
    return 0;
  }
  return out.commit() ? 1 : 0;
}

void DeleteDIB(DibHandle dib) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  store.bitmaps.erase(dib);
}

int LiveDIBCount() {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  return static_cast<int>(store.bitmaps.size());
}

}  // namespace imaging
