// The recording branch of the capture engine, the compression and recording settings and the
// audio input.
#include "engine/capture_engine.h"

#include <cstdlib>
#include <optional>

#include "engine/devices.h"
#include "engine/dv_decoder.h"
#include "engine/video_renderer.h"

using namespace capture;

namespace {

// How long a branch may take to write its header and index once its stream ended (a test may
// shorten it to meet an end that does not come in time).
constexpr int kFinishTimeoutMs = 5000;

std::chrono::milliseconds FinishLimit() {
  const char* hook = std::getenv("ORNIK_FINISH_LIMIT_MS");
  return std::chrono::milliseconds(hook && *hook ? std::atoi(hook) : kFinishTimeoutMs);
}

}  // namespace

// ---- recording --------------------------------------------------------------------------------

HRESULT CCaptureEngine::SetCaptureFile(const std::string& fileName, bool withAudio) {
  if (!live_ || !graph_.Running() || !live_->Tee()) return com::E_FAIL;
  if (IsRecording()) return com::VFW_E_WRONG_STATE;
  compressorSettings_.clear();  // a new file's compressor starts from its defaults
  refusal_ = com::S_OK;
  return BuildRecording(fileName, withAudio);
}

HRESULT CCaptureEngine::BuildRecording(const std::string& fileName, bool withAudio) {
  if (IsRecording()) return com::VFW_E_WRONG_STATE;
  // A branch set up before gets its file finalised; a failure that only now arose (the index
  // did not fit on the disk) is this call's.
  const HRESULT finished = FinishRecording();
  if (Failed(finished)) return finished;
  if (fileName.empty()) return com::E_INVALIDARG;
  RecordingSetup setup;
  setup.file = fileName;
  // Only a chosen compressor makes the list be looked at. The format may have changed since it
  // was chosen: an encoder not listed at the format of this moment (its check saw it fail here,
  // or end its process) is refused before anything is written.
  std::optional<CompressorList> compressors;
  if (IsAviFileName(fileName) && !compressorName_.empty()) {
    compressors.emplace(LiveFormat().get());
    setup.compressor = compressors->At(compressors->IndexOf(compressorName_.c_str()));
    if (!setup.compressor) return refusal_ = com::VFW_E_TYPE_NOT_ACCEPTED;
  }
  DeviceList microphones("Audio/Source");
  // A DV camcorder's sound comes with its picture; other cameras take the first audio input.
  ElementPtr dvDecoder = withAudio ? FindDvDecoder(graph_.Pipeline()) : nullptr;
  PadPtr dvSound = dvDecoder ? Adopt(gst_element_get_static_pad(dvDecoder.get(), "audio")) : nullptr;
  if (withAudio && dvSound) {
    setup.audioPad = dvSound.get();
  } else if (withAudio) {
    setup.audioDevice = microphones.At(0);
    if (!setup.audioDevice) return com::E_FAIL;  // no audio input device at all
  }
  setup.audioFormat = audioFormat_;
  setup.compressorSettings = compressorSettings_;
  recording_ = std::make_unique<RecordingGraph>(graph_, live_->Tee());
  HRESULT result = recording_->Build(setup);
  if (Failed(result)) {
    recording_->Finish(std::chrono::milliseconds(0));
    recording_.reset();
    return result;
  }
  RecordingGraph* branch = recording_.get();
  graph_.SetQosListener([branch](GstMessage* m) { branch->OnQos(m); });
  graph_.SetBranchErrorListener([branch](GstMessage* m) { return branch->OnError(m); });
  failureReported_ = false;
  captureFile_ = fileName;
  captureWithAudio_ = withAudio;
  return com::S_OK;
}

HRESULT CCaptureEngine::ApplyCompressorSetting(std::int32_t capability, double value) {
  CompressorSettings settings(nullptr);
  HRESULT result = WithCompressor(&settings);
  if (Failed(result)) return result;
  if (!(settings.Caps() & capability)) return com::E_FAIL;
  if (settings.TakesNow(capability)) {
    result = settings.Apply(capability, value);
    if (Succeeded(result)) compressorSettings_[capability] = value;
    return result;
  }
  // The encoder took its settings when it started: a new branch's encoder gets this one before
  // it starts, as long as nothing went into the file. A value it refuses changes nothing.
  if (recording_->EverStarted()) return com::VFW_E_WRONG_STATE;
  GstElementFactory* factory = gst_element_get_factory(CompressorElement());
  ElementPtr fresh = Sink(gst_element_factory_create(factory, nullptr));
  if (!fresh) return com::REGDB_E_CLASSNOTREG;
  result = CompressorSettings(fresh.get()).Apply(capability, value);
  if (Failed(result)) return result;
  compressorSettings_[capability] = value;
  const std::string file = captureFile_;
  return BuildRecording(file, captureWithAudio_);
}

HRESULT CCaptureEngine::FinishRecording() {
  if (!recording_) return com::S_OK;
  graph_.SetQosListener(nullptr);
  HRESULT result = recording_->Finish(FinishLimit());
  // A failure while writing that no call has answered with yet is answered now.
  if (Succeeded(result) && Failed(recording_->Failure()) && !failureReported_) result = recording_->Failure();
  graph_.SetBranchErrorListener(nullptr);
  recording_.reset();
  captureFile_.clear();
  if (graph_.State() == GraphState::Recording) graph_.SetState(GraphState::LiveWithGrabber);
  return result == com::VFW_E_TIMEOUT ? com::S_OK : result;
}

HRESULT CCaptureEngine::RecordingFailure() {
  const HRESULT failure = recording_ ? recording_->Failure() : com::S_OK;
  if (Failed(failure)) failureReported_ = true;
  return failure;
}

HRESULT CCaptureEngine::RecStart() {
  if (captureFile_.empty() || !recording_) return Failed(refusal_) ? refusal_ : com::E_FAIL;
  if (const HRESULT failure = RecordingFailure(); Failed(failure)) return failure;  // the file takes no more
  const HRESULT result = recording_->Start();
  if (Succeeded(result)) {
    recordingFrom_ = graph_.State();
    graph_.SetState(GraphState::Recording);
  }
  return result;
}

HRESULT CCaptureEngine::RecStop() {
  if (captureFile_.empty() || !recording_) return com::E_FAIL;
  const HRESULT result = recording_->Stop();
  if (graph_.State() == GraphState::Recording) graph_.SetState(recordingFrom_);
  const HRESULT failure = RecordingFailure();  // writing stopped on the way (a full disk)
  return Failed(failure) ? failure : result;
}

// ---- compression and recording settings -------------------------------------------------------

HRESULT CCaptureEngine::WithCompressor(CompressorSettings* settings) const {
  GstElement* compressor = CompressorElement();
  if (!compressor) return com::E_FAIL;
  *settings = CompressorSettings(compressor);
  return com::S_OK;
}

HRESULT CCaptureEngine::GetCompressorCaps(std::int32_t* caps) {
  CompressorSettings settings(nullptr);
  const HRESULT result = WithCompressor(&settings);
  *caps = Succeeded(result) ? settings.Caps() : 0;
  return result;
}

HRESULT CCaptureEngine::GetCompressorQuality(double* quality) {
  *quality = -1.0;
  CompressorSettings settings(nullptr);
  const HRESULT result = WithCompressor(&settings);
  if (Failed(result)) return result;
  if (!(settings.Caps() & kCompCanQuality)) return com::S_OK;
  return settings.GetQuality(quality);
}

HRESULT CCaptureEngine::SetCompressorQuality(double quality) { return ApplyCompressorSetting(kCompCanQuality, quality); }

HRESULT CCaptureEngine::GetKeyFrameRate(std::int32_t* rate) {
  *rate = -1;
  CompressorSettings settings(nullptr);
  const HRESULT result = WithCompressor(&settings);
  if (Failed(result)) return result;
  if (!(settings.Caps() & kCompCanKeyFrame)) return com::S_OK;
  return settings.GetKeyFrameRate(rate);
}

HRESULT CCaptureEngine::SetKeyFrameRate(std::int32_t rate) { return ApplyCompressorSetting(kCompCanKeyFrame, rate); }

HRESULT CCaptureEngine::GetPFramesPerKeyFrame(std::int32_t* frames) {
  *frames = -1;
  CompressorSettings settings(nullptr);
  const HRESULT result = WithCompressor(&settings);
  if (Failed(result)) return result;
  if (!(settings.Caps() & kCompCanBFrame)) return com::S_OK;
  return settings.GetPFramesPerKeyFrame(frames);
}

HRESULT CCaptureEngine::SetPFramesPerKeyFrame(std::int32_t frames) {
  return ApplyCompressorSetting(kCompCanBFrame, frames);
}

HRESULT CCaptureEngine::SetCrunch(std::int32_t bitRate, std::int32_t sizeImage) {
  CompressorSettings settings(nullptr);
  HRESULT result = WithCompressor(&settings);
  if (Failed(result) || !graph_.Running()) return com::E_FAIL;
  if (!(settings.Caps() & kCompCanCrunch)) return com::E_FAIL;  // before anything would stop
  if (IsRecording()) return com::VFW_E_WRONG_STATE;
  result = ApplyCompressorSetting(kCompCanCrunch, bitRate);
  if (Succeeded(result)) crunchSizeImage_ = sizeImage;
  return result;
}

HRESULT CCaptureEngine::GetCrunch(std::int32_t* bitRate, std::int32_t* sizeImage) {
  CompressorSettings settings(nullptr);
  HRESULT result = WithCompressor(&settings);
  if (Failed(result) || !graph_.Running()) return com::E_FAIL;
  if (!(settings.Caps() & kCompCanCrunch)) return com::E_FAIL;  // before anything would stop
  if (IsRecording()) return com::VFW_E_WRONG_STATE;
  result = settings.GetBitRate(bitRate);
  if (Succeeded(result)) *sizeImage = crunchSizeImage_;
  return result;
}

HRESULT CCaptureEngine::GetDropped(std::int32_t* dropped) {
  if (!recording_) return com::E_FAIL;
  *dropped = recording_->Dropped();
  return com::S_OK;
}

HRESULT CCaptureEngine::GetNotDropped(std::int32_t* notDropped) {
  if (!recording_) return com::E_FAIL;
  *notDropped = recording_->NotDropped();
  return com::S_OK;
}

HRESULT CCaptureEngine::SetCaptureFrameRate(double frameRate) {
  StreamConfig* config = FindStreamConfig(PinCategory::Capture);
  if (!config || !graph_.Running()) return com::E_FAIL;
  if (!(frameRate > 0.0)) return com::E_INVALIDARG;  // no frame time for a rate of 0
  if (IsRecording()) return com::VFW_E_WRONG_STATE;
  MediaType mt;
  HRESULT result = config->GetFormat(&mt);
  if (Failed(result)) return result;
  VideoInfoHeader* vih = mt.Vih();
  if (!vih || !(mt.formattype == guid::kFormatVideoInfo)) return com::S_OK;  // left as it is
  vih->AvgTimePerFrame = static_cast<std::int64_t>(10000000.0 / frameRate);
  result = config->SetFormat(mt);
  return Failed(result) ? result : live_->Renegotiate();
}

HRESULT CCaptureEngine::GetRendererFrameTime(std::int64_t* frameTime) {
  // A played file's own frame time: the rate it is positioned in, not the renderer's caps.
  if (playback_) {
    if (playback_->FrameTime() <= 0) return com::E_FAIL;
    *frameTime = playback_->FrameTime();
    return com::S_OK;
  }
  GstElement* renderer = live_ ? live_->RendererElement() : nullptr;
  if (!renderer) return com::E_FAIL;
  PadPtr pad = Adopt(gst_element_get_static_pad(renderer, "sink"));
  CapsPtr caps(pad ? gst_pad_get_current_caps(pad.get()) : nullptr);
  const GstStructure* s = caps && gst_caps_get_size(caps.get()) ? gst_caps_get_structure(caps.get(), 0) : nullptr;
  gint n = 0, d = 0;
  if (!s || !gst_structure_get_fraction(s, "framerate", &n, &d) || n <= 0) return com::E_FAIL;
  *frameTime = std::int64_t(gst_util_uint64_scale(10000000, guint64(d), guint64(n)));
  return com::S_OK;
}

// ---- audio input ------------------------------------------------------------------------------

std::int32_t CCaptureEngine::GetAudioLineCount() const {
  return AudioSourceElement() ? std::int32_t(recording_->AudioLines().size()) : 0;
}

QString CCaptureEngine::GetAudioLineName(int line) const {
  if (!AudioSourceElement() || line < 0 || line >= GetAudioLineCount()) return {};
  return recording_->AudioLines()[std::size_t(line)];
}

HRESULT CCaptureEngine::SetAudioLine(int line) {
  return AudioSourceElement() ? recording_->EnableLine(line) : com::E_FAIL;
}

HRESULT CCaptureEngine::GetAudioFormat(short* channels, short* bytesPerSample, std::int32_t* samplesPerSec) {
  if (!AudioSourceElement()) return com::E_FAIL;
  const AudioFormat& f = recording_->Format();
  *channels = short(f.channels);
  *bytesPerSample = short(f.bytesPerSample);
  *samplesPerSec = f.samplesPerSec;
  return com::S_OK;
}

HRESULT CCaptureEngine::SetAudioFormat(short channels, short bytesPerSample, std::int32_t samplesPerSec) {
  if (!graph_.Running() || !AudioSourceElement()) return com::E_FAIL;
  if ((channels != 1 && channels != 2) || (bytesPerSample != 1 && bytesPerSample != 2) ||
      (samplesPerSec != 11025 && samplesPerSec != 22050 && samplesPerSec != 44100))
    return com::E_FAIL;
  if (IsRecording()) return com::VFW_E_WRONG_STATE;
  AudioFormat format{channels, bytesPerSample, samplesPerSec};
  const HRESULT result = recording_->SetAudioFormat(format);
  if (Succeeded(result)) audioFormat_ = format;
  return result;
}
