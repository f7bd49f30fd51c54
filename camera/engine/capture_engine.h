#pragma once
// The capture engine of one control: everything the control does with GStreamer. It keeps the
// host's selections across graphs and owns one graph at a time through its graph owner (bus,
// events, teardown): the live graph (live_graph.h) and the objects of the other graph kinds build
// into it. One teardown path frees them in reverse order. Host thread only, except where a
// comment says otherwise.
#include <gst/gst.h>

#include <QFont>
#include <QPainter>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "engine/compressor.h"
#include "engine/device_settings.h"
#include "engine/devices.h"
#include "engine/graph_owner.h"
#include "engine/host_wait.h"
#include "engine/hresult.h"
#include "engine/live_graph.h"
#include "engine/recording_graph.h"
#include "engine/log_font.h"
#include "engine/media_type.h"
#include "engine/playback_graph.h"
#include "engine/property_pages.h"
#include "engine/sample_grabber.h"
#include "engine/stream_config.h"
#include "engine/video_renderer.h"
#include "engine/video_window.h"

namespace capture {

enum class PinCategory { Capture, Preview };

}  // namespace capture

// The engine class is named like the control's other classes and lives beside them; its helper
// types stay in namespace capture.
class CCaptureEngine {
 public:
  using HRESULT = capture::HRESULT;
  using PinCategory = capture::PinCategory;
  using LogFontA = capture::LogFontA;
  using BitmapInfoHeader = capture::BitmapInfoHeader;
  using AlphaBitmap = capture::AlphaBitmap;
  using Guid = capture::Guid;
  using IVideoWindow = capture::IVideoWindow;
  using IOrnikEventSink = capture::IOrnikEventSink;

  CCaptureEngine();
  ~CCaptureEngine();
  CCaptureEngine(const CCaptureEngine&) = delete;
  CCaptureEngine& operator=(const CCaptureEngine&) = delete;

  // The control whose SGCallBack the grabber callback fires (not owned).
  void SetOwnerCtrl(IOrnikEventSink* control);

  // --- devices and compressors -------------------------------------------------------------
  std::int32_t GetVideoDeviceCount() const;
  QString GetVideoDeviceName(int index) const;  // empty when out of range
  void SetVideoDeviceIndex(int index) { videoDeviceIndex_ = index; }
  int VideoDeviceIndex() const { return videoDeviceIndex_; }
  std::int32_t GetCompressorCount() const;
  QString GetCompressorName(int index) const;
  // Stores the position and takes note of the encoder at that position in the list at the live
  // format: a recording uses that encoder, or none when the position lists none.
  void SetCompressorIndex(int index);
  int CompressorIndex() const { return compressorIndex_; }
  // A new encoder element of compressor `index` (a reference the caller owns).
  HRESULT CreateCompressor(int index, GstElement** filter) const;

  // --- live graphs -------------------------------------------------------------------------
  // Build and run the live preview into `window` (also the window told of graph events), with or
  // without the sample grabber. A running graph is torn down first. The call returns when the
  // first frame arrived, or with the failure that stopped it.
  HRESULT PreviewOn(IVideoWindow* window);
  HRESULT PreviewOnWithGrabber(IVideoWindow* window);
  // The one teardown path: drains a recording branch, stops the graph, frees its objects in
  // reverse order of building and the graph last.
  void TearDownGraph();
  capture::GraphState GraphState() const { return graph_.State(); }
  bool IsLiveMode() const { return liveMode_; }
  const std::string& CaptureFileName() const { return captureFile_; }

  // --- recording ---------------------------------------------------------------------------
  // Builds the recording branch (blocked) on the running live graph: AVI for ".avi" names in any
  // letter case, with the selected compressor; ASF otherwise; with the first audio input device
  // when `withAudio`. A branch set up before is finalised first. The name is kept only when the
  // branch was built.
  HRESULT SetCaptureFile(const std::string& fileName, bool withAudio);
  HRESULT RecStart();
  HRESULT RecStop();
  bool IsRecording() const { return recording_ && recording_->Recording(); }

  // --- compression and recording settings --------------------------------------------------
  HRESULT GetCompressorCaps(std::int32_t* caps);
  HRESULT GetCompressorQuality(double* quality);
  HRESULT SetCompressorQuality(double quality);
  HRESULT GetKeyFrameRate(std::int32_t* rate);
  HRESULT SetKeyFrameRate(std::int32_t rate);
  HRESULT GetPFramesPerKeyFrame(std::int32_t* frames);
  HRESULT SetPFramesPerKeyFrame(std::int32_t frames);
  HRESULT SetCrunch(std::int32_t bitRate, std::int32_t sizeImage);
  HRESULT GetCrunch(std::int32_t* bitRate, std::int32_t* sizeImage);
  HRESULT GetDropped(std::int32_t* dropped);
  HRESULT GetNotDropped(std::int32_t* notDropped);
  // Frame time := 10,000,000 / rate (100-ns units, truncated), put on the running stream.
  HRESULT SetCaptureFrameRate(double frameRate);
  // The frame time of the stream the renderer shows.
  HRESULT GetRendererFrameTime(std::int64_t* frameTime);
  // The elements whose properties the host may edit (null while there is none).
  GstElement* CompressorElement() const { return recording_ ? recording_->Compressor() : nullptr; }
  GstElement* AudioSourceElement() const { return recording_ ? recording_->AudioSource() : nullptr; }

  // --- audio input -------------------------------------------------------------------------
  std::int32_t GetAudioLineCount() const;
  QString GetAudioLineName(int line) const;
  HRESULT SetAudioLine(int line);
  int EnabledAudioLine() const { return recording_ ? recording_->EnabledLine() : -1; }
  HRESULT GetAudioFormat(short* channels, short* bytesPerSample, std::int32_t* samplesPerSec);
  HRESULT SetAudioFormat(short channels, short bytesPerSample, std::int32_t samplesPerSec);

  // Graph events waiting for the window: E_ABORT when none arrives within timeoutMs.
  HRESULT GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2, long timeoutMs) {
    return graph_.GetEvent(code, param1, param2, timeoutMs);
  }
  void FreeEventParams(long, std::intptr_t, std::intptr_t) {}

  // --- still picture -----------------------------------------------------------------------
  // Writes the grabber's newest frame as an uncompressed 24-bit bottom-up BMP file.
  HRESULT SaveGrabberBitmap(const std::string& fileName);
  // The grabber's format as of the last grabber build; all zero before the first.
  const BitmapInfoHeader& GrabberFrameHeader() const { return frameHeader_; }

  // --- layout and text overlay -------------------------------------------------------------
  HRESULT LayoutVideoWindow(int cx = 0, int cy = 0);
  HRESULT SetStretchType(short type);
  short GetStretchType() const { return stretchType_; }
  // The capture window's paint: the picture and the overlay, nothing without a renderer.
  void RepaintVideo(QPainter& painter);
  // Colours are COLORREF values (0x00BBGGRR); fLeft, fTop normalised to the frame.
  HRESULT SetAlphaText(const QString& text, std::uint32_t fgColor, std::uint32_t bkColor, std::uint32_t keyColor,
                       float fLeft, float fTop, short enable);
  HRESULT SlideAlphaText();
  HRESULT SetAlphaFont(const LogFontA* font);
  HRESULT GetAlphaBitmapParameters(AlphaBitmap* params) const;
  // The destination rectangle of the picture; empty without a renderer.
  QRect VideoPosition() const;

  // --- stream formats ----------------------------------------------------------------------
  HRESULT GetStreamCapsCount(PinCategory pin, short* count);
  // bih may be null (the variant without the bitmap header); it receives ten 32-bit words.
  HRESULT GetStreamCaps(PinCategory pin, short index, short* minX, short* minY, short* maxX, short* maxY,
                        short* stepX, short* stepY, short* colorSpace, std::int32_t* bih);
  HRESULT GetStreamCapsBih(PinCategory pin, short index, std::int32_t* width, std::int32_t* height, short* planes,
                           short* bitCount, std::int32_t* compression, std::int32_t* sizeImage,
                           std::int32_t* xPelsPerMeter, std::int32_t* yPelsPerMeter, std::int32_t* clrUsed,
                           std::int32_t* clrImportant);
  // Applies entry `index` as the device gives it; width, height and bih are not applied.
  HRESULT SetStreamCaps(PinCategory pin, short index, short width, short height, const std::int32_t* bih);
  // Applies entry `index` with these header fields put in (biSize is not taken).
  HRESULT SetStreamCaps2(PinCategory pin, short index, const BitmapInfoHeader& fields);
  HRESULT GetResolution(PinCategory pin, std::int32_t* width, std::int32_t* height);
  // 0 RGB24, 1 YUY2, 2 UYVY, 3 YVYU; for graphs that use the grabber subtype.
  HRESULT SetSGMediaType(std::int32_t type);
  const Guid& GrabberSubtype() const { return grabberSubtype_; }
  HRESULT GetCurrentBuffer(std::int32_t* bufferSize, void* buffer, std::int32_t* width, std::int32_t* height);

  // --- device settings, property pages, DV decoder, tape transport (capture_engine_devices.cpp)
  // The device interfaces of the next live graphs (tests put fakes in).
  void SetDeviceBackends(capture::DeviceBackends backends);
  // Where property pages are shown (not owned); without one they fail.
  void SetPropertyFrame(capture::IPropertyFrame* frame) { propertyFrame_ = frame; }
  HRESULT GetVideoQuality(long prop, long* min, long* max, long* step, long* def, long* value);
  HRESULT SetVideoQuality(long prop, long value);
  HRESULT GetAvailableTVFormat(long* standards);
  HRESULT GetTVFormat(long* standard);
  HRESULT SetTVFormat(long standard);
  HRESULT GetPinCounts(bool inputs, long* count);
  QString GetPinName(bool input, long index) const;  // empty without the live graph
  HRESULT IsRoutedTo(long output, long* input);
  HRESULT SetRoute(long output, long input);
  HRESULT GetDVDecResolution(short* resolution);
  HRESULT SetDVDecResolution(short resolution);
  int StoredDVDecResolution() const { return dvDecoderResolution_; }
  HRESULT CaptureFilterProperty();
  HRESULT CrossbarFilterProperty();
  HRESULT DvDecFilterProperty();
  HRESULT PinProperty(PinCategory pin);
  HRESULT VcrMode(long mode);
  HRESULT VcrSeekTimecode(int hours, int minutes, int seconds, int frames, int nonDrop, int dvcam);
  HRESULT VcrGetTimecode(long* hours, long* minutes, long* seconds, long* frames);

  // For tests and diagnostics: the pipeline (borrowed), null without a graph.
  GstElement* FilterGraph() const { return graph_.Pipeline(); }

  // --- playback of files (capture_engine_playback.cpp) ------------------------------------
  // Positions are frames when the played file has a fixed frame rate, else 100-ns units; a
  // 64-bit time crosses as its high and low halves.
  HRESULT PlayStart(const std::string& fileName, IVideoWindow* window, std::int32_t* frames);
  HRESULT PlayStart3Ready(const std::string& fileName, IVideoWindow* window, std::int32_t* frames,
                          std::int32_t* width, std::int32_t* height);
  std::int32_t GetFrameNum() const;
  HRESULT GetMediaTime(std::int32_t* timeH, std::int32_t* timeL) const;
  HRESULT RunAtRate(double rate);
  HRESULT DoPause();
  void DoStop();
  void SetPosition(std::int32_t frame);
  std::int32_t GetPosition() const;
  void SetTime(std::int64_t time);
  HRESULT GetTime(std::int32_t* timeH, std::int32_t* timeL) const;
  // Plays start to stop (both shown); inFrames says which time format the caller means.
  HRESULT PlayPart(std::int64_t start, std::int64_t stop, bool inFrames);
  std::int32_t IsAbsoluteSeek() const;
  // Graph events, on the host's thread: the end of the stream and a pause that has its frame.
  void OnPlaybackComplete();
  void SignalFrameReady();
  bool IsPlaybackGraph() const { return playback_ != nullptr; }

  // --- stills from played files (still_from_file.cpp) -------------------------------------
  HRESULT StillCapStart(const std::string& fileName, IVideoWindow* window);
  HRESULT SaveFrameAtIndex(const std::string& fileName, std::int32_t index);
  HRESULT SaveFrameAtTime(const std::string& fileName, std::int64_t time);
  // The waits that keep the host's events moving (stills here, render jobs in the timeline).
  capture::HostWait& Waits() { return waits_; }

 private:
  HRESULT BuildPlaybackGraph(IVideoWindow* window, bool eventsToHost, bool withGrabber);
  HRESULT OpenPlaybackFile(const std::string& fileName);
  HRESULT OpenNewPlayback(const std::string& fileName, IVideoWindow* window, bool eventsToHost, bool withGrabber);
  void ListenToPlayback(IVideoWindow* window, bool eventsToHost);
  HRESULT PrepareStillFromFile();
  HRESULT SaveFrame(const std::string& fileName, GstClockTime time);
  HRESULT SaveGrabberJpeg(const std::string& fileName);

  HRESULT BuildLive(IVideoWindow* window, bool withGrabber);
  HRESULT Rebuild(bool withGrabber);
  HRESULT RunLive(bool withGrabber);
  HRESULT ReadFrameHeader();
  capture::StreamConfig* FindStreamConfig(PinCategory pin) const;
  // The format entry `index` of the pin's list (E_FAIL without a live list).
  HRESULT StreamCapsEntry(PinCategory pin, short index, capture::MediaType* mt,
                          capture::VideoStreamConfigCaps* range) const;
  HRESULT ApplyStreamCaps(PinCategory pin, short index, const BitmapInfoHeader* fields);
  // The recording branch on the running live graph, with the compressor settings kept.
  HRESULT BuildRecording(const std::string& fileName, bool withAudio);
  // Puts one compressor setting on the encoder, or on a new branch's encoder before it starts.
  HRESULT ApplyCompressorSetting(std::int32_t capability, double value);
  // The raw video the live graph records (null without one).
  capture::CapsPtr LiveFormat() const;
  // Finalises a recording branch's file and removes the branch; the branch's failure when no
  // call has reported it yet.
  HRESULT FinishRecording();
  // The recording branch's failure, now reported to the host (S_OK while it writes).
  HRESULT RecordingFailure();
  // The compressor's settings; E_FAIL without a recording branch with a compressor.
  HRESULT WithCompressor(capture::CompressorSettings* settings) const;
  capture::VideoRenderer* Renderer() const {
    return live_ ? live_->Renderer() : playback_ ? playback_->Renderer() : nullptr;
  }
  GstElement* Grabber() const { return live_ ? live_->Grabber() : playback_ ? playback_->Grabber() : nullptr; }
  void AttachDevice();
  void DetachDevice();
  capture::DeviceSettings* AnalogDecoder() const;
  HRESULT FindCrossbar(capture::DeviceSettings** crossbar) const;
  HRESULT RebuildGrabberPreview(int dvResolution);
  HRESULT ShowPages(capture::PropertySheet& sheet);

  // Selections and values kept across graphs.
  Guid grabberSubtype_ = capture::guid::kRGB24;
  short stretchType_ = 0;
  int compressorIndex_ = -1;
  std::string compressorName_;  // the encoder chosen; empty: none
  HRESULT refusal_ = com::S_OK;  // why the last recording set-up refused its compressor
  int videoDeviceIndex_ = 0;
  std::string captureFile_;
  BitmapInfoHeader frameHeader_;
  bool liveMode_ = false;
  int dvDecoderResolution_ = 1000;
  IVideoWindow* videoWindow_ = nullptr;
  capture::AudioFormat audioFormat_;
  std::int32_t crunchSizeImage_ = 0;
  bool failureReported_ = false;
  bool captureWithAudio_ = false;
  std::map<std::int32_t, double> compressorSettings_;  // the host's, for the current file  // the recording branch's failure was a call's result
  capture::GraphState recordingFrom_ = capture::GraphState::LiveWithGrabber;
  HRESULT buildFailure_ = com::S_OK;  // why the last live graph, once built, did not run
  float wrapLimit_ = 0.04f;
  float slideIncrement_ = 0.02f;
  float textWidth_ = 0.0f;
  float textHeight_ = 0.0f;
  int textBitmapWidth_ = 0;
  int textBitmapHeight_ = 0;
  std::optional<QFont> overlayFont_;
  capture::CGrabberCallback grabberCallback_;
  capture::DeviceBackends backends_;
  capture::IPropertyFrame* propertyFrame_ = nullptr;

  // The graph and the objects built into it, freed in reverse order by TearDownGraph.
  capture::GraphOwner graph_;
  std::unique_ptr<capture::LiveGraph> live_;
  std::unique_ptr<capture::RecordingGraph> recording_;

  std::unique_ptr<capture::PlaybackGraph> playback_;

  // Playback state; the duration (in the format it was read in) and the rate survive teardown.
  std::int64_t duration_ = 0;
  bool durationInFrames_ = false;
  double playRate_ = 1.0;
  bool partPlay_ = false;
  GstClockTime partLast_ = 0;  // where a part play rests when it ends
  bool stillWait_ = false;
  bool frameReady_ = false;
  capture::HostWait waits_;
  std::unique_ptr<capture::DeviceSettings> settings_;
  std::unique_ptr<capture::DvTransport> transport_;
};
