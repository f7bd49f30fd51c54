// Picture sizes read from file headers written by the tests.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "imaging/imaging.h"
#include "platform/imaging/picture_files.h"
#include "common/imgctl_util.h"
#include "common/mdlPicture.h"

namespace {

std::tuple<int, int, int, int> Fields(const ImageSize& s) {
  return {s.Kind, s.PixelWidth, s.PixelHeight, s.BitDepth};
}

class PictureSize : public ::testing::Test {
 protected:
  QString Write(const QString& name, const QByteArray& bytes) {
    EXPECT_TRUE(testpics::WriteFile(dir.filePath(name), bytes));
    return dir.filePath(name);
  }
  QByteArray Png(const QImage& image) {
    EXPECT_TRUE(image.save(dir.filePath("t.png"), "PNG"));
    return testpics::ReadFile(dir.filePath("t.png"));
  }
  QByteArray Jpeg(int w, int h, int progressive) {
    const QString bmp = Write("src.bmp", testpics::Bmp(testpics::Gradient(w, h)));
    EXPECT_TRUE(ConvertBmpToJpg(dir.filePath("src.jpg"), bmp, 90, qint16(progressive)));
    return testpics::ReadFile(dir.filePath("src.jpg"));
  }
  QTemporaryDir dir;
};

// A GIF header (size and colour table bits), then one 1 x 1 image and the trailer.
QByteArray Gif(quint16 w, quint16 h, quint8 packed) {
  static const char kRest[] = "\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;";
  return "GIF89a" + QByteArray(reinterpret_cast<const char*>(&w), 2) +
         QByteArray(reinterpret_cast<const char*>(&h), 2) + char(packed) +
         QByteArray(kRest, sizeof kRest - 1);
}

TEST_F(PictureSize, EachKindIsMeasuredFromItsHeader) {
  const QImage g = testpics::Gradient(33, 17);
  QImage alpha = g.convertToFormat(QImage::Format_ARGB32);
  alpha.setPixel(0, 0, qRgba(1, 2, 3, 4));
  const QByteArray jpeg = Jpeg(64, 48, 0);
  // The frame header far behind large application segments.
  QByteArray behindApps = jpeg.left(2);
  for (int i = 0; i < 3; ++i) behindApps += "\xFF\xE1\xFF\xFF" + QByteArray(65533, 'x');
  behindApps += jpeg.mid(2);
  const struct {
    const char* name;
    QByteArray bytes;
    std::tuple<int, int, int, int> expected;
  } files[] = {
      {"up.bmp", testpics::Bmp(g), {1, 33, 17, 24}},
      {"a.gif", Gif(300, 200, 0xF2), {2, 300, 200, 3}},
      {"b.jpg", jpeg, {3, 64, 48, 24}},
      {"p.jpg", Jpeg(40, 30, 1), {3, 40, 30, 24}},
      {"apps.jpg", behindApps, {3, 64, 48, 24}},
      {"grey.png", Png(g.convertToFormat(QImage::Format_Grayscale8)), {4, 33, 17, 8}},
      {"rgb.png", Png(g.convertToFormat(QImage::Format_RGB888)), {4, 33, 17, 24}},
      {"palette.png", Png(g.convertToFormat(QImage::Format_Indexed8)), {4, 33, 17, 8}},
      {"rgb16.png", Png(g.convertToFormat(QImage::Format_RGBX64)), {4, 33, 17, 48}},
      {"alpha.png", Png(alpha), {4, 33, 17, 0}},
  };
  for (const auto& f : files)
    EXPECT_EQ(Fields(GetImageSize(Write(f.name, f.bytes), 0)), f.expected) << f.name;
}

TEST_F(PictureSize, DamagedOrOutOfRangeHeadersGiveNoSize) {
  const QByteArray jpg = Jpeg(16, 16, 0);
  const qsizetype sof = jpg.indexOf("\xFF\xC0");
  ASSERT_GT(sof, 0);
  QByteArray wide = Png(testpics::Gradient(5, 5)), widest = wide;
  qToBigEndian<quint32>(0x7FFFFFFF, wide.data() + 16);
  qToBigEndian<quint32>(0x80000000, widest.data() + 16);
  EXPECT_EQ(Fields(GetImageSize(Write("wide.png", wide), 0)), std::make_tuple(4, 0x7FFFFFFF, 5, 24));

  QByteArray sof5 = jpg, noMarker = jpg;
  sof5[sof + 1] = char(0xC5);
  noMarker[2] = 0x00;
  const struct {
    const char* name;
    QByteArray bytes;
  } damaged[] = {
      {"top-down.bmp", testpics::Bmp(testpics::Gradient(8, 6), true)},
      {"header-cut.bmp", testpics::Bmp(testpics::Gradient(8, 6)).left(53)},
      {"header-cut.gif", Gif(10, 10, 0).left(12)},
      {"2^31-wide.png", widest},
      {"header-cut.png", wide.left(28)},
      {"frame-header-cut.jpg", jpg.left(sof + 7)},
      {"segment-past-the-end.jpg", jpg.left(sof) + "\xFF\xE3\xFF\xF0"},
      {"frame-code-c5.jpg", sof5},
      {"no-marker-after-start.jpg", noMarker},
      {"one-byte.bmp", "B"},
  };
  for (const auto& d : damaged)
    for (int selector : {0, 5})
      EXPECT_EQ(Fields(GetImageSize(Write(d.name, d.bytes), selector)), std::make_tuple(0, 0, 0, 0))
          << d.name << " selector " << selector;

  ASSERT_TRUE(IsFileReadable(Write("fine.bmp", testpics::Bmp(testpics::Gradient(2, 2)))));
  for (const QString& p : {dir.path(), dir.filePath("missing.bmp"), Write(".hidden.bmp", "BM..")}) {
    EXPECT_FALSE(IsFileReadable(p)) << qPrintable(p);
    for (int selector = 0; selector <= 5; ++selector) EXPECT_EQ(GetImageSize(p, selector).Kind, 0);
  }
}

TEST_F(PictureSize, SelectorPicksTheReader) {
  const QString png = Write("photo.jpg", Png(testpics::Gradient(7, 9)));
  const QString jpeg = Write("PHOTO.JPEG", Jpeg(12, 10, 0));
  const QString looseGif = Write("odd.gif", "GIX" + Gif(5, 6, 0).mid(3));
  EXPECT_EQ((std::vector<int>{GetImageSize(png, 0).Kind, GetImageSize(png, 4).Kind, GetImageSize(png, 5).Kind,
                              GetImageSize(png, 6).Kind, GetImageSize(jpeg, 5).Kind, GetImageSize(jpeg, 1).Kind,
                              GetImageSize(looseGif, 2).Kind, GetImageSize(looseGif, 0).Kind}),
            (std::vector<int>{4, 4, 0, 0, 3, 0, 2, 0}));
}

TEST_F(PictureSize, FailedConversionWritesNoJpegAndFreesTheBitmap) {
  const QString bmp = Write("still.bmp", testpics::Bmp(testpics::Gradient(96, 64)));
  const QString cut = Write("cut.bmp", testpics::ReadFile(bmp).left(100));
  EXPECT_FALSE(ConvertBmpToJpg(dir.filePath("none.jpg"), cut, 100, 0));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("none.jpg")));
  EXPECT_FALSE(ConvertBmpToJpg(dir.filePath("no/folder.jpg"), bmp, 100, 0));
  EXPECT_EQ(imaging::LiveDIBCount(), 0);
}

}  // namespace
