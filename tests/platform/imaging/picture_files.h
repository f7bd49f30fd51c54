#pragma once
// Picture files that the tests write themselves.
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QtEndian>

namespace testpics {

// A smooth picture whose red grows to the right and green downwards: a flip or a shift shows as a
// large error, while JPEG at high quality stays close to it.
inline QImage Gradient(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, qRgb(x * 255 / std::max(width - 1, 1), y * 255 / std::max(height - 1, 1),
                                96 + (x + y) % 64));
  return image;
}

// An uncompressed 24-bit (or 32-bit) BMP with a 54-byte header, rows bottom-up or top-down.
inline QByteArray Bmp24(const QImage& image, bool topDown = false, int bits = 24) {
  const int w = image.width(), h = image.height(), bpp = bits / 8, stride = (w * bpp + 3) & ~3;
  QByteArray b(54 + stride * h, '\0');
  auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, b.data() + at); };
  auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, b.data() + at); };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, b.size());
  put32(10, 54);
  put32(14, 40);
  put32(18, w);
  put32(22, topDown ? static_cast<quint32>(-h) : static_cast<quint32>(h));
  put16(26, 1);
  put16(28, static_cast<quint16>(bits));
  put32(34, stride * h);
  for (int row = 0; row < h; ++row) {
    const int y = topDown ? row : h - 1 - row;
    char* line = b.data() + 54 + row * stride;
    for (int x = 0; x < w; ++x) {
      const QRgb p = image.pixel(x, y);
      line[bpp * x] = static_cast<char>(qBlue(p));
      line[bpp * x + 1] = static_cast<char>(qGreen(p));
      line[bpp * x + 2] = static_cast<char>(qRed(p));
    }
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

// The code of the first frame header (0xC0 to 0xCF but 0xC4, 0xC8, 0xCC) of a JPEG, 0 if none.
inline int FrameCode(const QByteArray& jpeg) {
  for (qsizetype p = 2; p + 3 < jpeg.size();) {
    const auto code = static_cast<unsigned char>(jpeg[p + 1]);
    if (static_cast<unsigned char>(jpeg[p]) != 0xFF) return 0;
    if (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC) return code;
    p += 2 + (static_cast<unsigned char>(jpeg[p + 2]) << 8 | static_cast<unsigned char>(jpeg[p + 3]));
  }
  return 0;
}

// The largest and the mean difference of any colour channel between two pictures of one size.
struct Difference {
  int max = 0;
  double mean = 0;
};
inline Difference Compare(const QImage& a, const QImage& b) {
  Difference d;
  qint64 sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      for (int c : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
        d.max = std::max(d.max, std::abs(c));
        sum += std::abs(c);
      }
    }
  d.mean = static_cast<double>(sum) / (3.0 * a.width() * a.height());
  return d;
}

}  // namespace testpics
