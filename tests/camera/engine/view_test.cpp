// Where the picture goes in the capture window, and the text mixed over it.
#include "engine/hresult.h"
#include "engine_fixture.h"

using namespace cameratest;

namespace {

// Bright pixels (the white text) inside `area` of a painted image.
int WhitePixels(const QImage& image, QRect area) {
  int n = 0;
  area = area.intersected(image.rect());
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (qGray(image.pixel(x, y)) > 200) ++n;
  return n;
}

constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::uint32_t kBlack = 0x00000000;

}  // namespace

class Layout : public CameraTest {};

// A 320x240 picture in a 400x400 window.
TEST_F(Layout, StretchTypesPlaceThePictureFromTheWindowOrigin) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_EQ(engine.VideoPosition(), QRect(0, 0, 400, 400));
  ASSERT_EQ(engine.SetStretchType(1), com::S_OK);
  EXPECT_EQ(engine.VideoPosition(), QRect(0, 0, 400, 300));
  const QImage fit = Paint(engine);
  EXPECT_NE(fit.pixel(200, 150), qRgb(0, 0, 0));
  EXPECT_EQ(fit.pixel(200, 350), qRgb(0, 0, 0)) << "below the fitted picture stays black";
  ASSERT_EQ(engine.SetStretchType(2), com::S_OK);
  EXPECT_EQ(engine.VideoPosition(), QRect(0, 0, 320, 240));
  EXPECT_EQ(Paint(engine).pixel(360, 100), qRgb(0, 0, 0));
  ASSERT_EQ(engine.SetStretchType(0), com::S_OK);
  EXPECT_EQ(engine.VideoPosition(), QRect(0, 0, 400, 400));
  EXPECT_EQ(engine.GetStretchType(), 0);

  EXPECT_EQ(engine.SetStretchType(3), com::E_FAIL);
  EXPECT_EQ(engine.SetStretchType(-1), com::E_FAIL);
  EXPECT_EQ(engine.GetStretchType(), 0);
  EXPECT_EQ(engine.VideoPosition(), QRect(0, 0, 400, 400));
}

TEST_F(Layout, ResizedWindowAndOffsetOriginFollowTheStoredType) {
  window_.SetRect(QRect(10, 20, 640, 240));
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetStretchType(1), com::S_OK);
  EXPECT_EQ(engine.VideoPosition(), QRect(10, 20, 320, 240));
  window_.SetRect(QRect(10, 20, 200, 600));  // the capture window was resized
  ASSERT_EQ(engine.LayoutVideoWindow(200, 600), com::S_OK);
  EXPECT_EQ(engine.VideoPosition(), QRect(10, 20, 200, 150));
}

TEST_F(Layout, NativePictureLargerThanTheWindowKeepsItsSize) {
  UseCameras({Cam("Wide", "smpte75", {"BGR 720x480@30"})});
  window_.SetRect(QRect(0, 0, 400, 300));
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetStretchType(2), com::S_OK);
  EXPECT_EQ(engine.VideoPosition(), QRect(0, 0, 720, 480));
}

TEST_F(Layout, TypeChosenWithoutPictureIsKeptButANewPictureFillsTheWindow) {
  CCaptureEngine engine;
  EXPECT_EQ(engine.SetStretchType(2), com::E_FAIL);
  EXPECT_EQ(engine.GetStretchType(), 2);
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_EQ(engine.VideoPosition(), QRect(0, 0, 400, 400));
  ASSERT_EQ(engine.LayoutVideoWindow(), com::S_OK);  // the next resize applies it
  EXPECT_EQ(engine.VideoPosition(), QRect(0, 0, 320, 240));
}

class Overlay : public CameraTest {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    UseCameras({Cam("Dark", "black", {"BGR 320x240@30"})});
  }
};

// White letters on a black key colour: only the letters show, over the picture only, and the
// photograph never gets them.
TEST_F(Overlay, TextIsMixedOverThePictureOnlyAndNeverIntoStills) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetStretchType(1), com::S_OK);  // picture 400x300 at the top of a 400x400 window
  ASSERT_EQ(engine.SetAlphaText("HELLO", kWhite, kBlack, kBlack, 0.1f, 0.1f, 1), com::S_OK);
  const QImage shown = Paint(engine);
  EXPECT_GT(WhitePixels(shown, QRect(40, 30, 360, 100)), 20) << "no letters where the text was put";
  // Placed below the bottom edge, the text is cut at the picture's edge.
  ASSERT_EQ(engine.SetAlphaText("HELLO", kWhite, kBlack, kBlack, 0.1f, 0.95f, 1), com::S_OK);
  const QImage cut = Paint(engine);
  EXPECT_EQ(WhitePixels(cut, QRect(0, 300, 400, 100)), 0) << "text drawn outside the picture";

  ASSERT_EQ(engine.SetAlphaText("HELLO", kWhite, kBlack, kBlack, 0.1f, 0.1f, 1), com::S_OK);
  const std::string file = TempFile("plain.bmp");
  ASSERT_EQ(engine.SaveGrabberBitmap(file), com::S_OK);
  const auto f = ReadFile(file);
  ASSERT_EQ(f.size(), 230454u);
  EXPECT_TRUE(std::vector<std::uint8_t>(f.begin() + 54, f.end()) == ReferenceBitmapRows("black", "BGR", 320, 240));
}

TEST_F(Overlay, KeyColourOtherThanTheBackgroundShowsTheBox) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetAlphaText("HELLO", kBlack, kWhite, 0x000000FF, 0.0f, 0.0f, 1), com::S_OK);
  capture::AlphaBitmap params;
  ASSERT_EQ(engine.GetAlphaBitmapParameters(&params), com::S_OK);
  // The white background box covers the text's whole rectangle.
  const QImage shown = Paint(engine);
  const int w = int(params.rDest.right * 400), h = int(params.rDest.bottom * 400);
  EXPECT_GT(WhitePixels(shown, QRect(0, 0, w, h)), w * h / 2);
  EXPECT_EQ(params.dwFlags, capture::kBitmapHdc | capture::kBitmapSrcColorKey);
}

TEST_F(Overlay, DisabledTextIsNotShown) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetAlphaText("HELLO", kWhite, kBlack, kBlack, 0.1f, 0.1f, 0), com::S_OK);
  EXPECT_EQ(WhitePixels(Paint(engine), QRect(0, 0, 400, 400)), 0);
  ASSERT_EQ(engine.SetAlphaText("", kWhite, kBlack, kBlack, 0.1f, 0.1f, 0), com::S_OK) << "an empty text may be hidden";
}

// The ticker: 0.02 to the left per tick; once the right edge reaches 0.04 it starts again at 1.0.
TEST_F(Overlay, SlidingTextMovesLeftAndComesBackFromTheRight) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetAlphaText("Welcome", kWhite, kBlack, kBlack, 0.9f, 0.5f, 1), com::S_OK);
  capture::AlphaBitmap p;
  ASSERT_EQ(engine.GetAlphaBitmapParameters(&p), com::S_OK);
  const float width = p.rDest.right - p.rDest.left;
  ASSERT_GT(width, 0.05f);
  EXPECT_FLOAT_EQ(p.rDest.left, 0.9f);
  const QImage before = Paint(engine);

  ASSERT_EQ(engine.SlideAlphaText(), com::S_OK);
  ASSERT_EQ(engine.GetAlphaBitmapParameters(&p), com::S_OK);
  EXPECT_NEAR(p.rDest.left, 0.88f, 1e-5);
  EXPECT_NEAR(p.rDest.right - p.rDest.left, width, 1e-5);
  EXPECT_NEAR(p.rDest.top, 0.5f, 1e-6);

  // Tick until it wraps; it must wrap exactly when the right edge passes 0.04.
  float lastRight = p.rDest.right;
  int ticks = 1;
  while (true) {
    ASSERT_EQ(engine.SlideAlphaText(), com::S_OK);
    ++ticks;
    ASSERT_EQ(engine.GetAlphaBitmapParameters(&p), com::S_OK);
    if (p.rDest.left == 1.0f) break;
    lastRight = p.rDest.right;
    ASSERT_LT(ticks, 200) << "never wrapped";
  }
  EXPECT_GT(lastRight, 0.04f);
  EXPECT_LE(lastRight - 0.02f, 0.04f + 1e-5);
  EXPECT_NEAR(p.rDest.right, 1.0f + width, 1e-5);
  EXPECT_NEAR(p.rDest.top, 0.5f, 1e-6);
  ASSERT_EQ(engine.SlideAlphaText(), com::S_OK);
  ASSERT_EQ(engine.GetAlphaBitmapParameters(&p), com::S_OK);
  EXPECT_NEAR(p.rDest.left, 0.98f, 1e-5);
  // The painted text moved with it: at 0.9 it showed in the right part of the picture, now not.
  EXPECT_GT(WhitePixels(before, QRect(360, 190, 40, 60)), 0);
  EXPECT_EQ(WhitePixels(Paint(engine), QRect(0, 0, 390, 400)), 0);
}

TEST_F(Overlay, FailuresWithoutPictureOrText) {
  CCaptureEngine engine;
  EXPECT_EQ(engine.SetAlphaText("x", kWhite, kBlack, kBlack, 0, 0, 1), com::E_FAIL);
  EXPECT_EQ(engine.SlideAlphaText(), com::E_FAIL);
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_TRUE(capture::Failed(engine.SlideAlphaText())) << "nothing to slide stops the timer";
  EXPECT_EQ(engine.SetAlphaText("", kWhite, kBlack, kBlack, 0, 0, 1), com::E_INVALIDARG);
  engine.TearDownGraph();
  EXPECT_EQ(engine.SlideAlphaText(), com::E_FAIL) << "the overlay goes with the graph";
}

TEST_F(Overlay, FontSetsTheSizeOfTheNextText) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  capture::LogFontA font;
  font.lfHeight = -12;
  std::strcpy(font.lfFaceName, "IPAPGothic");
  ASSERT_EQ(engine.SetAlphaFont(&font), com::S_OK);
  ASSERT_EQ(engine.SetAlphaText("Welcome", kWhite, kBlack, kBlack, 0, 0, 1), com::S_OK);
  capture::AlphaBitmap small;
  ASSERT_EQ(engine.GetAlphaBitmapParameters(&small), com::S_OK);
  font.lfHeight = -48;
  ASSERT_EQ(engine.SetAlphaFont(&font), com::S_OK);
  capture::AlphaBitmap unchanged;
  ASSERT_EQ(engine.GetAlphaBitmapParameters(&unchanged), com::S_OK);
  EXPECT_EQ(unchanged.rDest.bottom, small.rDest.bottom) << "the font applies from the next text";
  ASSERT_EQ(engine.SetAlphaText("Welcome", kWhite, kBlack, kBlack, 0, 0, 1), com::S_OK);
  capture::AlphaBitmap large;
  ASSERT_EQ(engine.GetAlphaBitmapParameters(&large), com::S_OK);
  EXPECT_GT(large.rDest.bottom, small.rDest.bottom * 3);
  EXPECT_GT(large.rDest.right, small.rDest.right * 3);
  EXPECT_EQ(engine.SetAlphaFont(nullptr), com::E_FAIL);
}
