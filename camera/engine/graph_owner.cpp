#include "engine/graph_owner.h"

#include "engine/gst_errors.h"

namespace capture {

namespace {
constexpr std::size_t kMaxQueuedEvents = 64;
}  // namespace

GraphOwner::~GraphOwner() {
  Stop(GST_STATE_NULL);
  Release();
}

HRESULT GraphOwner::Create(const char* name) {
  if (pipeline_) return com::VFW_E_WRONG_STATE;
  pipeline_ = Sink(gst_pipeline_new(name));
  if (!pipeline_) return com::E_OUTOFMEMORY;
  // Branches that end while the rest runs (a recording) are seen through forwarded messages.
  g_object_set(pipeline_.get(), "message-forward", TRUE, nullptr);
  BusPtr bus = Adopt(gst_element_get_bus(pipeline_.get()));
  gst_bus_set_sync_handler(bus.get(), &GraphOwner::OnBusMessage, this, nullptr);
  std::lock_guard lock(mutex_);
  streamError_ = com::S_OK;
  events_.clear();
  ended_.clear();
  failedAt_.reset();
  return com::S_OK;
}

HRESULT GraphOwner::Run(const std::function<bool()>& started, std::chrono::milliseconds timeout) {
  if (!pipeline_) return com::E_FAIL;
  {
    std::lock_guard lock(mutex_);
    streamError_ = com::S_OK;
  }
  const GstStateChangeReturn ret = gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
  HRESULT result = com::S_OK;
  {
    std::unique_lock lock(mutex_);
    auto done = [&] { return Failed(streamError_) || started(); };
    if (ret == GST_STATE_CHANGE_FAILURE) result = Failed(streamError_) ? streamError_ : com::VFW_E_WRONG_STATE;
    else if (!progress_.wait_for(lock, timeout, done)) result = com::VFW_E_TIMEOUT;
    else result = streamError_;
  }
  running_ = Succeeded(result);
  if (Failed(result)) gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
  return result;
}

void GraphOwner::Stop(GstState state) {
  running_ = false;
  if (pipeline_) gst_element_set_state(pipeline_.get(), state);
}

void GraphOwner::Release() {
  if (pipeline_) {
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);  // stops and joins the streaming threads
    BusPtr bus = Adopt(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
  }
  {
    std::lock_guard lock(mutex_);
    events_.clear();
    notifyWindow_ = nullptr;
    streamError_ = com::S_OK;
    ended_.clear();
    failedAt_.reset();
    qosListener_ = nullptr;
    branchErrorListener_ = nullptr;
  }
  pipeline_.reset();
  running_ = false;
  state_ = GraphState::None;
}

GstClockTime GraphOwner::RunningTime() const {
  if (!pipeline_) return 0;
  GstClock* clock = gst_element_get_clock(pipeline_.get());
  if (!clock) return 0;
  const GstClockTime now = gst_clock_get_time(clock);
  gst_object_unref(clock);
  const GstClockTime base = gst_element_get_base_time(pipeline_.get());
  return now > base ? now - base : 0;
}

void GraphOwner::NotifyProgress() {
  std::lock_guard lock(mutex_);
  progress_.notify_all();
}

HRESULT GraphOwner::StreamError() {
  std::lock_guard lock(mutex_);
  return streamError_;
}

void GraphOwner::SetNotify(IVideoWindow* window, std::intptr_t data) {
  std::lock_guard lock(mutex_);
  notifyWindow_ = window;
  notifyData_ = data;
}

void GraphOwner::SetQosListener(std::function<void(GstMessage*)> listener) {
  std::lock_guard lock(mutex_);
  qosListener_ = std::move(listener);
}

void GraphOwner::SetBranchErrorListener(std::function<bool(GstMessage*)> listener) {
  std::lock_guard lock(mutex_);
  branchErrorListener_ = std::move(listener);
}

bool GraphOwner::WaitForEos(GstElement* element, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  auto inside = [&](GstObject* o) { return o && (o == GST_OBJECT(element) || gst_object_has_as_ancestor(o, GST_OBJECT(element))); };
  auto ended = [&] {
    for (const auto& o : ended_)
      if (inside(o.get())) return true;
    return false;
  };
  const bool done = progress_.wait_for(lock, timeout, [&] { return inside(failedAt_.get()) || ended(); }) &&
                    !inside(failedAt_.get());
  // Seen once: the branch is about to be freed, and a later one may end in its place.
  std::erase_if(ended_, [&](const auto& o) { return inside(o.get()); });
  return done;
}

GstBusSyncReply GraphOwner::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
  auto* owner = static_cast<GraphOwner*>(self);
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
      const HRESULT result = HResultFromGstMessage(message);
      std::function<bool(GstMessage*)> branch;
      {
        std::lock_guard lock(owner->mutex_);
        branch = owner->branchErrorListener_;
      }
      const bool branchOnly = branch && branch(message);
      {
        std::lock_guard lock(owner->mutex_);
        if (Succeeded(owner->streamError_) && !branchOnly) owner->streamError_ = result;
        owner->failedAt_ = Ref(GST_MESSAGE_SRC(message));
        owner->progress_.notify_all();
      }
      owner->PostEvent(ec::kErrorAbort, result, 0);
      break;
    }
    case GST_MESSAGE_EOS: owner->PostEvent(ec::kComplete, 0, 0); break;
    case GST_MESSAGE_ASYNC_DONE:
      // A pause (or a seek while paused) has its frame at the sinks.
      if (GST_MESSAGE_SRC(message) == GST_OBJECT(owner->pipeline_.get()) &&
          GST_STATE_TARGET(owner->pipeline_.get()) == GST_STATE_PAUSED)
        owner->PostEvent(ec::kPaused, 0, 0);
      break;
    case GST_MESSAGE_ELEMENT: {
      const GstStructure* s = gst_message_get_structure(message);
      if (s && gst_structure_has_name(s, "GstBinForwarded")) {
        GstMessage* inner = nullptr;
        gst_structure_get(s, "message", GST_TYPE_MESSAGE, &inner, nullptr);
        if (inner) {
          owner->OnForwarded(inner);
          gst_message_unref(inner);
        }
      }
      break;
    }
    case GST_MESSAGE_QOS: {
      std::function<void(GstMessage*)> listener;
      {
        std::lock_guard lock(owner->mutex_);
        listener = owner->qosListener_;
      }
      if (listener) listener(message);
      break;
    }
    default: break;
  }
  // Nothing stays on the bus: nobody pops it, and a preview may run for days.
  gst_message_unref(message);
  return GST_BUS_DROP;
}

void GraphOwner::OnForwarded(GstMessage* inner) {
  // Every bin level with message-forward wraps the message once more.
  if (GST_MESSAGE_TYPE(inner) == GST_MESSAGE_ELEMENT) {
    const GstStructure* s = gst_message_get_structure(inner);
    GstMessage* deeper = nullptr;
    if (s && gst_structure_has_name(s, "GstBinForwarded"))
      gst_structure_get(s, "message", GST_TYPE_MESSAGE, &deeper, nullptr);
    if (deeper) {
      OnForwarded(deeper);
      gst_message_unref(deeper);
    }
    return;
  }
  if (GST_MESSAGE_TYPE(inner) != GST_MESSAGE_EOS) return;
  std::lock_guard lock(mutex_);
  ended_.push_back(Ref(GST_MESSAGE_SRC(inner)));
  progress_.notify_all();
}

void GraphOwner::PostEvent(long code, std::intptr_t param1, std::intptr_t param2) {
  IVideoWindow* window = nullptr;
  std::intptr_t data = 0;
  {
    std::lock_guard lock(mutex_);
    if (events_.size() >= kMaxQueuedEvents) events_.pop_front();
    events_.push_back({code, param1, param2});
    window = notifyWindow_;
    data = notifyData_;
    progress_.notify_all();
  }
  if (window) window->PostGraphNotify(data);
}

HRESULT GraphOwner::GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2, long timeoutMs) {
  if (!code || !param1 || !param2) return com::E_POINTER;
  std::unique_lock lock(mutex_);
  if (events_.empty() && timeoutMs > 0)
    progress_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !events_.empty(); });
  if (events_.empty()) return com::E_ABORT;
  const GraphEvent e = events_.front();
  events_.pop_front();
  *code = e.code;
  *param1 = e.param1;
  *param2 = e.param2;
  return com::S_OK;
}

}  // namespace capture
