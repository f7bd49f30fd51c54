#pragma once
// The live graph: the camera's source, a caps filter holding the chosen format, a decoder for
// coded formats, a tee, the preview branch ending in the mixing renderer and, for the still road,
// the grabber branch ending in the sample grabber. Recording branches hang off the tee.
//
//   source -> capsfilter -> [decoder] -> tee -> queue -> videoconvert -> renderer (BGRx)
//                                            -> queue -> grabber (newest frame, BGR when asked)
//                                            -> (recording branch)
#include <gst/gst.h>

#include <chrono>
#include <memory>

#include "engine/graph_owner.h"
#include "engine/gst_ptr.h"
#include "engine/stream_config.h"
#include "engine/video_window.h"

namespace capture {

class VideoRenderer;

class LiveGraph {
 public:
  // Builds into `graph` and draws into `window` (both outlive it).
  LiveGraph(GraphOwner& graph, IVideoWindow* window) : graph_(graph), window_(window) {}
  ~LiveGraph();
  LiveGraph(const LiveGraph&) = delete;
  LiveGraph& operator=(const LiveGraph&) = delete;

  // The camera at `deviceIndex` becomes the graph's "Video Capture" source with its format list.
  HRESULT AddSource(int deviceIndex);
  // Everything behind the source in the format the stream configuration holds now.
  HRESULT BuildDownstream(bool withGrabber);
  // Removes everything behind the source, the furthest first; the source and its format list stay.
  void RemoveDownstream();
  // The display resolution a DV decoder of the next BuildDownstream gets (1000-1003).
  void SetDvResolution(int resolution) { dvResolution_ = resolution; }
  // Runs the graph until a frame reached every sink; a camera that sends nothing within
  // `timeout` gives VFW_E_TIMEOUT.
  HRESULT Run(std::chrono::milliseconds timeout);
  // Puts the configuration's current format on the running stream (renegotiation, no rebuild).
  HRESULT Renegotiate();

  StreamConfig* Config() const { return config_.get(); }
  GstElement* Source() const { return source_.get(); }
  GstElement* Tee() const { return tee_.get(); }
  GstElement* Grabber() const { return grabber_.get(); }
  GstElement* RendererElement() const { return renderer_.get(); }
  VideoRenderer* Renderer() const;

 private:
  HRESULT AddRenderer();
  HRESULT AddGrabber();
  void NukeDownstream(GstElement* filter);

  GraphOwner& graph_;
  IVideoWindow* window_;
  int dvResolution_ = 1000;
  // Freed in reverse order of taking.
  ElementPtr source_;
  std::unique_ptr<StreamConfig> config_;
  ElementPtr renderer_;
  ElementPtr grabber_;
  ElementPtr capsFilter_;
  ElementPtr tee_;
};

// Links the static "src" pad of `from` to the "sink" pad of `to`.
HRESULT LinkElements(GstElement* from, GstElement* to);
// A new element of `factory` named `name` (floating), or null when the factory is missing.
GstElement* MakeElement(const char* factory, const char* name);

}  // namespace capture
