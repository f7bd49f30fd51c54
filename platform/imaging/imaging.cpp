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

}  // namespace

DibHandle BMPtoDIB(const QString& bmpPath) {
  QFile file(bmpPath);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  if (file.peek(2) != "BM") return 0;

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
