// Stream formats: the capability entries a camera offers, their colour-space codes, choosing a
// format on the running preview and the grabber subtype.
#include "engine/hresult.h"
#include "engine/media_type.h"
#include "engine_fixture.h"

using namespace cameratest;
using capture::PinCategory;

namespace {

struct Entry {
  short minX = -1, minY = -1, maxX = -1, maxY = -1, stepX = -1, stepY = -1, color = -1;
  std::int32_t bih[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

capture::HRESULT Get(CCaptureEngine& e, PinCategory pin, short index, Entry& out, bool withHeader = true) {
  return e.GetStreamCaps(pin, index, &out.minX, &out.minY, &out.maxX, &out.maxY, &out.stepX, &out.stepY, &out.color,
                         withHeader ? out.bih : nullptr);
}

capture::BitmapInfoHeader Header(int w, int h, int bits, std::uint32_t compression, std::uint32_t size) {
  capture::BitmapInfoHeader b;
  b.biWidth = w;
  b.biHeight = h;
  b.biBitCount = std::uint16_t(bits);
  b.biCompression = compression;
  b.biSizeImage = size;
  return b;
}

std::pair<int, int> Resolution(CCaptureEngine& e, PinCategory pin = PinCategory::Capture) {
  std::int32_t w = -1, h = -1;
  EXPECT_EQ(e.GetResolution(pin, &w, &h), com::S_OK);
  return {w, h};
}

}  // namespace

class Formats : public CameraTest {};

// The default camera: YUY2 640x480, BGR 320x240, YUY2 320x240, YUY2 1280x720, I420 640x480.
TEST_F(Formats, EntriesReportSizesColourSpacesAndHeaders) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  for (PinCategory pin : {PinCategory::Capture, PinCategory::Preview}) {
    short count = -1;
    ASSERT_EQ(engine.GetStreamCapsCount(pin, &count), com::S_OK);
    EXPECT_EQ(count, 5);
  }
  Entry yuy2;
  ASSERT_EQ(Get(engine, PinCategory::Capture, 0, yuy2), com::S_OK);
  EXPECT_EQ(yuy2.color, 3);
  EXPECT_EQ(yuy2.minX, 640);
  EXPECT_EQ(yuy2.maxX, 640);
  EXPECT_EQ(yuy2.minY, 480);
  EXPECT_EQ(yuy2.maxY, 480);
  const std::int32_t yuy2Header[10] = {40, 640, 480, 1 | 16 << 16, 0x32595559, 614400, 0, 0, 0, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(yuy2.bih[i], yuy2Header[i]) << "header word " << i;

  Entry rgb;
  ASSERT_EQ(Get(engine, PinCategory::Preview, 1, rgb), com::S_OK);
  EXPECT_EQ(rgb.color, 21);
  const std::int32_t rgbHeader[10] = {40, 320, 240, 1 | 24 << 16, 0, 230400, 0, 0, 0, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(rgb.bih[i], rgbHeader[i]) << "header word " << i;

  Entry i420;
  ASSERT_EQ(Get(engine, PinCategory::Capture, 4, i420, false), com::S_OK);
  EXPECT_EQ(i420.color, 37) << "I420 is not in the colour-space list";
  EXPECT_EQ(i420.bih[0], -1) << "the variant without header writes none";

  std::int32_t w, h, compression, size, xp, yp, used, important;
  short planes, bits;
  ASSERT_EQ(engine.GetStreamCapsBih(PinCategory::Capture, 3, &w, &h, &planes, &bits, &compression, &size, &xp, &yp,
                                    &used, &important),
            com::S_OK);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 720);
  EXPECT_EQ(planes, 1);
  EXPECT_EQ(bits, 16);
  EXPECT_EQ(compression, 0x32595559);
  EXPECT_EQ(size, 1280 * 720 * 2);
}

TEST_F(Formats, IndexOutsideTheListTouchesNothing) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  Entry e;
  EXPECT_EQ(Get(engine, PinCategory::Capture, 5, e), com::S_FALSE);
  EXPECT_EQ(Get(engine, PinCategory::Capture, -1, e), com::E_INVALIDARG);
  EXPECT_EQ(e.minX, -1);
  EXPECT_EQ(e.color, -1);
  EXPECT_EQ(e.bih[1], -1);
  const int painted = window_.repaints.load();
  EXPECT_EQ(engine.SetStreamCaps2(PinCategory::Capture, 5, Header(640, 480, 16, 0x32595559, 614400)), com::S_FALSE);
  EXPECT_EQ(engine.GetStreamCaps(PinCategory::Capture, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr),
            com::E_POINTER);
  EXPECT_EQ(Resolution(engine), std::make_pair(320, 240)) << "the graph was not touched";
  EXPECT_EQ(window_.repaints.load(), painted);
}

TEST_F(Formats, EverythingButTheGrabberSubtypeNeedsALivePreview) {
  CCaptureEngine engine;
  short count = 7;
  Entry e;
  std::int32_t w = 0, h = 0, size = 0;
  EXPECT_EQ(engine.GetStreamCapsCount(PinCategory::Capture, &count), com::E_FAIL);
  EXPECT_EQ(engine.GetStreamCapsCount(PinCategory::Preview, &count), com::E_FAIL);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(Get(engine, PinCategory::Capture, 0, e), com::E_FAIL);
  EXPECT_EQ(engine.SetStreamCaps(PinCategory::Capture, 0, 0, 0, nullptr), com::E_FAIL);
  EXPECT_EQ(engine.SetStreamCaps2(PinCategory::Preview, 0, Header(640, 480, 16, 0, 0)), com::E_FAIL);
  EXPECT_EQ(engine.GetResolution(PinCategory::Capture, &w, &h), com::E_FAIL);
  EXPECT_EQ(engine.GetCurrentBuffer(&size, nullptr, &w, &h), com::E_FAIL);
  EXPECT_EQ(engine.SetSGMediaType(2), com::S_OK);
  EXPECT_EQ(engine.GrabberSubtype(), capture::guid::kUYVY);
}

TEST_F(Formats, GrabberSubtypeCodesAndTheLiveGrabberStaysRgb24) {
  CCaptureEngine engine;
  EXPECT_EQ(engine.SetSGMediaType(1), com::S_OK);
  EXPECT_EQ(engine.GrabberSubtype(), capture::guid::kYUY2);
  EXPECT_EQ(engine.SetSGMediaType(4), com::E_FAIL);
  EXPECT_EQ(engine.SetSGMediaType(-1), com::E_FAIL);
  EXPECT_EQ(engine.GrabberSubtype(), capture::guid::kYUY2);
  EXPECT_EQ(engine.SetSGMediaType(3), com::S_OK);
  EXPECT_EQ(engine.GrabberSubtype(), capture::guid::kYVYU);
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_EQ(engine.GrabberFrameHeader().biBitCount, 24);
  std::vector<std::uint8_t> buffer(230400);
  std::int32_t size = std::int32_t(buffer.size()), w = 0, h = 0;
  ASSERT_EQ(engine.GetCurrentBuffer(&size, buffer.data(), &w, &h), com::S_OK);
  EXPECT_EQ(size, 230400);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  EXPECT_TRUE(buffer == ReferenceBitmapRows("smpte75", "BGR", 320, 240));
}

// The capture format chosen with a full header: the grabber preview runs again on it.
TEST_F(Formats, ChosenCaptureFormatRebuildsTheGrabberPreview) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetStreamCaps2(PinCategory::Capture, 3, Header(1280, 720, 16, 0x32595559, 1843200)), com::S_OK);
  EXPECT_EQ(Resolution(engine), std::make_pair(1280, 720));
  EXPECT_EQ(Resolution(engine, PinCategory::Preview), std::make_pair(1280, 720));
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 1280);
  EXPECT_EQ(engine.GrabberFrameHeader().biHeight, 720);
  ASSERT_EQ(engine.SaveGrabberBitmap(TempFile("hd.bmp")), com::S_OK);
  EXPECT_EQ(ReadFile(TempFile("hd.bmp")).size(), 1280u * 3 * 720 + 54);
  EXPECT_EQ(engine.VideoPosition(), QRect(0, 0, 400, 400)) << "the new picture fills the window";
}

// What the station asks for (0 x 0, 32 bits): refused by the camera, the preview goes on unchanged.
TEST_F(Formats, ZeroSizeRequestKeepsThePreviewOnItsFormat) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetStreamCaps2(PinCategory::Capture, 0, Header(0, 0, 32, 0, 0)), com::S_OK);
  EXPECT_EQ(Resolution(engine), std::make_pair(320, 240));
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 320);
  ASSERT_EQ(engine.SaveGrabberBitmap(TempFile("after.bmp")), com::S_OK);
  EXPECT_EQ(ReadFile(TempFile("after.bmp")).size(), 230454u);
  // A header that contradicts its entry (bit count) is refused the same way.
  ASSERT_EQ(engine.SetStreamCaps2(PinCategory::Capture, 0, Header(640, 480, 24, 0, 0)), com::S_OK);
  EXPECT_EQ(Resolution(engine), std::make_pair(320, 240));
}

TEST_F(Formats, EntryAppliedAsTheCameraGivesItWhateverSizeIsPassed) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  const std::int32_t bih[10] = {40, 1, 1, 1 | 24 << 16, 0, 3, 0, 0, 0, 0};
  ASSERT_EQ(engine.SetStreamCaps(PinCategory::Capture, 0, 1, 1, bih), com::S_OK);
  EXPECT_EQ(Resolution(engine), std::make_pair(640, 480));
  ASSERT_EQ(engine.SetStreamCaps(PinCategory::Preview, 2, 999, 999, nullptr), com::S_OK);
  EXPECT_EQ(Resolution(engine), std::make_pair(320, 240));
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 320);
}

TEST_F(Formats, PlainPreviewIsRebuiltWithoutGrabber) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOn(&window_), com::S_OK);
  ASSERT_EQ(engine.SetStreamCaps(PinCategory::Preview, 3, 0, 0, nullptr), com::S_OK);
  EXPECT_EQ(Resolution(engine), std::make_pair(1280, 720));
  EXPECT_EQ(engine.SaveGrabberBitmap(TempFile("none.bmp")), com::E_FAIL);
  EXPECT_FALSE(Paint(engine).pixel(200, 100) == qRgb(0, 0, 0)) << "the rebuilt preview paints";
}

// A camera whose sizes are a range: any size on the grid within it is taken.
TEST_F(Formats, SizeRangeEntryTakesSizesOnItsGrid) {
  UseCameras({Cam("Range", "smpte75", {"video/x-raw,format=BGR,width=[160,640,2],height=[120,480,2],framerate=30/1"})});
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  EXPECT_EQ(Resolution(engine), std::make_pair(320, 240)) << "the preview format lies in the range";
  Entry e;
  ASSERT_EQ(Get(engine, PinCategory::Capture, 0, e), com::S_OK);
  EXPECT_EQ(e.minX, 160);
  EXPECT_EQ(e.minY, 120);
  EXPECT_EQ(e.maxX, 640);
  EXPECT_EQ(e.maxY, 480);
  EXPECT_EQ(e.stepX, 2);
  EXPECT_EQ(e.stepY, 2);
  EXPECT_EQ(e.bih[1], 640) << "an entry's own header gives its largest size";
  ASSERT_EQ(engine.SetStreamCaps2(PinCategory::Capture, 0, Header(322, 242, 24, 0, 0)), com::S_OK);
  EXPECT_EQ(Resolution(engine), std::make_pair(322, 242));
  ASSERT_EQ(engine.SetStreamCaps2(PinCategory::Capture, 0, Header(323, 242, 24, 0, 0)), com::S_OK);
  EXPECT_EQ(Resolution(engine), std::make_pair(322, 242)) << "off the grid: refused";
  ASSERT_EQ(engine.SaveGrabberBitmap(TempFile("range.bmp")), com::S_OK);
  EXPECT_EQ(ReadFile(TempFile("range.bmp")).size(), 968u * 242 + 54);
}

TEST(ColourSpace, SubtypesMapToTheirCodes) {
  using namespace capture;
  EXPECT_EQ(SubtypeToColorSpace(guid::kRGB24), 21);
  EXPECT_EQ(SubtypeToColorSpace(guid::kYUY2), 3);
  EXPECT_EQ(SubtypeToColorSpace(FourccGuid("YVU9")), 0);
  EXPECT_EQ(SubtypeToColorSpace(guid::kMJPG), 10);
  EXPECT_EQ(SubtypeToColorSpace(FourccGuid("Plum")), 15);
  EXPECT_EQ(SubtypeToColorSpace(FourccGuid("PLUM")), 37) << "codes are case-sensitive";
  EXPECT_EQ(SubtypeToColorSpace(guid::kRGB1), 16);
  EXPECT_EQ(SubtypeToColorSpace(guid::kARGB32), 23);
  EXPECT_EQ(SubtypeToColorSpace(guid::kQuickTimeMovie), 25);
  EXPECT_EQ(SubtypeToColorSpace(FourccGuid("smc ")), 27);
  EXPECT_EQ(SubtypeToColorSpace(guid::kDvsd), 30);
  EXPECT_EQ(SubtypeToColorSpace(guid::kMPEG1Payload), 34);
  EXPECT_EQ(SubtypeToColorSpace(guid::kVPVBI), 36);
  EXPECT_EQ(SubtypeToColorSpace(FourccGuid("I420")), 37);
  EXPECT_EQ(SubtypeToColorSpace(Guid{}), 37);
  EXPECT_EQ(guid::kRGB24.ToString(), QStringLiteral("{E436EB7D-524F-11CE-9F53-0020AF0BA770}"));
  EXPECT_EQ(guid::kYUY2.ToString(), QStringLiteral("{32595559-0000-0010-8000-00AA00389B71}"));
}

// A webcam lists YUY2 first and its sizes largest first. The station's request (640 x 480, 32
// bits) does not fit the 16-bit entry it names; the size is taken in the format the camera has,
// at the fastest rate offered at that size, instead of the first entry at its largest.
TEST_F(Formats, RefusedRequestOnTheDefaultTakesItsSizeAtTheFastestRate) {
  UseCameras({Cam("Webcam", "smpte75", {"YUY2 1920x1080@5", "YUY2 1280x720@10", "YUY2 640x480@30"})});
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SetStreamCaps2(PinCategory::Capture, 0, Header(640, 480, 32, 0, 1228800)), com::S_OK);
  EXPECT_EQ(Resolution(engine), std::make_pair(640, 480));
  EXPECT_EQ(engine.GrabberFrameHeader().biWidth, 640);
  std::int64_t frameTime = 0;
  ASSERT_EQ(engine.GetRendererFrameTime(&frameTime), com::S_OK);
  EXPECT_EQ(frameTime, 333333);
  // Once a format was chosen, a request that does not fit is refused and changes nothing.
  ASSERT_EQ(engine.SetStreamCaps2(PinCategory::Capture, 1, Header(1920, 1080, 32, 0, 0)), com::S_OK);
  EXPECT_EQ(Resolution(engine), std::make_pair(640, 480));
  ASSERT_EQ(engine.SaveGrabberBitmap(TempFile("vga.bmp")), com::S_OK);
  EXPECT_EQ(ReadFile(TempFile("vga.bmp")).size(), 640u * 3 * 480 + 54);
}
