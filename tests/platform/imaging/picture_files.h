#pragma once
// Picture files that the tests write themselves.
#include <QFile>
#include <QImage>
#include <QtEndian>

namespace testpics {

// Red grows to the right and green downwards: a flip or a shift shows as a large error, while
// JPEG at high quality stays close.
inline QImage Gradient(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 96 + (x + y) % 64));
  return image;
}

// An uncompressed 24- or 32-bit BMP with a 54-byte header, rows bottom-up or top-down.
inline QByteArray Bmp(const QImage& image, bool topDown = false, int bits = 24) {
  const int w = image.width(), h = image.height(), bpp = bits / 8, stride = (w * bpp + 3) & ~3;
  QByteArray b(54 + stride * h, '\0');
  auto put = [&](int at, quint32 v) { qToLittleEndian(v, b.data() + at); };
  b[0] = 'B', b[1] = 'M';
  put(2, b.size()), put(10, 54), put(14, 40), put(18, w), put(22, topDown ? -h : h);
  put(26, 1 | bits << 16);  // planes, bit count
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x) {
      const QRgb p = image.pixel(x, topDown ? row : h - 1 - row);
      char* px = b.data() + 54 + row * stride + bpp * x;
      px[0] = char(qBlue(p)), px[1] = char(qGreen(p)), px[2] = char(qRed(p));
    }
  return b;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The largest difference of any colour channel between two pictures of one size.
inline int MaxDifference(const QImage& a, const QImage& b) {
  int d = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      d = std::max({d, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                    std::abs(qBlue(p) - qBlue(q))});
    }
  return d;
}

}  // namespace testpics
