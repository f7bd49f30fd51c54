#include "engine/devices.h"

#include "engine/dv_provider.h"
#include "engine/recording_graph.h"

#include <malloc.h>
#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#endif

namespace capture {

bool EnsureGstInit() {
  if (gst_is_initialized()) return RegisterDvProvider() || true;
  GError* error = nullptr;
  const bool ok = gst_init_check(nullptr, nullptr, &error);
  if (ok) RegisterDvProvider();  // DV camcorders are video input devices too
  if (error) {
    g_warning("GStreamer could not start: %s", error->message);
    g_error_free(error);
  }
  return ok;
}

namespace {

// A sound server's monitor of an output is listed as an audio source, but records no input.
bool IsMonitor(GstDevice* device) {
  GstStructure* props = gst_device_get_properties(device);
  const bool monitor = props && g_strcmp0(gst_structure_get_string(props, "device.class"), "monitor") == 0;
  if (props) gst_structure_free(props);
  return monitor;
}

// The caps the AVI multiplexer takes on a video input (empty when it is missing).
GstCaps* AviVideoCaps() {
  GstElementFactory* mux = gst_element_factory_find("avimux");
  GstCaps* caps = gst_caps_new_empty();
  if (!mux) return caps;
  for (const GList* l = gst_element_factory_get_static_pad_templates(mux); l; l = l->next) {
    auto* t = static_cast<GstStaticPadTemplate*>(l->data);
    if (t->direction == GST_PAD_SINK && g_str_has_prefix(t->name_template, "video"))
      caps = gst_caps_merge(caps, gst_static_pad_template_get_caps(t));
  }
  gst_object_unref(mux);
  return caps;
}

bool WritesInto(GstElementFactory* encoder, GstCaps* accepted) {
  for (const GList* l = gst_element_factory_get_static_pad_templates(encoder); l; l = l->next) {
    auto* t = static_cast<GstStaticPadTemplate*>(l->data);
    if (t->direction != GST_PAD_SRC) continue;
    GstCaps* caps = gst_static_pad_template_get_caps(t);
    const bool ok = gst_caps_can_intersect(caps, accepted);
    gst_caps_unref(caps);
    if (ok) return true;
  }
  return false;
}

}  // namespace

DeviceList::DeviceList(const char* deviceClass) {
  if (!EnsureGstInit()) return;
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, deviceClass, nullptr);
  GList* devices = gst_device_monitor_get_devices(monitor);  // probes; no start needed
  for (GList* l = devices; l; l = l->next) {
    GstDevice* device = GST_DEVICE(l->data);  // takes the refs
    if (IsMonitor(device)) gst_object_unref(device);
    else devices_.push_back(device);
  }
  g_list_free(devices);
  gst_object_unref(monitor);
}

DeviceList::~DeviceList() {
  for (GstDevice* d : devices_) gst_object_unref(d);
}

GstDevice* DeviceList::At(int index) const {
  return index >= 0 && index < Count() ? devices_[std::size_t(index)] : nullptr;
}

QString DeviceList::Name(int index) const {
  GstDevice* device = At(index);
  if (!device) return {};
  gchar* name = gst_device_get_display_name(device);
  QString result = QString::fromUtf8(name ? name : "");
  g_free(name);
  return result;
}

namespace {

// Under valgrind every thread runs in turn: a trial ahead would only hold up the host's own work.
bool UnderValgrind() {
#ifdef RUNNING_ON_VALGRIND
  return RUNNING_ON_VALGRIND != 0;
#else
  return false;
#endif
}

// The encoders whose output the AVI multiplexer takes, by factory name.
std::vector<std::string> Candidates() {
  GList* list = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_VIDEO_ENCODER, GST_RANK_NONE);
  GstCaps* accepted = AviVideoCaps();
  std::vector<std::string> candidates;
  for (GList* l = list; l; l = l->next)
    if (WritesInto(GST_ELEMENT_FACTORY(l->data), accepted)) candidates.emplace_back(GST_OBJECT_NAME(l->data));
  gst_caps_unref(accepted);
  gst_plugin_feature_list_free(list);
  std::sort(candidates.begin(), candidates.end());
  return candidates;
}

// The answers of the trials by key: done, or running (no answer yet). Kept for the process;
// never freed, since a trial may still end while it exits.
struct TrialCache {
  std::mutex mutex;
  std::condition_variable changed;
  struct Answer {
    bool done = false;
    std::vector<std::string> passing;  // factory names, sorted
  };
  std::map<std::string, Answer> answers;
};

TrialCache& Trials() {
  static auto* cache = new TrialCache;
  return *cache;
}

// Marks the trial as running for the caller (the cache's lock held).
void Claim(TrialCache& cache, const CompressorTrial& trial) {
  // Answers at this format for other encoders are asked for no more.
  std::erase_if(cache.answers, [&](const auto& a) {
    return a.second.done && a.first.starts_with(trial.format + "|") && a.first != trial.key;
  });
  cache.answers[trial.key];
}

// Runs a claimed trial and keeps its answer: the encoders that pass, sorted. A trial that
// `cancel` ended keeps nothing and answers nothing.
std::optional<std::vector<std::string>> RunClaimed(const CompressorTrial& trial, const std::atomic<bool>* cancel) {
  std::vector<GstElementFactory*> factories;
  for (const std::string& name : trial.encoders) factories.push_back(gst_element_factory_find(name.c_str()));
  std::erase(factories, nullptr);  // removed meanwhile
  const std::optional<std::vector<bool>> passed = TryCompressors(factories, trial.format, cancel);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < factories.size(); ++i) {
    if (passed && (*passed)[i]) names.emplace_back(GST_OBJECT_NAME(factories[i]));
    gst_object_unref(factories[i]);
  }
  TrialCache& cache = Trials();
  std::lock_guard lock(cache.mutex);
  if (passed) cache.answers[trial.key] = TrialCache::Answer{true, names};
  else cache.answers.erase(trial.key);
  cache.changed.notify_all();
  if (!passed) return std::nullopt;
  return names;
}

// The answer of the trial at `format`: kept, waited for while it runs elsewhere, else run here.
std::vector<std::string> Passing(const std::string& format) {
  TrialCache& cache = Trials();
  const CompressorTrial trial(format);
  {
    std::unique_lock lock(cache.mutex);
    for (auto it = cache.answers.find(trial.key); it != cache.answers.end(); it = cache.answers.find(trial.key)) {
      if (it->second.done) return it->second.passing;
      cache.changed.wait(lock);  // a trial given up unanswered leaves the key free again
    }
    Claim(cache, trial);
  }
  return RunClaimed(trial, nullptr).value_or(std::vector<std::string>{});
}

}  // namespace

CompressorTrial::CompressorTrial(std::string trialFormat) : format(std::move(trialFormat)), encoders(Candidates()) {
  key = format + "|";
  for (const std::string& name : encoders) key += name + ",";
}

CompressorList::CompressorList(const GstCaps* format) {
  if (!EnsureGstInit()) return;
  for (const std::string& name : Passing(TrialFormat(format)))
    if (GstElementFactory* factory = gst_element_factory_find(name.c_str())) factories_.push_back(factory);
}

CompressorList::~CompressorList() {
  for (GstElementFactory* f : factories_) gst_object_unref(f);
}

GstElementFactory* CompressorList::At(int index) const {
  return index >= 0 && index < Count() ? factories_[std::size_t(index)] : nullptr;
}

int CompressorList::IndexOf(const char* factoryName) const {
  for (std::size_t i = 0; i < factories_.size(); ++i)
    if (g_str_equal(GST_OBJECT_NAME(factories_[i]), factoryName)) return int(i);
  return -1;
}

QString CompressorList::Name(int index) const {
  GstElementFactory* factory = At(index);
  if (!factory) return {};
  const gchar* name = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
  return QString::fromUtf8(name ? name : GST_OBJECT_NAME(factory));
}

CompressorTrialState CompressorTrialAt(const GstCaps* format) {
  if (!EnsureGstInit()) return CompressorTrialState::None;
  TrialCache& cache = Trials();
  const CompressorTrial trial(TrialFormat(format));
  std::lock_guard lock(cache.mutex);
  const auto it = cache.answers.find(trial.key);
  if (it == cache.answers.end()) return CompressorTrialState::None;
  return it->second.done ? CompressorTrialState::Done : CompressorTrialState::Running;
}

CompressorTrials::~CompressorTrials() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    cancel_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  // Trials claimed but not begun are given up: a list waiting for one runs it itself.
  TrialCache& cache = Trials();
  std::lock_guard lock(cache.mutex);
  for (const CompressorTrial& trial : pending_) cache.answers.erase(trial.key);
  cache.changed.notify_all();
}

void CompressorTrials::Start(const GstCaps* format) {
  bool own = false;
  const std::string trialFormat = TrialFormat(format, &own);
  // A format decoded later is tried when it is set; under valgrind the first list runs it.
  if (!own || UnderValgrind() || !EnsureGstInit()) return;
  CompressorTrial trial(trialFormat);
  std::lock_guard lock(mutex_);
  if (ending_) return;
  {
    TrialCache& cache = Trials();
    std::lock_guard cacheLock(cache.mutex);
    if (cache.answers.count(trial.key)) return;  // ran or runs
    Claim(cache, trial);
  }
  pending_.push_back(std::move(trial));
  if (!worker_.joinable()) worker_ = std::thread(&CompressorTrials::Run, this);
  wake_.notify_one();
}

void CompressorTrials::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return ending_ || !pending_.empty(); });
    if (ending_) return;
    const CompressorTrial trial = std::move(pending_.front());
    pending_.pop_front();
    lock.unlock();
    RunClaimed(trial, &cancel_);
    // The encoders tried leave their buffers in the heap's free lists: give them back, or a host
    // that never records keeps some 50 MB more for the rest of its run.
    ::malloc_trim(0);
    lock.lock();
  }
}

}  // namespace capture
