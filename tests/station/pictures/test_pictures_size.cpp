// Picture sizes read from file headers written by the tests.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>

#include "platform/imaging/picture_files.h"
#include "startup/imgctl_util.h"
#include "startup/mdlPicture.h"

namespace {

::testing::AssertionResult Is(const ImageSize& s, int kind, int w, int h, int depth) {
  if (s.Kind == kind && s.PixelWidth == w && s.PixelHeight == h && s.BitDepth == depth)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got {" << s.Kind << ", " << s.PixelWidth << ", "
                                       << s.PixelHeight << ", " << s.BitDepth << "}";
}

class PictureSize : public ::testing::Test {
 protected:
  QString Write(const QString& name, const QByteArray& bytes) {
    EXPECT_TRUE(testpics::WriteFile(dir.filePath(name), bytes));
    return dir.filePath(name);
  }
  QString SavePng(const QString& name, const QImage& image) {
    EXPECT_TRUE(image.save(dir.filePath(name), "PNG"));
    return dir.filePath(name);
  }
  // A real JPEG of w x h from the conversion, baseline or progressive.
  QByteArray Jpeg(int w, int h, int progressive) {
    const QString bmp = Write(QStringLiteral("src.bmp"), testpics::Bmp24(testpics::Gradient(w, h)));
    const QString jpg = dir.filePath(QStringLiteral("src.jpg"));
    EXPECT_TRUE(ConvertBmpToJpg(jpg, bmp, 90, static_cast<qint16>(progressive)));
    return testpics::ReadFile(jpg);
  }
  QTemporaryDir dir;
};

QByteArray Gif(quint16 w, quint16 h, quint8 packed) {
  QByteArray b("GIF89a");
  b.append(char(w & 0xFF)).append(char(w >> 8)).append(char(h & 0xFF)).append(char(h >> 8));
  // Background, aspect, then one 1 x 1 image and the trailer.
  static const char kRest[] = "\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;";
  return b.append(char(packed)).append(kRest, sizeof kRest - 1);
}

TEST_F(PictureSize, EachKindIsMeasuredFromItsHeader) {
  const QImage g = testpics::Gradient(33, 17);
  EXPECT_TRUE(Is(GetImageSize(Write("up.bmp", testpics::Bmp24(g)), 0), 1, 33, 17, 24));
  EXPECT_TRUE(Is(GetImageSize(Write("a.gif", Gif(300, 200, 0xF2)), 0), 2, 300, 200, 3));
  const QByteArray baseline = Jpeg(64, 48, 0);
  EXPECT_TRUE(Is(GetImageSize(Write("b.jpg", baseline), 0), 3, 64, 48, 24));
  EXPECT_TRUE(Is(GetImageSize(Write("p.jpg", Jpeg(40, 30, 1)), 0), 3, 40, 30, 24));

  // The frame header far behind large application segments.
  QByteArray big = baseline.left(2);
  for (int i = 0; i < 3; ++i) big += QByteArray("\xFF\xE1\xFF\xFF", 4) + QByteArray(65533, 'x');
  big += QByteArray("\xFF\xE2\x00\x10", 4) + QByteArray(14, 'y') + baseline.mid(2);
  EXPECT_TRUE(Is(GetImageSize(Write("app.jpg", big), 0), 3, 64, 48, 24));

  struct Png {
    QImage::Format format;
    int depth;
  } pngs[] = {{QImage::Format_Grayscale8, 8}, {QImage::Format_RGB888, 24},
              {QImage::Format_Indexed8, 8},   {QImage::Format_ARGB32, 0},
              {QImage::Format_RGBX64, 48}};
  for (const Png& p : pngs) {
    QImage image = g.convertToFormat(p.format);
    if (p.format == QImage::Format_ARGB32) image.setPixel(0, 0, qRgba(1, 2, 3, 4));
    EXPECT_TRUE(Is(GetImageSize(SavePng("c.png", image), 0), 4, 33, 17, p.depth)) << p.format;
  }
}

TEST_F(PictureSize, DamagedOrOutOfRangeHeadersGiveNoSize) {
  const QByteArray bmp = testpics::Bmp24(testpics::Gradient(8, 6));
  const QByteArray jpg = Jpeg(16, 16, 0);
  const qsizetype sof = jpg.indexOf(QByteArray("\xFF\xC0", 2));
  ASSERT_GT(sof, 0);
  QByteArray png = testpics::ReadFile(SavePng("ok.png", testpics::Gradient(5, 5)));
  QByteArray wide = png, widest = png;
  qToBigEndian<quint32>(0x7FFFFFFF, wide.data() + 16);
  qToBigEndian<quint32>(0x80000000, widest.data() + 16);
  EXPECT_TRUE(Is(GetImageSize(Write("wide.png", wide), 0), 4, 0x7FFFFFFF, 5, 24));

  QByteArray sof5 = jpg, noMarker = jpg, longJump = jpg.left(sof);
  sof5[sof + 1] = char(0xC5);
  noMarker[2] = 0x00;
  longJump += QByteArray("\xFF\xE3\xFF\xF0", 4);
  const struct {
    const char* name;
    QByteArray bytes;
  } damaged[] = {
      {"top-down.bmp", testpics::Bmp24(testpics::Gradient(8, 6), true)},
      {"header-cut.bmp", bmp.left(53)},
      {"header-cut.gif", Gif(10, 10, 0).left(12)},
      {"2^31-wide.png", widest},
      {"header-cut.png", png.left(28)},
      {"frame-header-cut.jpg", jpg.left(sof + 7)},
      {"segment-past-the-end.jpg", longJump},
      {"frame-code-c5.jpg", sof5},
      {"no-marker-after-start.jpg", noMarker},
      {"start-only.jpg", jpg.left(2)},
      {"one-byte.bmp", "B"},
      {"empty.png", ""},
  };
  for (const auto& d : damaged)
    for (int selector : {0, 5})
      EXPECT_TRUE(Is(GetImageSize(Write(QString::fromUtf8(d.name), d.bytes), selector), 0, 0, 0, 0))
          << d.name << " selector " << selector;

  const QString file = Write(QStringLiteral("fine.bmp"), bmp);
  ASSERT_TRUE(IsFileReadable(file));
  const QString unreadable[] = {dir.path(), dir.filePath(QStringLiteral("missing.bmp")),
                                Write(QStringLiteral(".hidden.bmp"), bmp), QString()};
  for (const QString& p : unreadable) {
    EXPECT_FALSE(IsFileReadable(p)) << qPrintable(p);
    for (int selector = 0; selector <= 5; ++selector)
      EXPECT_TRUE(Is(GetImageSize(p, selector), 0, 0, 0, 0)) << qPrintable(p);
  }
}

TEST_F(PictureSize, SelectorPicksTheReader) {
  const QString pngAsJpg = SavePng(QStringLiteral("photo.jpg"), testpics::Gradient(7, 9));
  const QString jpegUpper = Write(QStringLiteral("PHOTO.JPEG"), Jpeg(12, 10, 0));
  const QString looseGif = Write(QStringLiteral("odd.gif"), "GIX" + Gif(5, 6, 0).mid(3));
  const struct {
    QString path;
    int selector;
    int kind;
  } cases[] = {
      {pngAsJpg, 0, 4}, {pngAsJpg, 4, 4},  {pngAsJpg, 5, 0},  {pngAsJpg, 3, 0},
      {pngAsJpg, 6, 0}, {pngAsJpg, -1, 0}, {jpegUpper, 5, 3}, {jpegUpper, 1, 0},
      {looseGif, 2, 2}, {looseGif, 5, 2},  {looseGif, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetImageSize(c.path, c.selector).Kind, c.kind)
        << qPrintable(QFileInfo(c.path).fileName()) << " selector " << c.selector;
}

}  // namespace
