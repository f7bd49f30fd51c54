// BMP files read into bitmaps and written as JPEG files, checked by decoding the JPEG again.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include "imaging/imaging.h"
#include "platform/imaging/picture_files.h"

using namespace imaging;

namespace {

class Imaging : public ::testing::Test {
 protected:
  QString Path(const QString& name) const { return dir.filePath(name); }
  QString WriteBmp(const QString& name, const QByteArray& bytes) {
    EXPECT_TRUE(testpics::WriteFile(Path(name), bytes));
    return Path(name);
  }
  // Reads the BMP, encodes it, frees it; returns what DIBtoJPG returned (-1 when unread).
  int Convert(const QString& bmp, const QString& jpg, int quality, int progressive) {
    const DibHandle dib = BMPtoDIB(bmp);
    if (dib == 0) return -1;
    const int result = DIBtoJPG(jpg, dib, quality, progressive);
    DeleteDIB(dib);
    return result;
  }
  QTemporaryDir dir;
};

TEST_F(Imaging, JpegDecodesBackCloseToTheBmpInEveryLayoutAndMode) {
  const QImage source = testpics::Gradient(160, 120);
  struct Case {
    const char* name;
    QByteArray bmp;
    int progressive;
  } cases[] = {
      {"bottom-up baseline", testpics::Bmp24(source, false), 0},
      {"top-down baseline", testpics::Bmp24(source, true), 0},
      {"bottom-up progressive", testpics::Bmp24(source, false), 1},
      {"32-bit top-down", testpics::Bmp24(source, true, 32), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString bmp = WriteBmp(QStringLiteral("in.bmp"), c.bmp);
    const QString jpg = Path(QStringLiteral("out.jpg"));
    ASSERT_NE(Convert(bmp, jpg, 100, c.progressive), 0);
    const QByteArray bytes = testpics::ReadFile(jpg);
    EXPECT_EQ(testpics::FrameCode(bytes), c.progressive ? 0xC2 : 0xC0);
    const QImage decoded = QImage::fromData(bytes, "JPG");
    ASSERT_EQ(decoded.size(), source.size());
    const testpics::Difference d = testpics::Compare(source, decoded);
    EXPECT_LE(d.max, 8);
    EXPECT_LT(d.mean, 1.5);
    EXPECT_EQ(testpics::ReadFile(bmp), c.bmp) << "the BMP must stay as it was";
  }
}

TEST_F(Imaging, PaletteBmpAndOutOfRangeQualityStillConvert) {
  QImage indexed = testpics::Gradient(40, 30).convertToFormat(QImage::Format_Indexed8);
  ASSERT_TRUE(indexed.save(Path(QStringLiteral("pal.bmp")), "BMP"));
  for (int quality : {0, 50, 250}) {
    const QString jpg = Path(QStringLiteral("pal%1.jpg").arg(quality));
    EXPECT_NE(Convert(Path(QStringLiteral("pal.bmp")), jpg, quality, 0), 0) << quality;
    EXPECT_EQ(QImage(jpg).size(), QSize(40, 30));
  }
}

TEST_F(Imaging, UnreadableBmpGivesNoBitmap) {
  const QByteArray good = testpics::Bmp24(testpics::Gradient(32, 32));
  QImage png = testpics::Gradient(8, 8);
  ASSERT_TRUE(png.save(Path(QStringLiteral("png.bmp")), "PNG"));
  const QString paths[] = {
      Path(QStringLiteral("missing.bmp")),
      WriteBmp(QStringLiteral("empty.bmp"), {}),
      WriteBmp(QStringLiteral("header.bmp"), good.left(54)),
      WriteBmp(QStringLiteral("last-row-cut.bmp"), good.left(good.size() - 10)),
      WriteBmp(QStringLiteral("cut.bmp"), good.left(20)),
      WriteBmp(QStringLiteral("text.bmp"), "BM is not enough to make a bitmap"),
      Path(QStringLiteral("png.bmp")),
      dir.path(),
  };
  for (const QString& p : paths) EXPECT_EQ(BMPtoDIB(p), 0u) << qPrintable(p);
  EXPECT_EQ(LiveDIBCount(), 0);
}

TEST_F(Imaging, FailedEncodeLeavesNoFileAndKeepsAnOldOne) {
  const QString bmp = WriteBmp(QStringLiteral("in.bmp"), testpics::Bmp24(testpics::Gradient(16, 16)));
  const DibHandle dib = BMPtoDIB(bmp);
  ASSERT_NE(dib, 0u);
  const DibHandle other = BMPtoDIB(bmp);
  EXPECT_NE(other, dib);
  EXPECT_EQ(LiveDIBCount(), 2);

  EXPECT_EQ(DIBtoJPG(Path(QStringLiteral("no/such/folder/x.jpg")), dib, 90, 0), 0);
  EXPECT_EQ(DIBtoJPG(dir.path(), dib, 90, 0), 0);
  EXPECT_EQ(DIBtoJPG(Path(QStringLiteral("zero.jpg")), 0, 90, 0), 0);
  EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("zero.jpg"))));

  // A freed handle is dead for good, and freeing it again is harmless.
  const QString kept = Path(QStringLiteral("kept.jpg"));
  ASSERT_TRUE(testpics::WriteFile(kept, "old"));
  DeleteDIB(dib);
  DeleteDIB(dib);
  EXPECT_EQ(DIBtoJPG(kept, dib, 90, 0), 0);
  EXPECT_EQ(testpics::ReadFile(kept), QByteArray("old"));
  EXPECT_NE(DIBtoJPG(kept, other, 90, 0), 0);
  DeleteDIB(other);
  EXPECT_EQ(LiveDIBCount(), 0);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "no leftovers";
}

}  // namespace
