#include "imaging/imaging.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtEndian>

#include <turbojpeg.h>

#include "files/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

namespace imaging {
namespace {

// An in-memory bitmap in a layout the encoder takes as it is.
struct Bitmap {
  QByteArray pixels;
  int width = 0;
  int height = 0;
  int pitch = 0;         // bytes from one row to the next
  int pixelFormat = 0;   // TJPF_...
  bool bottomUp = false; // the first row in memory is the picture's bottom row
};

// The bitmaps handed out, by handle. Handles are never reused within a run, so a stale handle
// cannot reach a newer bitmap.
struct Store {
  std::mutex lock;
  std::map<DibHandle, std::shared_ptr<const Bitmap>> bitmaps;
  DibHandle last = 0;
};

Store& TheStore() {
  static Store store;
  return store;
}

std::shared_ptr<const Bitmap> Find(DibHandle dib) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  const auto it = store.bitmaps.find(dib);
  return it == store.bitmaps.end() ? nullptr : it->second;
}

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

// What the file header and the bitmap header of a BMP announce.
struct BmpHeader {
  qint64 pixelOffset = 0;
  quint32 infoSize = 0;
  qint64 width = 0;
  qint64 height = 0;  // negative: rows stored top-down
  int planes = 0;
  int bitCount = 0;
  quint32 compression = 0;
  qint64 imageSize = 0;

  qint64 Rows() const { return height < 0 ? -height : height; }
  qint64 Stride() const { return (width * bitCount + 31) / 32 * 4; }
  // The bytes of pixel data the file must hold after pixelOffset.
  qint64 PixelBytes() const {
    switch (compression) {
      case 0:  // uncompressed
      case 3:  // uncompressed with bit fields
      case 6:
        return Stride() * Rows();
      default:  // run-length and embedded formats: their announced size
        return imageSize;
    }
  }
};

bool ParseHeader(const QByteArray& bytes, BmpHeader& h) {
  if (bytes.size() < 26 || !bytes.startsWith("BM")) return false;
  const auto* b = reinterpret_cast<const uchar*>(bytes.constData());
  h.pixelOffset = qFromLittleEndian<quint32>(b + 10);
  h.infoSize = qFromLittleEndian<quint32>(b + 14);
  if (h.infoSize == 12) {  // the old core header: 16-bit sizes, no compression
    h.width = qFromLittleEndian<quint16>(b + 18);
    h.height = qFromLittleEndian<quint16>(b + 20);
    h.planes = qFromLittleEndian<quint16>(b + 22);
    h.bitCount = qFromLittleEndian<quint16>(b + 24);
  } else {
    if (bytes.size() < 38 || h.infoSize < 40) return false;
    h.width = qFromLittleEndian<qint32>(b + 18);
    h.height = qFromLittleEndian<qint32>(b + 22);
    h.planes = qFromLittleEndian<quint16>(b + 26);
    h.bitCount = qFromLittleEndian<quint16>(b + 28);
    h.compression = qFromLittleEndian<quint32>(b + 30);
    h.imageSize = qFromLittleEndian<quint32>(b + 34);
  }
  // Sizes beyond any picture the station handles are refused before any arithmetic on them.
  constexpr qint64 kLimit = 1 << 20;
  return h.width > 0 && h.width <= kLimit && h.height != 0 && h.Rows() <= kLimit &&
         h.bitCount > 0 && h.bitCount <= 64;
}

DibHandle Keep(Bitmap bitmap) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  if (++store.last == 0) ++store.last;
  store.bitmaps.emplace(store.last, std::make_shared<const Bitmap>(std::move(bitmap)));
  return store.last;
}

}  // namespace

DibHandle BMPtoDIB(const QString& bmpPath) {
  QFile file(bmpPath);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  BmpHeader h;
  if (!ParseHeader(file.peek(54), h)) return 0;
  // A file cut off inside its pixel data is refused: the toolkit's reader would fill the missing
  // rows instead of failing and turn a half-written still into a corrupt photograph.
  if (h.pixelOffset + h.PixelBytes() > file.size()) return 0;

  // Uncompressed 24- and 32-bit rows, the camera's stills, go to the encoder as they are stored.
  if (h.infoSize >= 40 && h.compression == 0 && h.planes == 1 &&
      (h.bitCount == 24 || h.bitCount == 32) && h.width <= 65535 && h.Rows() <= 65535) {
    Bitmap bitmap;
    bitmap.width = static_cast<int>(h.width);
    bitmap.height = static_cast<int>(h.Rows());
    bitmap.pitch = static_cast<int>(h.Stride());
    bitmap.pixelFormat = h.bitCount == 24 ? TJPF_BGR : TJPF_BGRX;
    bitmap.bottomUp = h.height > 0;
    if (!file.seek(h.pixelOffset)) return 0;
    bitmap.pixels = file.read(h.PixelBytes());
    if (bitmap.pixels.size() != h.PixelBytes()) return 0;
    return Keep(std::move(bitmap));
  }

  // Every other kind (palettes, bit fields, run-length) through the toolkit's BMP reader, read as
  // a BMP whatever the file's name says; no other format is tried.
  file.seek(0);
  QImageReader reader(&file, "bmp");
  reader.setAutoDetectImageFormat(false);
  QImage image = reader.read();
  if (image.isNull()) return 0;
  if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
    image = image.convertToFormat(QImage::Format_RGB32);
  if (image.isNull()) return 0;
  Bitmap bitmap;
  bitmap.width = image.width();
  bitmap.height = image.height();
  bitmap.pitch = static_cast<int>(image.bytesPerLine());
  bitmap.pixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TJPF_BGRX : TJPF_XRGB;
  bitmap.pixels = QByteArray(reinterpret_cast<const char*>(image.constBits()),
                             static_cast<qsizetype>(image.sizeInBytes()));
  return Keep(std::move(bitmap));
}

int DIBtoJPG(const QString& jpegPath, DibHandle dib, int quality, int progressive, bool flush) {
  const std::shared_ptr<const Bitmap> bitmap = Find(dib);
  if (!bitmap) return 0;
  quality = std::clamp(quality, 1, 100);

  TjHandle encoder;
  if (!encoder.h) return 0;
  TjBuffer jpeg;
  // Full colour resolution at high qualities, where the photographs are kept for their detail.
  const int subsampling = quality >= 90 ? TJSAMP_444 : TJSAMP_420;
  const int flags = (progressive != 0 ? TJFLAG_PROGRESSIVE : 0) |
                    (bitmap->bottomUp ? TJFLAG_BOTTOMUP : 0);
  if (tjCompress2(encoder.h, reinterpret_cast<const uchar*>(bitmap->pixels.constData()),
                  bitmap->width, bitmap->pitch, bitmap->height, bitmap->pixelFormat, &jpeg.data,
                  &jpeg.size, subsampling, quality, flags) != 0)
    return 0;

  // Written beside the target and renamed over it, so a failed write leaves no partial JPEG. The
  // JPEGs written here are photographs of people: their owner's alone from their creation.
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(jpeg.data),
                                                   static_cast<qsizetype>(jpeg.size));
  return files::WriteWhole(jpegPath, bytes, nullptr, flush) ? 1 : 0;
}

QImage DIBImage(DibHandle dib) {
  const std::shared_ptr<const Bitmap> bitmap = Find(dib);
  if (!bitmap) return {};
  const int bytes = bitmap->pixelFormat == TJPF_BGR ? 3 : 4;
  if (bitmap->pixelFormat != TJPF_BGR && bitmap->pixelFormat != TJPF_BGRX &&
      bitmap->pixelFormat != TJPF_XRGB)
    return {};
  // Straight into the screen's own format, so that showing it needs no further conversion.
  QImage image(bitmap->width, bitmap->height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  const auto* pixels = reinterpret_cast<const uchar*>(bitmap->pixels.constData());
  for (int y = 0; y < bitmap->height; ++y) {
    const uchar* in = pixels + static_cast<qsizetype>(bitmap->bottomUp ? bitmap->height - 1 - y : y) *
                                   bitmap->pitch;
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    if (bitmap->pixelFormat == TJPF_XRGB) {
      for (int x = 0; x < bitmap->width; ++x, in += 4) out[x] = qRgb(in[1], in[2], in[3]);
    } else {
      for (int x = 0; x < bitmap->width; ++x, in += bytes) out[x] = qRgb(in[2], in[1], in[0]);
    }
  }
  return image;
}

bool FlushFile(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = ::fdatasync(fd) == 0;
  ::close(fd);
  return flushed;
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
