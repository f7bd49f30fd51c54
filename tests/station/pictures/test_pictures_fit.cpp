// Fitting pictures into boxes: scale, rounding and alignment on a real picture control.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "platform/imaging/picture_files.h"
#include "common/PictureBox.h"
#include "common/mdlPicture.h"

namespace {

class PictureFit : public ::testing::Test {
 protected:
  void SetUp() override { box.setGeometry(10, 20, 3, 3); }
  QString Picture(int w, int h) {
    const QString path = dir.filePath(QStringLiteral("%1x%2.png").arg(w).arg(h));
    EXPECT_TRUE(testpics::Gradient(w, h).save(path, "PNG"));
    return path;
  }
  QTemporaryDir dir;
  QWidget container;
  PictureBox box{&container};
};

TEST_F(PictureFit, ScalesToTheLimitingSideAndAligns) {
  const struct {
    int pw, ph, bw, bh, left;
    const char *h, *v;
    QRect expected;
  } cases[] = {
      // Width limits; "Middle" and "Bottom" move down by half or all the free height.
      {400, 200, 240, 180, 10, "Left", "Middle", {10, 50, 240, 120}},
      {400, 200, 240, 180, 10, "Left", "Bottom", {10, 80, 240, 120}},
      // Height limits; "Center" and "Right" move right by half or all the free width.
      {200, 400, 240, 180, 10, "Center", "Top", {85, 20, 90, 180}},
      {200, 400, 240, 180, 10, "Right", "Top", {160, 20, 90, 180}},
      // The same proportions fill the box.
      {480, 360, 240, 180, 10, "Right", "Bottom", {10, 20, 240, 180}},
      // Words in other letter case leave the picture at the left and top.
      {200, 400, 240, 180, 10, "center", "MIDDLE", {10, 20, 90, 180}},
      // 100 x 200 / 300 = 66.7 is cut to 66; the free 34 halves to 17.
      {300, 200, 100, 100, 10, "Left", "Middle", {10, 37, 100, 66}},
      // Halves round to the even number: 10.5 gives 10, 11.5 gives 12.
      {400, 200, 241, 120, 10, "Center", "Top", {10, 20, 240, 120}},
      {400, 200, 241, 120, 11, "Center", "Top", {12, 20, 240, 120}},
  };
  for (const auto& c : cases) {
    box.setLeft(c.left);
    box.setTop(20);
    EXPECT_TRUE(FitPicture(c.bw, c.bh, box, Picture(c.pw, c.ph), false, box.Top(), c.h,
                           box.Left(), c.v));
    EXPECT_EQ(box.geometry(), c.expected) << c.pw << "x" << c.ph << " " << c.h << " " << c.v;
    EXPECT_TRUE(box.Stretch());
    EXPECT_EQ(box.Picture().size(), QSize(c.pw, c.ph));
  }
}

TEST_F(PictureFit, ArgumentsByReferenceReceiveThePlaceAndTheConvertedBox) {
  int w = 16, h = 12, top = 5, left = 7;
  ASSERT_TRUE(FitPicture(w, h, box, Picture(400, 200), true, top, "Left", left, "Middle"));
  // 15 twips per pixel on the test screen: the box is 240 x 180, the picture 240 x 120.
  EXPECT_EQ(std::tie(w, h, left, top), std::make_tuple(240, 180, 7, 35));
  EXPECT_EQ(box.geometry(), QRect(7, 35, 240, 120));
}

TEST_F(PictureFit, WithoutAUsableSizeOrPictureTheControlKeepsItsPlace) {
  QByteArray huge = testpics::ReadFile(Picture(4, 4));
  qToBigEndian<quint32>(1u << 30, huge.data() + 16);
  qToBigEndian<quint32>(1u << 30, huge.data() + 20);
  const struct {
    const char* name;
    QByteArray bytes;
  } files[] = {{"text.jpg", "not a picture at all"},
               {"zero.gif", QByteArray("GIF89a\0\0\0\0\0\0\0;", 14)},
               {"huge.png", huge},
               {"top-down.bmp", testpics::Bmp(testpics::Gradient(4, 4), true)}};
  box.setPicture(QPixmap(3, 3));
  for (const auto& f : files) {
    ASSERT_TRUE(testpics::WriteFile(dir.filePath(f.name), f.bytes));
    int w = 240, h = 180, top = 1, left = 2;
    QString error;
    EXPECT_FALSE(FitPicture(w, h, box, dir.filePath(f.name), true, top, "Center", left, "Middle", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(std::tie(w, h, top, left), std::make_tuple(240, 180, 1, 2));
    EXPECT_EQ(box.geometry(), QRect(10, 20, 3, 3)) << f.name;
    EXPECT_FALSE(box.Stretch());
  }

  // A header that measures over a body that does not load: the new size stays, the place not.
  ASSERT_TRUE(testpics::WriteFile(dir.filePath("cut.png"), testpics::ReadFile(Picture(400, 200)).left(40)));
  EXPECT_FALSE(FitPicture(240, 180, box, dir.filePath("cut.png"), false, 0, "Center", 0, "Middle"));
  EXPECT_EQ(box.geometry(), QRect(10, 20, 240, 120));
  EXPECT_EQ(box.Picture().size(), QSize(3, 3));
}

}  // namespace
