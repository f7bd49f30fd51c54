// Stills from played files: the playback graph with its grabber paused on the asked frame by a
// frame-exact seek, and the grabber's frame written as BMP or JPEG.
#include "engine/still_from_file.h"

#include <dlfcn.h>

#include <QFileInfo>

#include <cstring>

#include "engine/capture_engine.h"
#include "engine/sample_grabber.h"
#include "jpencode/jpencode.h"

using namespace capture;

namespace capture {

namespace {

// How long a still waits for its frame.
constexpr auto kFrameTimeout = std::chrono::seconds(5);

// The encoder library: first by the system's search for its name, then beside this code's own
// library or program (where the control is installed with it).
void* LoadJpegLibrary() {
  if (void* lib = dlopen(kJpegLibrary, RTLD_NOW | RTLD_LOCAL)) return lib;
  Dl_info self{};
  if (!dladdr(reinterpret_cast<void*>(&LoadJpegLibrary), &self) || !self.dli_fname) return nullptr;
  const std::string beside =
      QFileInfo(QString::fromLocal8Bit(self.dli_fname)).absolutePath().toStdString() + "/" + kJpegLibrary;
  return dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

std::vector<std::uint8_t> TopDownRows(const std::vector<std::uint8_t>& grabber, int width, int height, bool bottomUp) {
  const std::size_t row = std::size_t(width) * 3;
  const std::size_t stride = (row + 3) & ~std::size_t(3);
  if (width <= 0 || height <= 0 || grabber.size() < stride * std::size_t(height)) return {};
  std::vector<std::uint8_t> rows(row * std::size_t(height));
  for (int y = 0; y < height; ++y) {
    const std::size_t from = std::size_t(bottomUp ? height - 1 - y : y) * stride;
    std::memcpy(&rows[std::size_t(y) * row], &grabber[from], row);
  }
  return rows;
}

}  // namespace capture

HRESULT CCaptureEngine::PrepareStillFromFile() {
  MediaType connected;
  const HRESULT result = GetGrabberConnectedType(Grabber(), &connected);
  if (Failed(result)) return result;
  frameHeader_ = BitmapInfoHeader{};
  if (const VideoInfoHeader* vih = connected.Vih()) frameHeader_ = vih->bmiHeader;
  return SetGrabberBuffering(Grabber(), true);
}

HRESULT CCaptureEngine::StillCapStart(const std::string& fileName, IVideoWindow* window) {
  const HRESULT result = OpenNewPlayback(fileName, window, false, true);
  if (Failed(result)) return result;
  ListenToPlayback(window, false);
  return playback_->Pause();
}

HRESULT CCaptureEngine::SaveFrameAtIndex(const std::string& fileName, std::int32_t index) {
  if (!playback_ || !playback_->FrameFormat()) return com::E_FAIL;
  // The last frame may end after the time its successor would start at: the count decides.
  if (index < 0 || index >= playback_->Duration()) return com::E_INVALIDARG;
  return SaveFrame(fileName, playback_->ToTime(index));
}

HRESULT CCaptureEngine::SaveFrameAtTime(const std::string& fileName, std::int64_t time) {
  if (!playback_ || playback_->FrameFormat()) return com::E_FAIL;
  return SaveFrame(fileName, playback_->ToTime(time));
}

HRESULT CCaptureEngine::SaveFrame(const std::string& fileName, GstClockTime time) {
  if (!playback_->CanSeekAbsolute()) return com::E_FAIL;
  // Past the end there is no frame: the grabber would keep an older one.
  if (time >= playback_->DurationNs()) return com::E_INVALIDARG;
  // Paused first, so that only the seek's preroll can count as the frame.
  playback_->Pause();
  gst_element_get_state(graph_.Pipeline(), nullptr, nullptr, 5 * GST_SECOND);
  SampleGrabber* grabber = SampleGrabber::FromElement(Grabber());
  const std::uint64_t seen = grabber ? grabber->SamplesSeen() : 0;
  HRESULT result = playback_->Seek(time, GST_CLOCK_TIME_NONE);
  if (Failed(result)) return result;
  stillWait_ = true;
  frameReady_ = false;
  result = waits_.Pump([this] { return frameReady_ || !playback_; }, kFrameTimeout) && playback_ ? com::S_OK
                                                                                                  : com::E_FAIL;
  stillWait_ = false;
  if (!playback_) return com::E_FAIL;  // the graph went while the host's events ran
  // A graph that settled without a new frame reached the end of what the file holds (its header
  // claims more): the grabber's older frame is not the one asked for.
  if (Succeeded(result) && grabber && grabber->SamplesSeen() == seen) return com::E_INVALIDARG;

  // The picture is written even after a time-out (the frame the grabber holds), and a host may
  // give a name of another kind only to place the graph at the frame.
  const QString suffix = QFileInfo(QString::fromLocal8Bit(fileName.c_str())).suffix().toLower();
  HRESULT written = com::S_OK;
  if (suffix == QLatin1String("jpg")) written = SaveGrabberJpeg(fileName);
  else if (suffix == QLatin1String("bmp")) written = SaveGrabberBitmap(fileName);
  return Failed(written) ? written : result;
}

HRESULT CCaptureEngine::SaveGrabberJpeg(const std::string& fileName) {
  void* lib = LoadJpegLibrary();
  if (!lib) return com::E_FAIL;
  auto compress = reinterpret_cast<JP_CompressFn>(dlsym(lib, kJpegEntry));
  if (!compress) {
    dlclose(lib);
    return com::E_FAIL;
  }
  const int width = frameHeader_.biWidth;
  const int height = std::abs(frameHeader_.biHeight);
  std::int32_t size = 0;
  HRESULT result = GetGrabberBuffer(Grabber(), &size, nullptr);
  std::vector<std::uint8_t> frame(Succeeded(result) ? std::size_t(size) : 0);
  if (Succeeded(result)) result = GetGrabberBuffer(Grabber(), &size, frame.data());
  std::vector<std::uint8_t> rows;
  if (Succeeded(result)) rows = TopDownRows(frame, width, height, frameHeader_.biHeight > 0);
  const std::uint64_t bound = jpencode::JpegBound(width, height);
  if (Succeeded(result) && (rows.empty() || bound > std::uint64_t(INT32_MAX))) result = com::VFW_E_WRONG_STATE;
  std::vector<std::uint8_t> jpeg;
  if (Succeeded(result)) {
    jpeg.resize(std::size_t(bound));
    std::int32_t length = std::int32_t(bound);
    const std::int32_t rc =
        compress(rows.data(), jpeg.data(), &length, width, height, width * 3, 0, 0, width, height, kJpegQuality);
    if (rc != 0 || length <= 0 || std::uint64_t(length) > bound) result = com::E_FAIL;
    else jpeg.resize(std::size_t(length));
  }
  dlclose(lib);  // never held between pictures
  return Failed(result) ? result : WriteWholeFile(fileName, jpeg);
}
