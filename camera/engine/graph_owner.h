#pragma once
// The owner of one filter graph (a GstPipeline): its state, its bus, the graph events waiting for
// the window, the stream's failure and the end of stream of branches that drain while the rest
// runs. Live, recording and playback objects build into the owner's pipeline; the engine frees
// them, in reverse order of building, between Stop() and Release().
#include <gst/gst.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/gst_ptr.h"
#include "engine/hresult.h"
#include "engine/video_window.h"

namespace capture {

// What the graph is: no graph, the live picture (with or without the sample grabber), the live
// picture while a recording branch writes, or a played file.
enum class GraphState { None, Live, LiveWithGrabber, Recording, Playing };

class GraphOwner {
 public:
  GraphOwner() = default;
  ~GraphOwner();
  GraphOwner(const GraphOwner&) = delete;
  GraphOwner& operator=(const GraphOwner&) = delete;

  // A new, empty pipeline (the previous one must have been released).
  HRESULT Create(const char* name);
  bool Exists() const { return pipeline_ != nullptr; }
  GstElement* Pipeline() const { return pipeline_.get(); }
  GstBin* Bin() const { return GST_BIN(pipeline_.get()); }

  GraphState State() const { return state_; }
  void SetState(GraphState state) { state_ = state; }
  // Whether the graph runs (the media control of the live graphs).
  bool Running() const { return running_; }

  // Runs the graph and waits until `started` holds (checked whenever NotifyProgress is called),
  // a stream failure arrives or `timeout` passes (VFW_E_TIMEOUT). A graph that did not start is
  // stopped again at once, so the camera is free.
  HRESULT Run(const std::function<bool()>& started, std::chrono::milliseconds timeout);
  // Stops the streaming (READY keeps the devices open, NULL releases them and joins the threads).
  void Stop(GstState state = GST_STATE_READY);
  // Frees the pipeline; everything built into it must be freed before.
  void Release();

  // The running time of the graph now (0 without a clock).
  GstClockTime RunningTime() const;

  // Streaming threads: wake the waits (a sample arrived).
  void NotifyProgress();
  HRESULT StreamError();
  // Where graph events are announced (the window and its instance data); null: nowhere.
  void SetNotify(IVideoWindow* window, std::intptr_t data);
  HRESULT GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2, long timeoutMs);

  // Waits until `element` (or a child of it) posted its end of stream; false after `timeout` or
  // a failure inside it. Branches are built with message-forward so that their end is seen.
  bool WaitForEos(GstElement* element, std::chrono::milliseconds timeout);
  // Quality-of-service messages (frames dropped by an element) go to this listener; any thread.
  void SetQosListener(std::function<void(GstMessage*)> listener);
  // Errors go to this listener first, on the thread that failed; when it takes the error as its
  // branch's own (true), the graph itself runs on: the error ends waits for that branch and is
  // posted as an error-abort event, but is not the graph's failure.
  void SetBranchErrorListener(std::function<bool(GstMessage*)> listener);

 private:
  struct GraphEvent {
    long code;
    std::intptr_t param1, param2;
  };
  static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
  void PostEvent(long code, std::intptr_t param1, std::intptr_t param2);
  void OnForwarded(GstMessage* inner);

  ElementPtr pipeline_;
  GraphState state_ = GraphState::None;
  bool running_ = false;

  // Shared with the streaming threads.
  std::mutex mutex_;
  std::condition_variable progress_;
  HRESULT streamError_ = com::S_OK;
  std::deque<GraphEvent> events_;
  IVideoWindow* notifyWindow_ = nullptr;
  std::intptr_t notifyData_ = 0;
  std::vector<GstPtr<GstObject>> ended_;  // sinks whose end of stream was forwarded, until waited for
  GstPtr<GstObject> failedAt_;  // where the stream failed
  std::function<void(GstMessage*)> qosListener_;
  std::function<bool(GstMessage*)> branchErrorListener_;
};

}  // namespace capture
