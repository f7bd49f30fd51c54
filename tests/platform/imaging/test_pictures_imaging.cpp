// BMP files read into bitmaps and written as JPEG files, checked by decoding the JPEG again.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "imaging/imaging.h"
#include "platform/imaging/picture_files.h"

using namespace imaging;

namespace {

TEST(Imaging, JpegDecodesBackCloseToTheBmpInEveryLayout) {
  QTemporaryDir dir;
  const QImage source = testpics::Gradient(160, 120);
  const QImage palette = source.convertToFormat(QImage::Format_Indexed8);
  ASSERT_TRUE(palette.save(dir.filePath("pal.bmp"), "BMP"));
  const struct {
    const char* name;
    QByteArray bmp;
    int progressive;
    QImage reference;
  } cases[] = {
      {"bottom-up", testpics::Bmp(source), 0, source},
      {"top-down progressive", testpics::Bmp(source, true), 1, source},
      {"32-bit top-down", testpics::Bmp(source, true, 32), 0, source},
      {"8-bit palette", testpics::ReadFile(dir.filePath("pal.bmp")), 0, palette},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(testpics::WriteFile(dir.filePath("in.bmp"), c.bmp));
    const DibHandle dib = BMPtoDIB(dir.filePath("in.bmp"));
    ASSERT_NE(DIBtoJPG(dir.filePath("out.jpg"), dib, 100, c.progressive), 0);
    // The picture as read, top row first, whatever the row order of the file.
    EXPECT_EQ(testpics::MaxDifference(c.reference, DIBImage(dib)), 0);
    // Written without waiting for the disk: the same file, replacing the one there, flushed later.
    ASSERT_TRUE(testpics::WriteFile(dir.filePath("quick.jpg"), "an older photo"));
    ASSERT_NE(DIBtoJPG(dir.filePath("quick.jpg"), dib, 100, c.progressive, false), 0);
    EXPECT_TRUE(FlushFile(dir.filePath("quick.jpg")));
    DeleteDIB(dib);
    const QByteArray jpeg = testpics::ReadFile(dir.filePath("out.jpg"));
    EXPECT_EQ(testpics::ReadFile(dir.filePath("quick.jpg")), jpeg);
    EXPECT_EQ(jpeg.contains("\xFF\xC2"), c.progressive != 0);  // the progressive frame header
    const QImage decoded = QImage::fromData(jpeg, "JPG");
    ASSERT_EQ(decoded.size(), source.size());
    EXPECT_LE(testpics::MaxDifference(c.reference, decoded), 8);
    EXPECT_EQ(testpics::ReadFile(dir.filePath("in.bmp")), c.bmp) << "the BMP must stay as it was";
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4) << "no leftovers";
  EXPECT_TRUE(DIBImage(0).isNull());
  EXPECT_FALSE(FlushFile(dir.filePath("missing.jpg")));
  EXPECT_EQ(LiveDIBCount(), 0);
}

TEST(Imaging, FailuresGiveNoBitmapAndLeaveNoFile) {
  QTemporaryDir dir;
  const QByteArray good = testpics::Bmp(testpics::Gradient(32, 32));
  const struct {
    const char* name;
    QByteArray bytes;
  } bad[] = {{"empty", ""}, {"header only", good.left(54)}, {"last row cut", good.left(good.size() - 10)},
             {"header cut", good.left(20)}, {"not a bitmap", "BM is not enough for a bitmap"}};
  for (const auto& b : bad) {
    ASSERT_TRUE(testpics::WriteFile(dir.filePath("bad.bmp"), b.bytes));
    EXPECT_EQ(BMPtoDIB(dir.filePath("bad.bmp")), 0u) << b.name;
  }
  EXPECT_EQ(BMPtoDIB(dir.filePath("missing.bmp")), 0u);
  EXPECT_EQ(BMPtoDIB(dir.path()), 0u);

  ASSERT_TRUE(testpics::WriteFile(dir.filePath("in.bmp"), good));
  const DibHandle dib = BMPtoDIB(dir.filePath("in.bmp"));
  ASSERT_NE(dib, 0u);
  EXPECT_EQ(DIBtoJPG(dir.filePath("no/such/folder/x.jpg"), dib, 90, 0), 0);
  EXPECT_EQ(DIBtoJPG(dir.path(), dib, 90, 0), 0);
  // A freed handle is dead for good and freeing it again is harmless; an old file is kept.
  ASSERT_TRUE(testpics::WriteFile(dir.filePath("kept.jpg"), "old"));
  DeleteDIB(dib);
  DeleteDIB(dib);
  EXPECT_EQ(DIBtoJPG(dir.filePath("kept.jpg"), dib, 90, 0), 0);
  EXPECT_EQ(testpics::ReadFile(dir.filePath("kept.jpg")), QByteArray("old"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3) << "no leftovers";
  EXPECT_EQ(LiveDIBCount(), 0);
}

}  // namespace
