#include "common/mdlPicture.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <limits>

#include "common/PictureBox.h"
#include "common/mdlVelmor.h"

namespace {

constexpr qint64 kInt32Max = std::numeric_limits<std::int32_t>::max();

// The first `count` bytes of the file. Returns false when the file cannot be opened or is
// shorter than `count`: a header cut off gives no size.
bool ReadHeader(const QString& path, qint64 count, QByteArray& header) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return false;
  header = file.read(count);
  return header.size() == count;
}

quint32 Byte(const QByteArray& b, qint64 i) { return static_cast<unsigned char>(b[i]); }
quint32 Le16(const QByteArray& b, qint64 i) { return Byte(b, i) | Byte(b, i + 1) << 8; }
quint32 Le32(const QByteArray& b, qint64 i) { return Le16(b, i) | Le16(b, i + 2) << 16; }
quint32 Be16(const QByteArray& b, qint64 i) { return Byte(b, i) << 8 | Byte(b, i + 1); }
quint32 Be32(const QByteArray& b, qint64 i) { return Be16(b, i) << 16 | Be16(b, i + 2); }

// A record of one kind, or Kind 0 when a dimension does not fit a signed 32-bit value (a BMP
// stored top-down has a negative height; PNG sizes can reach 2^32 - 1).
ImageSize Sized(std::int32_t kind, quint32 width, quint32 height, std::int32_t depth) {
  if (width > kInt32Max || height > kInt32Max) return {};
  return {kind, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), depth};
}

bool IsFrameHeader(unsigned char code) {
  switch (code) {
    case 0xC0: case 0xC1: case 0xC2: case 0xC3: case 0xC9: case 0xCA: case 0xCB: return true;
    default: return false;
  }
}

// Rounded to the nearest whole number, halves to the even one, held inside the int range.
int RoundToInt(double v) {
  const double r = std::nearbyint(v);
  if (r > static_cast<double>(kInt32Max)) return std::numeric_limits<int>::max();
  if (r < -static_cast<double>(kInt32Max) - 1) return std::numeric_limits<int>::min();
  return static_cast<int>(r);
}

}  // namespace

bool IsFileReadable(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  return info.exists() && info.isFile() && !info.isHidden() && info.isReadable() &&
         info.size() >= 2;
}

ImageSize GetBmpSize(const QString& path) {
  if (!IsFileReadable(path)) return {};
  QByteArray h;
  if (!ReadHeader(path, 54, h)) return {};
  if (h[0] != 'B' || h[1] != 'M') return {};
  return Sized(kImageBmp, Le32(h, 18), Le32(h, 22), static_cast<std::int32_t>(Le16(h, 28)));
}

ImageSize GetGifSize(const QString& path) {
  if (!IsFileReadable(path)) return {};
  QByteArray h;
  if (!ReadHeader(path, 13, h)) return {};
  if (h[0] != 'G' || (h[1] != 'I' && h[2] != 'F')) return {};
  return Sized(kImageGif, Le16(h, 6), Le16(h, 8), static_cast<std::int32_t>((Byte(h, 10) & 7) + 1));
}

ImageSize GetPngSize(const QString& path) {
  if (!IsFileReadable(path)) return {};
  QByteArray h;
  if (!ReadHeader(path, 29, h)) return {};
  if (Byte(h, 0) != 0x89 || h.mid(1, 3) != "PNG") return {};
  const std::int32_t bitDepth = static_cast<std::int32_t>(Byte(h, 24));
  std::int32_t depth = 0;
  switch (Byte(h, 25)) {
    case 0: case 3: depth = bitDepth; break;
    case 2: depth = 3 * bitDepth; break;
    default: depth = 0; break;
  }
  return Sized(kImagePng, Be32(h, 16), Be32(h, 20), depth);
}

// Walks the markers from the start of the file to the first frame header, reading only the few
// bytes of each marker and skipping the segments themselves, and never past the file's end.
ImageSize GetJpgSize(const QString& path) {
  if (!IsFileReadable(path)) return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return {};
  const qint64 length = file.size();
  QByteArray b = file.read(2);
  if (b.size() != 2 || Byte(b, 0) != 0xFF || Byte(b, 1) != 0xD8) return {};

  qint64 p = 2;
  while (p < length - 4) {
    // A marker, its code and the segment length; a frame header also its four size bytes.
    if (!file.seek(p)) return {};
    b = file.read(9);
    if (b.size() < 4) return {};
    if (Byte(b, 0) != 0xFF) return {};
    if (IsFrameHeader(static_cast<unsigned char>(b[1]))) {
      if (b.size() < 9) return {};
      return Sized(kImageJpg, Be16(b, 7), Be16(b, 5), 24);
    }
    p += Be16(b, 2) + 2;
  }
  return {};
}

ImageSize GetImageSize(const QString& path, int selector) {
  switch (selector) {
    case 0: {
      if (!IsFileReadable(path)) return {};
      QFile file(path);
      if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return {};
      QByteArray b = file.read(4);
      file.close();
      b.append(4 - b.size(), '\0');
      if (b[0] == 'B' && b[1] == 'M') return GetBmpSize(path);
      if (b.startsWith("GIF")) return GetGifSize(path);
      if (Byte(b, 0) == 0xFF && Byte(b, 1) == 0xD8) return GetJpgSize(path);
      if (Byte(b, 0) == 0x89 && b.mid(1, 3) == "PNG") return GetPngSize(path);
      return {};
    }
    case kImageBmp: return GetBmpSize(path);
    case kImageGif: return GetGifSize(path);
    case kImageJpg: return GetJpgSize(path);
    case kImagePng: return GetPngSize(path);
    case 5: {
      const QString name = path.toLower();
      if (name.endsWith(QStringLiteral(".bmp"))) return GetBmpSize(path);
      if (name.endsWith(QStringLiteral(".gif"))) return GetGifSize(path);
      if (name.endsWith(QStringLiteral(".jpg")) || name.endsWith(QStringLiteral(".jpeg")))
        return GetJpgSize(path);
      if (name.endsWith(QStringLiteral(".png"))) return GetPngSize(path);
      return {};
    }
    default: return {};
  }
}

bool FitPicture(IntByRef boxWidth, IntByRef boxHeight, PictureBox& picture, const QString& path,
                bool pixels, IntByRef top, const QString& hAlign, IntByRef left,
                const QString& vAlign, QString* error) {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return false;
  };

  // Everything is computed and checked before the control is touched.
  const ImageSize size = GetImageSize(path, 0);
  const qint64 w = size.PixelWidth;
  const qint64 h = size.PixelHeight;
  if (size.Kind == kImageNone || w <= 0 || h <= 0)
    return fail(QStringLiteral("no picture size in %1").arg(path));

  double boxW = boxWidth.get();
  double boxH = boxHeight.get();
  const double rx = boxW / static_cast<double>(w);
  const double ry = boxH / static_cast<double>(h);
  double newW = 0;
  double newH = 0;
  // The products are whole 32-bit numbers, as the callers' arithmetic has always been.
  if (ry < rx) {
    const qint64 product = static_cast<qint64>(boxHeight.get()) * w;
    if (product > kInt32Max || product < -kInt32Max - 1)
      return fail(QStringLiteral("picture too large to fit: %1").arg(path));
    newH = boxH;
    newW = static_cast<double>(product) / static_cast<double>(h);
  } else {
    const qint64 product = static_cast<qint64>(boxWidth.get()) * h;
    if (product > kInt32Max || product < -kInt32Max - 1)
      return fail(QStringLiteral("picture too large to fit: %1").arg(path));
    newW = boxW;
    newH = static_cast<double>(product) / static_cast<double>(w);
  }

  if (pixels) {
    const double tx = TwipsPerPixelX();
    const double ty = TwipsPerPixelY();
    newW *= tx;
    newH *= ty;
    boxW = std::nearbyint(boxW * tx);
    boxH = std::nearbyint(boxH * ty);
  }
  auto fits = [](double v) { return std::fabs(v) <= static_cast<double>(kInt32Max); };
  if (!fits(newW) || !fits(newH) || !fits(boxW) || !fits(boxH))
    return fail(QStringLiteral("picture box too large: %1").arg(path));
  if (pixels) {
    boxWidth.set(static_cast<int>(boxW));
    boxHeight.set(static_cast<int>(boxH));
  }

  picture.setStretch(true);
  picture.setWidth(static_cast<int>(std::trunc(newW)));
  picture.setHeight(static_cast<int>(std::trunc(newH)));

  QPixmap loaded;
  QString why;
  if (!LoadPicture(path, loaded, &why)) return fail(why);
  picture.setPicture(loaded);

  double l = left.get();
  double t = top.get();
  if (hAlign == QLatin1String("Right"))
    l += boxW - picture.Width();
  else if (hAlign == QLatin1String("Center"))
    l += (boxW - picture.Width()) / 2;
  if (vAlign == QLatin1String("Bottom"))
    t += boxH - picture.Height();
  else if (vAlign == QLatin1String("Middle"))
    t += (boxH - picture.Height()) / 2;
  // Halves go to the even number (the default rounding mode).
  const int newLeft = RoundToInt(l);
  const int newTop = RoundToInt(t);
  left.set(newLeft);
  top.set(newTop);
  picture.setLeft(newLeft);
  picture.setTop(newTop);
  return true;
}
