// Playback of recorded files in the capture engine: building and opening the playback graph,
// playing at a rate, part play, seeks in frames or 100-ns units, and the engine's reactions to
// the end of the stream and to a pause that has its frame.
#include "engine/capture_engine.h"

using namespace capture;

namespace {

void SplitTime(std::int64_t t, std::int32_t* high, std::int32_t* low) {
  *high = std::int32_t(std::uint64_t(t) >> 32);
  *low = std::int32_t(std::uint32_t(std::uint64_t(t)));
}

}  // namespace

HRESULT CCaptureEngine::BuildPlaybackGraph(IVideoWindow* window, bool eventsToHost, bool withGrabber) {
  if (!window) return com::E_FAIL;
  // One graph at a time: the host ends a preview or a playback first.
  HRESULT result = graph_.Create("Playback Graph");
  if (Failed(result)) return result;  // the graph that runs stays
  videoWindow_ = window;
  playback_ = std::make_unique<PlaybackGraph>(graph_, window);
  graph_.SetState(GraphState::Playing);
  result = playback_->Build(withGrabber, grabberSubtype_);
  if (Succeeded(result) && withGrabber && eventsToHost)
    result = SetGrabberCallback(playback_->Grabber(), grabberCallback_, grabberCallback_.Control());
  return result;
}

HRESULT CCaptureEngine::OpenPlaybackFile(const std::string& fileName) {
  duration_ = 0;
  if (!playback_) return com::E_FAIL;
  const HRESULT result = playback_->Open(fileName);
  if (Failed(result)) return result;
  duration_ = playback_->Duration();
  durationInFrames_ = playback_->FrameFormat();
  // The rate the host chose last stays the graph's.
  playback_->SetRate(playRate_);
  return com::S_OK;
}

// Graph events reach the window from here on; what the opening itself caused is not news.
void CCaptureEngine::ListenToPlayback(IVideoWindow* window, bool eventsToHost) {
  long code = 0;
  std::intptr_t p1 = 0, p2 = 0;
  while (graph_.GetEvent(&code, &p1, &p2, 0) == com::S_OK) {
  }
  graph_.SetNotify(window, eventsToHost ? 1 : 0);
}

// Only a graph that opened its file counts as built: after a failure the host's next call finds
// no graph instead of one that plays nothing.
HRESULT CCaptureEngine::OpenNewPlayback(const std::string& fileName, IVideoWindow* window, bool eventsToHost,
                                        bool withGrabber) {
  if (graph_.Exists()) return com::VFW_E_WRONG_STATE;
  HRESULT result = BuildPlaybackGraph(window, eventsToHost, withGrabber);
  if (Succeeded(result)) result = OpenPlaybackFile(fileName);
  if (Succeeded(result) && withGrabber) result = PrepareStillFromFile();
  if (Failed(result)) TearDownGraph();
  return result;
}

HRESULT CCaptureEngine::PlayStart(const std::string& fileName, IVideoWindow* window, std::int32_t* frames) {
  const HRESULT result = OpenNewPlayback(fileName, window, true, false);
  if (Failed(result)) return result;
  if (frames) *frames = durationInFrames_ ? std::int32_t(duration_) : -1;
  ListenToPlayback(window, true);
  return playback_->Run();
}

HRESULT CCaptureEngine::PlayStart3Ready(const std::string& fileName, IVideoWindow* window, std::int32_t* frames,
                                        std::int32_t* width, std::int32_t* height) {
  const HRESULT result = OpenNewPlayback(fileName, window, true, true);
  if (Failed(result)) return result;
  if (frames) *frames = durationInFrames_ ? std::int32_t(duration_) : -1;
  if (width) *width = frameHeader_.biWidth;
  if (height) *height = frameHeader_.biHeight;
  ListenToPlayback(window, true);
  return com::S_OK;  // the graph stays paused on the first frame
}

std::int32_t CCaptureEngine::GetFrameNum() const {
  if (!playback_) return std::int32_t(duration_);
  return durationInFrames_ ? std::int32_t(duration_) : -1;
}

HRESULT CCaptureEngine::GetMediaTime(std::int32_t* timeH, std::int32_t* timeL) const {
  if (!playback_) return com::E_FAIL;
  if (playback_->FrameFormat()) {
    *timeH = *timeL = -1;
    return com::E_FAIL;
  }
  SplitTime(duration_, timeH, timeL);
  return com::S_OK;
}

HRESULT CCaptureEngine::RunAtRate(double rate) {
  if (!playback_) return com::E_FAIL;
  if (rate != playRate_) {
    playback_->SetRate(rate);
    playRate_ = rate;
  }
  GstClockTime now = 0;
  playback_->PositionNs(&now);
  const HRESULT result = playback_->Seek(now, GST_CLOCK_TIME_NONE);  // on to the end
  if (Failed(result)) return result;
  return playback_->Run();
}

HRESULT CCaptureEngine::DoPause() {
  partPlay_ = false;
  if (!playback_) return com::E_FAIL;
  return playback_->Pause();
}

void CCaptureEngine::DoStop() {
  partPlay_ = false;
  if (!playback_) return;
  playback_->Pause();
  playback_->Seek(0, std::nullopt);  // the first frame stays visible
}

void CCaptureEngine::SetPosition(std::int32_t frame) {
  if (!playback_ || !playback_->FrameFormat()) return;
  playback_->Pause();
  playback_->Seek(playback_->ToTime(frame), std::nullopt);
}

std::int32_t CCaptureEngine::GetPosition() const {
  if (!playback_) return 0;
  if (!playback_->FrameFormat()) return -1;
  GstClockTime now = 0;
  playback_->PositionNs(&now);
  return std::int32_t(playback_->FromTime(now));
}

void CCaptureEngine::SetTime(std::int64_t time) {
  if (!playback_ || playback_->FrameFormat()) return;
  playback_->Pause();
  playback_->Seek(playback_->ToTime(time), std::nullopt);
}

HRESULT CCaptureEngine::GetTime(std::int32_t* timeH, std::int32_t* timeL) const {
  if (!playback_) return com::E_FAIL;
  if (playback_->FrameFormat()) {
    *timeH = *timeL = -1;
    return com::E_FAIL;
  }
  GstClockTime now = 0;
  const bool known = playback_->PositionNs(&now);
  SplitTime(playback_->FromTime(now), timeH, timeL);
  return known ? com::S_OK : com::E_FAIL;
}

HRESULT CCaptureEngine::PlayPart(std::int64_t start, std::int64_t stop, bool inFrames) {
  if (!playback_ || playback_->FrameFormat() != inFrames) return com::E_FAIL;
  if (start < 0 || start > stop || stop >= duration_) return com::E_FAIL;
  if (playRate_ != 1.0) {
    playRate_ = 1.0;
    playback_->SetRate(1.0);
  }
  // A frame's part ends where its next frame starts; a time's part ends at that time, and rests
  // on the frame just before it.
  const GstClockTime from = playback_->ToTime(start);
  const GstClockTime to = playback_->ToTime(inFrames ? stop + 1 : stop);
  partPlay_ = true;
  partLast_ = inFrames ? playback_->ToTime(stop) : std::max(from, to > 0 ? to - 1 : 0);
  const HRESULT result = playback_->Seek(from, to);
  if (Failed(result)) return result;
  return playback_->Run();
}

std::int32_t CCaptureEngine::IsAbsoluteSeek() const { return playback_ && playback_->CanSeekAbsolute() ? 1 : 0; }

void CCaptureEngine::OnPlaybackComplete() {
  if (liveMode_) return;
  stillWait_ = false;  // a still waiting for its frame runs into its time-out
  if (!playback_) return;
  // After a whole file the first frame shows, after a part its last frame.
  const GstClockTime target = partPlay_ ? partLast_ : 0;
  partPlay_ = false;
  playback_->Pause();
  playback_->Seek(target, std::nullopt);
}

void CCaptureEngine::SignalFrameReady() {
  if (liveMode_ || !stillWait_ || !playback_) return;
  // An older pause's news may come after the seek began: only a graph that has settled has the
  // frame asked for.
  if (gst_element_get_state(graph_.Pipeline(), nullptr, nullptr, 0) != GST_STATE_CHANGE_SUCCESS) return;
  stillWait_ = false;
  frameReady_ = true;
  waits_.Wake();
}
