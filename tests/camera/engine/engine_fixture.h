#pragma once
// What the capture engine tests share: virtual cameras registered in the test process (real
// cameras hidden), a window that records what the engine asks of it, reference frames made
// straight from videotestsrc, and small file helpers.
#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <QTemporaryDir>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/capture_engine.h"
#include "virtcam.h"

namespace cameratest {

class TestWindow final : public capture::IVideoWindow {
 public:
  explicit TestWindow(QRect rect = QRect(0, 0, 400, 400)) : rect_(rect) {}
  QRect VideoWindowRect() const override { return rect_; }
  void RequestRepaint() override { ++repaints; }
  void PostGraphNotify(std::intptr_t data) override {
    lastData = data;
    ++notifies;
  }
  void SetRect(QRect rect) { rect_ = rect; }

  std::atomic<int> repaints{0};
  std::atomic<int> notifies{0};
  std::atomic<std::intptr_t> lastData{-1};

 private:
  QRect rect_;
};

// A camera of the given modes ("FORMAT WxH@FPS").
virtcam::Camera Cam(const std::string& name, const std::string& pattern, std::vector<std::string> modes = {});

class CameraTest : public ::testing::Test {
 protected:
  // Two cameras with the default modes: "Virtual Camera A" (SMPTE bars), "Virtual Camera B" (ball).
  void SetUp() override;
  static void UseCameras(const std::vector<virtcam::Camera>& cameras);

  std::string TempFile(const std::string& name) const;
  // Paints the engine's picture into a black image of the given size.
  static QImage Paint(CCaptureEngine& engine, QSize size = QSize(400, 400));

  QTemporaryDir dir_;
  TestWindow window_;
};

// A BMP file's bytes; empty when it does not exist.
std::vector<std::uint8_t> ReadFile(const std::string& path);
bool FileExists(const std::string& path);
std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at);
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at);

// One frame of videotestsrc `pattern` in `format` at w x h, converted to BGR and laid out as a
// bottom-up bitmap with rows padded to 4 bytes (padding zero).
std::vector<std::uint8_t> ReferenceBitmapRows(const std::string& pattern, const std::string& format, int w, int h);

// Resident memory of this process in kB.
// A recorded file played back as fast as it decodes: its video frames, duration, whether it has
// sound, and its container's caps name.
struct Decoded {
  bool ok = false;
  int frames = 0;
  double seconds = 0;
  bool audio = false;
  std::string container;
};
Decoded Decode(const std::string& path);
// The entries of an AVI file's index ("idx1"); -1 when the file has none.
int AviIndexEntries(const std::string& path);
// For each video frame of an AVI file's index, whether it is marked as a key frame.
std::vector<bool> AviKeyFrames(const std::string& path);

long ResidentKb();

}  // namespace cameratest
