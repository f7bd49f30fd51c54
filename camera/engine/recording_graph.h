#pragma once
// The recording branch of a live graph: a request pad of the tee, a queue, the compressor (or raw
// video), the multiplexer (avimux for ".avi" in any letter case, else asfmux with WMV2/WMA2) and
// the file; with sound, the audio input device's source feeds the same multiplexer. The branch is
// built blocked: Start opens the stream into the file, Stop blocks it again, and a later Start
// resumes into the same file, the stretches joined without the gap. Finish drains the branch
// with an end of stream (the multiplexer writes its header and index then) and removes it while
// the live picture runs on.
//
//   tee -> [gate] -> queue -> videoconvert -> [compressor] -> mux -> filesink
//   audio source -> [gate] -> audioconvert -> audioresample -> format -> [encoder] -> queue -> mux
//   (or the running graph's sound pad, a DV camcorder's -> [gate] -> queue -> audioconvert -> ... -> mux)
#include <gst/gst.h>

#include <QString>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/graph_owner.h"
#include "engine/gst_ptr.h"

namespace capture {

// A sound format: channels, bytes per sample, samples per second.
struct AudioFormat {
  int channels = 2;
  int bytesPerSample = 2;
  int samplesPerSec = 44100;
  int BytesPerSecond() const { return channels * bytesPerSample * samplesPerSec; }
  int BlockAlign() const { return channels * bytesPerSample; }
};

struct RecordingSetup {
  std::string file;
  GstElementFactory* compressor = nullptr;  // AVI only; null: raw video
  GstDevice* audioDevice = nullptr;         // null: no sound (unless audioPad)
  GstPad* audioPad = nullptr;               // the running graph's own sound (a DV decoder's), else null
  AudioFormat audioFormat;
  // Settings put on the compressor before it starts: capability flag -> value.
  std::map<std::int32_t, double> compressorSettings;
};

class RecordingGraph {
 public:
  RecordingGraph(GraphOwner& graph, GstElement* tee) : graph_(graph), tee_(tee) {}
  ~RecordingGraph();
  RecordingGraph(const RecordingGraph&) = delete;
  RecordingGraph& operator=(const RecordingGraph&) = delete;

  // Builds the branch, blocked, into the running live graph.
  HRESULT Build(const RecordingSetup& setup);
  HRESULT Start();
  HRESULT Stop();
  bool Recording() const;
  // Whether anything was let into the file yet.
  bool EverStarted() const;
  // Drains the branch into its file and removes it (waits up to `timeout` for the end). An AVI
  // (or ASF) whose writing failed is closed over the frames it holds. The result is the failure that
  // arose while finishing, if any.
  HRESULT Finish(std::chrono::milliseconds timeout);

  GstElement* Compressor() const { return compressor_.get(); }
  GstElement* AudioSource() const { return audioSource_.get(); }
  // The audio format on its way into the file; applied to the running source.
  const AudioFormat& Format() const { return format_; }
  HRESULT SetAudioFormat(const AudioFormat& format);
  // Input lines of the audio source and the one that is on.
  const std::vector<QString>& AudioLines() const { return lines_; }
  int EnabledLine() const { return enabledLine_; }
  HRESULT EnableLine(int line);

  // Frames the branch lost (its queue full, or dropped late by an element of it) and frames it
  // passed on towards the file.
  std::int32_t Dropped() const;
  std::int32_t NotDropped() const;
  std::int64_t QueuedFrames() const;  // waiting in the branch's queue
  void OnQos(GstMessage* message);
  // An error inside the branch (a full disk): the branch takes no more frames, the live picture
  // runs on. True when the message came from inside the branch (one while Finish takes the branch
  // down is no failure). Any thread.
  bool OnError(GstMessage* message);
  // Why the branch stopped writing (S_OK while it writes).
  HRESULT Failure() const { return failure_.load(); }

  // The gate of both streams: which running times go into the file and where they land.
  struct Gate {
    std::mutex mutex;
    bool open = false;
    bool finished = false;
    bool failed = false;  // the file takes nothing more
    bool started = false;
    GstClockTime stretchStart = 0;                  // running time the current stretch began
    GstClockTime stretchEnd = GST_CLOCK_TIME_NONE;  // when it was blocked again
    GstClockTimeDiff shift = 0;                     // running time minus file time
    GstClockTime written = 0;                       // file time reached by the stretches before
    bool Accept(GstClockTime runningTime, GstClockTime* fileTime);
  };

 private:
  HRESULT AddVideo(const RecordingSetup& setup, bool avi, GstElement* mux);
  HRESULT AddAudio(const RecordingSetup& setup, bool avi, GstElement* mux);
  GstCaps* AudioCaps() const;

  GraphOwner& graph_;
  GstElement* tee_;  // borrowed from the live graph
  Gate gate_;
  // Freed in reverse order of taking.
  ElementPtr bin_;
  std::atomic<const void*> binObject_{nullptr};  // compared with messages' sources, never used
  PadPtr teePad_;
  PadPtr audioPad_;  // the graph's sound pad feeding the branch (a DV decoder's), or null
  ElementPtr queue_;
  ElementPtr compressor_;
  ElementPtr audioSource_;
  ElementPtr audioCaps_;
  ElementPtr sink_;
  std::string rawAviFile_;  // the file, when it is an AVI of uncompressed video
  std::string aviFile_;     // the file, when it is an AVI
  std::string file_;
  std::atomic<HRESULT> failure_{com::S_OK};
  std::atomic<bool> takenDown_{false};  // Finish is taking the branch down
  AudioFormat format_;
  std::vector<QString> lines_;
  int enabledLine_ = 0;
  std::atomic<std::int64_t> queued_{0}, passed_{0};
  mutable std::mutex qosMutex_;
  std::map<const void*, std::uint64_t> qosDropped_;
};

// Whether a file name chooses the AVI multiplexer (".avi" in any letter case).
bool IsAviFileName(const std::string& file);

}  // namespace capture
