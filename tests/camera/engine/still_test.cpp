// The still picture of the live stream: the exact bitmap file, its rows and its failures.
#include <sys/stat.h>

#include <fstream>

#include "engine/hresult.h"
#include "engine_fixture.h"

using namespace cameratest;

class Still : public CameraTest {
 protected:
  // Checks the 54-byte header of a 24-bit bottom-up bitmap of w x h.
  static void ExpectHeader(const std::vector<std::uint8_t>& f, int w, int h) {
    const std::uint32_t row = (std::uint32_t(w) * 3 + 3) & ~3u;
    const std::uint32_t image = row * std::uint32_t(h);
    ASSERT_EQ(f.size(), image + 54);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(Le32(f, 2), image + 54);
    EXPECT_EQ(Le32(f, 6), 0u);  // both reserved words
    EXPECT_EQ(Le32(f, 10), 54u);
    EXPECT_EQ(Le32(f, 14), 40u);
    EXPECT_EQ(Le32(f, 18), std::uint32_t(w));
    EXPECT_EQ(Le32(f, 22), std::uint32_t(h));
    EXPECT_EQ(Le16(f, 26), 1);
    EXPECT_EQ(Le16(f, 28), 24);
    EXPECT_EQ(Le32(f, 30), 0u);
    EXPECT_EQ(Le32(f, 34), image);
    for (std::size_t at = 38; at < 54; at += 4) EXPECT_EQ(Le32(f, at), 0u) << "offset " << at;
  }
  static std::vector<std::uint8_t> Rows(const std::vector<std::uint8_t>& f) { return {f.begin() + 54, f.end()}; }
};

TEST_F(Still, QvgaStillIsTheExactBitmapOfTheCameraPicture) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  const std::string file = TempFile("still.bmp");
  ASSERT_EQ(engine.SaveGrabberBitmap(file), com::S_OK);
  const auto f = ReadFile(file);
  ASSERT_EQ(f.size(), 230454u);
  ExpectHeader(f, 320, 240);
  EXPECT_EQ(Le32(f, 34), 230400u);
  // Byte for byte the camera's SMPTE bars, bottom row first (the bars' bottom strip differs).
  EXPECT_TRUE(Rows(f) == ReferenceBitmapRows("smpte75", "BGR", 320, 240)) << "pixels differ from the source pattern";
}

TEST_F(Still, WidthNotDividingByFourPadsEveryRow) {
  UseCameras({Cam("Odd", "smpte75", {"BGR 322x240@30"})});
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  const std::string file = TempFile("odd.bmp");
  ASSERT_EQ(engine.SaveGrabberBitmap(file), com::S_OK);
  const auto f = ReadFile(file);
  ASSERT_EQ(f.size(), 968u * 240u + 54u);
  ExpectHeader(f, 322, 240);
  const auto rows = Rows(f);
  for (std::size_t y = 0; y < 240; ++y)  // two padding bytes after 966 bytes of pixels
    ASSERT_TRUE(rows[y * 968 + 966] == 0 && rows[y * 968 + 967] == 0) << "row " << y;
  EXPECT_TRUE(rows == ReferenceBitmapRows("smpte75", "BGR", 322, 240));
}

TEST_F(Still, CameraWithoutTheQvgaFormatKeepsItsOwnAndTheStillIsConverted) {
  UseCameras({Cam("Webcam", "smpte75", {"YUY2 640x480@30", "YUY2 1280x720@30"})});
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  const std::string file = TempFile("yuy2.bmp");
  ASSERT_EQ(engine.SaveGrabberBitmap(file), com::S_OK);
  const auto f = ReadFile(file);
  ExpectHeader(f, 640, 480);
  EXPECT_TRUE(Rows(f) == ReferenceBitmapRows("smpte75", "YUY2", 640, 480));
}

TEST_F(Still, ExistingFileIsReplacedByTheNewPicture) {
  const std::string file = TempFile("same.bmp");
  {
    std::ofstream old(file, std::ios::binary);
    old << std::string(500000, 'x');  // longer than the picture
  }
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  ASSERT_EQ(engine.SaveGrabberBitmap(file), com::S_OK);
  ASSERT_EQ(engine.SaveGrabberBitmap(file), com::S_OK);
  EXPECT_EQ(ReadFile(file).size(), 230454u);
}

TEST_F(Still, NoGrabberNoFile) {
  CCaptureEngine engine;
  const std::string file = TempFile("none.bmp");
  EXPECT_EQ(engine.SaveGrabberBitmap(file), com::E_FAIL);  // before any preview
  ASSERT_EQ(engine.PreviewOn(&window_), com::S_OK);
  EXPECT_EQ(engine.SaveGrabberBitmap(file), com::E_FAIL);  // the preview without grabber
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  engine.TearDownGraph();
  EXPECT_EQ(engine.SaveGrabberBitmap(file), com::E_FAIL);  // after the preview went off
  EXPECT_FALSE(FileExists(file));
}

// A picture that cannot be written is a failure, and no broken file is left behind.
TEST_F(Still, UnwritableTargetsAreReportedAsFailures) {
  CCaptureEngine engine;
  ASSERT_EQ(engine.PreviewOnWithGrabber(&window_), com::S_OK);
  const std::string missing = TempFile("no-such-folder/photo.bmp");
  EXPECT_EQ(engine.SaveGrabberBitmap(missing), com::E_PATH_NOT_FOUND);
  EXPECT_FALSE(FileExists(missing));
  EXPECT_TRUE(capture::Failed(engine.SaveGrabberBitmap(dir_.path().toStdString())));  // a folder
  EXPECT_TRUE(capture::Failed(engine.SaveGrabberBitmap("")));
  struct stat st {};
  if (::stat("/dev/full", &st) == 0) {  // every write there finds the disk full
    EXPECT_EQ(engine.SaveGrabberBitmap("/dev/full"), com::E_DISK_FULL);
    EXPECT_EQ(::stat("/dev/full", &st), 0) << "the device must stay";
  }
  ASSERT_EQ(engine.SaveGrabberBitmap(TempFile("fine.bmp")), com::S_OK);  // and the grabber still works
}
