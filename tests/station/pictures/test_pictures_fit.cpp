// Fitting pictures into boxes: scale, rounding and alignment on a real picture control.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <tuple>

#include "platform/imaging/picture_files.h"
#include "startup/PictureBox.h"
#include "startup/mdlPicture.h"

namespace {

class PictureFit : public ::testing::Test {
 protected:
  void SetUp() override {
    box.move(10, 20);
    box.resize(33, 44);
  }
  QString Picture(int w, int h) {
    const QString path = dir.filePath(QStringLiteral("%1x%2.png").arg(w).arg(h));
    if (!QFileInfo::exists(path)) EXPECT_TRUE(testpics::Gradient(w, h).save(path, "PNG"));
    return path;
  }
  // Fits into a box at the control's own place; returns the control's geometry afterwards.
  QRect Fit(int w, int h, const QString& path, const char* hAlign, const char* vAlign) {
    EXPECT_TRUE(FitPicture(w, h, box, path, false, box.Top(), QString::fromLatin1(hAlign),
                           box.Left(), QString::fromLatin1(vAlign)));
    return box.geometry();
  }
  QTemporaryDir dir;
  QWidget container;
  PictureBox box{&container};
};

TEST_F(PictureFit, ScalesToTheLimitingSideAndAligns) {
  const struct {
    int pw, ph, bw, bh;
    const char *h, *v;
    QRect expected;
  } cases[] = {
      // Width limits; "Middle" moves down by half the free height.
      {400, 200, 240, 180, "Left", "Middle", {10, 50, 240, 120}},
      {400, 200, 240, 180, "Left", "Bottom", {10, 80, 240, 120}},
      // Height limits; "Center" and "Right" move right by half or all the free width.
      {200, 400, 240, 180, "Center", "Top", {85, 20, 90, 180}},
      {200, 400, 240, 180, "Right", "Top", {160, 20, 90, 180}},
      // The same proportions fill the box; alignment moves nothing.
      {480, 360, 240, 180, "Right", "Bottom", {10, 20, 240, 180}},
      // Words in other letter case leave the picture at the left and top.
      {200, 400, 240, 180, "center", "MIDDLE", {10, 20, 90, 180}},
      {400, 200, 240, 180, "RIGHT", "bottom", {10, 20, 240, 120}},
      // The new size is cut toward zero: 100 x 200 / 300 = 66.7 gives 66, the free 34 halves to 17.
      {300, 200, 100, 100, "Left", "Middle", {10, 37, 100, 66}},
      // Halves round to the even number: 10 + 0.5 stays 10, 11 + 0.5 becomes 12.
      {400, 200, 241, 120, "Center", "Top", {10, 20, 240, 120}},
  };
  for (const auto& c : cases) {
    SetUp();
    EXPECT_EQ(Fit(c.bw, c.bh, Picture(c.pw, c.ph), c.h, c.v), c.expected)
        << c.pw << "x" << c.ph << " " << c.h << " " << c.v;
    EXPECT_TRUE(box.Stretch());
    EXPECT_EQ(box.Picture().size(), QSize(c.pw, c.ph));
  }
  box.move(11, 20);
  EXPECT_EQ(Fit(241, 120, Picture(400, 200), "Center", "Top").left(), 12);
}

TEST_F(PictureFit, ArgumentsByReferenceReceiveThePlaceAndTheConvertedBox) {
  int w = 16, h = 12, top = 5, left = 7;
  ASSERT_TRUE(FitPicture(w, h, box, Picture(400, 200), true, top, "Left", left, "Middle"));
  // 15 twips per pixel on the test screen: the box is 240 x 180, the picture 240 x 120.
  EXPECT_EQ(w, 240);
  EXPECT_EQ(h, 180);
  EXPECT_EQ(left, 7);
  EXPECT_EQ(top, 35);
  EXPECT_EQ(box.geometry(), QRect(7, 35, 240, 120));
}

TEST_F(PictureFit, WithoutAUsableSizeNothingOnTheControlChanges) {
  QByteArray hugePng = testpics::ReadFile(Picture(4, 4));
  qToBigEndian<quint32>(1u << 30, hugePng.data() + 16);
  qToBigEndian<quint32>(1u << 30, hugePng.data() + 20);
  QByteArray emptyGif("GIF89a\0\0\0\0\0\0\0;", 14);
  const struct {
    const char* name;
    QByteArray bytes;
  } files[] = {{"text.jpg", "not a picture at all"},
               {"zero.gif", emptyGif},
               {"huge.png", hugePng},
               {"top-down.bmp", testpics::Bmp24(testpics::Gradient(4, 4), true)}};
  box.setPicture(QPixmap(3, 3));
  for (const auto& f : files) {
    const QString path = dir.filePath(QString::fromLatin1(f.name));
    ASSERT_TRUE(testpics::WriteFile(path, f.bytes));
    int w = 240, h = 180, top = 1, left = 2;
    QString error;
    EXPECT_FALSE(FitPicture(w, h, box, path, true, top, "Center", left, "Middle", &error)) << f.name;
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(box.geometry(), QRect(10, 20, 3, 3)) << f.name;
    EXPECT_FALSE(box.Stretch());
    EXPECT_EQ(box.Picture().size(), QSize(3, 3));
    EXPECT_EQ(std::tie(w, h, top, left), std::make_tuple(240, 180, 1, 2));
  }
}

TEST_F(PictureFit, LoaderFailureKeepsTheNewSizeButNotThePlace) {
  // A header that measures, over a body that does not load.
  const QString path = dir.filePath(QStringLiteral("cut.png"));
  ASSERT_TRUE(testpics::WriteFile(path, testpics::ReadFile(Picture(400, 200)).left(40)));
  QString error;
  EXPECT_FALSE(FitPicture(240, 180, box, path, false, 0, "Center", 0, "Middle", &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(box.Stretch());
  EXPECT_EQ(box.geometry(), QRect(10, 20, 240, 120));
  EXPECT_TRUE(box.Picture().isNull());
}

}  // namespace
