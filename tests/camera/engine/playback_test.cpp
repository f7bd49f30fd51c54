// A still from a played file whose frame never arrives: the host's window does not pass the
// graph's events on, so the wait runs into its time-out. The call fails, and the frame the
// grabber holds is still written, as hosts of the control expect.
#include <QImage>

#include <chrono>

#include "engine_fixture.h"
#include "numbered_media.h"

using namespace cameratest;

TEST_F(CameraTest, AStillWhoseFrameNeverArrivesTimesOutAndStillWritesTheGrabbersFrame) {
  const std::string file = TempFile("numbered.avi");
  testmedia::Spec spec;
  spec.frames = 20;
  ASSERT_TRUE(testmedia::WriteNumbered(file, spec));
  CCaptureEngine engine;
  ASSERT_EQ(engine.StillCapStart(file, &window_), com::S_OK);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(engine.SaveFrameAtIndex(TempFile("late.bmp"), 9), com::E_FAIL);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4900));
  EXPECT_GT(window_.notifies.load(), 0);  // the events were there, the window kept them
  const int written = testmedia::ReadNumber(QImage(QString::fromStdString(TempFile("late.bmp"))));
  EXPECT_TRUE(written == 0 || written == 9) << written;
  // A frame format file refuses times, and the time member refuses frames.
  EXPECT_EQ(engine.SaveFrameAtTime(TempFile("t.bmp"), 1000000), com::E_FAIL);
  EXPECT_FALSE(FileExists(TempFile("t.bmp")));
  engine.TearDownGraph();
  EXPECT_EQ(engine.SaveFrameAtIndex(TempFile("none.bmp"), 1), com::E_FAIL);
}
