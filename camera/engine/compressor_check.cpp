#include "engine/compressor_check.h"

#include <glib/gstdio.h>

#include <atomic>
#include <memory>

#include "engine/gst_ptr.h"

namespace capture {

namespace {

// The frames a check records (more than one: some decoders give nothing of a single frame), how
// many encoders are checked at once, and the format they are given where their caps take it.
constexpr int kCheckFrames = 3;
constexpr std::size_t kChecksAtOnce = 6;
constexpr int kWidth = 320, kHeight = 240, kRate = 30;

GstCaps* SinkCaps(GstElementFactory* encoder) {
  GstCaps* all = gst_caps_new_empty();
  for (const GList* l = gst_element_factory_get_static_pad_templates(encoder); l; l = l->next) {
    auto* t = static_cast<GstStaticPadTemplate*>(l->data);
    if (t->direction == GST_PAD_SINK) all = gst_caps_merge(all, gst_static_pad_template_get_caps(t));
  }
  return all;
}

// The raw format an encoder is checked with: the preview's size where its caps take it, else the
// size and rate nearest to it that they take.
std::string CheckFormat(GstElementFactory* encoder) {
  CapsPtr preview(gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, kWidth, "height", G_TYPE_INT, kHeight,
                                      "framerate", GST_TYPE_FRACTION, kRate, 1, nullptr));
  CapsPtr sink(SinkCaps(encoder));
  CapsPtr raw(gst_caps_new_empty_simple("video/x-raw"));
  CapsPtr taken(gst_caps_intersect(sink.get(), raw.get()));
  int w = kWidth, h = kHeight, n = kRate, d = 1;
  if (!gst_caps_is_empty(taken.get()) && !gst_caps_can_intersect(taken.get(), preview.get())) {
    GstStructure* s = gst_structure_copy(gst_caps_get_structure(taken.get(), 0));
    if (gst_structure_has_field(s, "width")) gst_structure_fixate_field_nearest_int(s, "width", kWidth);
    if (gst_structure_has_field(s, "height")) gst_structure_fixate_field_nearest_int(s, "height", kHeight);
    if (gst_structure_has_field(s, "framerate")) gst_structure_fixate_field_nearest_fraction(s, "framerate", kRate, 1);
    gst_structure_get_int(s, "width", &w);
    gst_structure_get_int(s, "height", &h);
    gst_structure_get_fraction(s, "framerate", &n, &d);
    gst_structure_free(s);
  }
  gchar* text = g_strdup_printf("video/x-raw,format=I420,width=%d,height=%d,framerate=%d/%d", w, h, n, d);
  std::string out = text;
  g_free(text);
  return out;
}

// One encoder's check: it records a file, which is then played as playback plays files.
struct Check {
  enum class Stage { Recording, Playing, Done };
  std::string file;
  ElementPtr pipeline;
  ElementPtr converter;  // where the played video enters (null while recording)
  std::atomic<int> frames{0};  // encoded, then decoded
  Stage stage = Stage::Recording;
  std::chrono::steady_clock::time_point deadline;
};

void CountBuffers(GstElement* element, const char* padName, std::atomic<int>* count) {
  PadPtr pad = Adopt(gst_element_get_static_pad(element, padName));
  if (!pad) return;
  gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, [](GstPad*, GstPadProbeInfo*, gpointer n) {
    ++*static_cast<std::atomic<int>*>(n);
    return GST_PAD_PROBE_OK;
  }, count, nullptr);
}

// source -> format -> converter -> [I420] -> encoder -> avimux -> file; false when it cannot be
// built or linked.
bool StartRecording(Check& check, GstElementFactory* factory, bool endless) {
  check.pipeline = Sink(gst_pipeline_new("Compressor Check"));
  GstElement* source = gst_element_factory_make("videotestsrc", nullptr);
  GstElement* caps = gst_element_factory_make("capsfilter", nullptr);
  GstElement* encoder = gst_element_factory_create(factory, nullptr);
  GstElement* sink = gst_element_factory_make("filesink", nullptr);
  if (source && !endless) g_object_set(source, "num-buffers", kCheckFrames, nullptr);
  if (source && endless) g_object_set(source, "is-live", TRUE, nullptr);
  if (sink) g_object_set(sink, "location", check.file.c_str(), nullptr);
  if (caps) {
    GstCaps* c = gst_caps_from_string(CheckFormat(factory).c_str());
    g_object_set(caps, "caps", c, nullptr);
    gst_caps_unref(c);
  }
  std::vector<GstElement*> chain{source, caps, gst_element_factory_make("videoconvert", nullptr)};
  if (GstElement* i420 = encoder ? I420FormatFor(factory) : nullptr) chain.push_back(i420);
  chain.insert(chain.end(), {encoder, gst_element_factory_make("avimux", nullptr), sink});
  if (!AddChain(GST_BIN(check.pipeline.get()), chain)) return false;
  CountBuffers(encoder, "src", &check.frames);
  return gst_element_set_state(check.pipeline.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

// The file's first video stream -> converter -> 24-bit RGB (what stills take) -> fakesink.
void OnPlayedPad(GstElement*, GstPad* pad, gpointer data) {
  auto* check = static_cast<Check*>(data);
  PadPtr in = Adopt(gst_element_get_static_pad(check->converter.get(), "sink"));
  if (!gst_pad_is_linked(in.get())) gst_pad_link(pad, in.get());  // sound and the like refuse
}

// The recorded file played as playback plays it (uridecodebin with the decoders there are).
bool StartPlaying(Check& check) {
  gst_element_set_state(check.pipeline.get(), GST_STATE_NULL);
  check.frames = 0;
  check.pipeline = Sink(gst_pipeline_new("Compressor Playback Check"));
  GstElement* source = gst_element_factory_make("uridecodebin", nullptr);
  check.converter = Ref(gst_element_factory_make("videoconvert", nullptr));
  GstElement* rgb = gst_element_factory_make("capsfilter", nullptr);
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  gchar* uri = gst_filename_to_uri(check.file.c_str(), nullptr);
  if (source && uri) g_object_set(source, "uri", uri, nullptr);
  g_free(uri);
  if (rgb) {
    GstCaps* c = gst_caps_from_string("video/x-raw,format=BGR");
    g_object_set(rgb, "caps", c, nullptr);
    gst_caps_unref(c);
  }
  if (!source || !AddChain(GST_BIN(check.pipeline.get()), {check.converter.get(), rgb, sink})) {
    if (source) gst_object_unref(gst_object_ref_sink(source));
    return false;
  }
  gst_bin_add(GST_BIN(check.pipeline.get()), source);
  g_signal_connect(source, "pad-added", G_CALLBACK(OnPlayedPad), &check);
  CountBuffers(sink, "sink", &check.frames);
  return gst_element_set_state(check.pipeline.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

void EndCheck(Check& check) {
  check.stage = Check::Stage::Done;
  if (check.pipeline) gst_element_set_state(check.pipeline.get(), GST_STATE_NULL);
  check.converter.reset();
  check.pipeline.reset();
}

// An error of the file's own (it could not be written or read: a full disk) says nothing of the
// encoder.
bool FileError(GstMessage* m) {
  GError* error = nullptr;
  gst_message_parse_error(m, &error, nullptr);
  const bool file = error && error->domain == GST_RESOURCE_ERROR;
  if (error) g_error_free(error);
  return file;
}

}  // namespace

bool AddChain(GstBin* bin, const std::vector<GstElement*>& chain) {
  for (GstElement* e : chain)
    if (!e) {
      for (GstElement* f : chain)
        if (f && !GST_OBJECT_PARENT(f)) gst_object_unref(gst_object_ref_sink(f));
      return false;
    }
  GstElement* previous = nullptr;
  for (GstElement* e : chain) {
    if (!GST_OBJECT_PARENT(e)) gst_bin_add(bin, e);
    if (previous && !gst_element_link(previous, e)) return false;
    previous = e;
  }
  return true;
}

bool AcceptsI420(GstElementFactory* encoder) {
  CapsPtr i420(gst_caps_from_string("video/x-raw,format=I420"));
  CapsPtr sink(SinkCaps(encoder));
  return gst_caps_can_intersect(sink.get(), i420.get());
}

GstElement* I420FormatFor(GstElementFactory* encoder) {
  if (!AcceptsI420(encoder)) return nullptr;
  GstElement* format = gst_element_factory_make("capsfilter", "Compressor Format");
  GstCaps* i420 = gst_caps_from_string("video/x-raw,format=I420");
  if (format) g_object_set(format, "caps", i420, nullptr);
  gst_caps_unref(i420);
  return format;
}

bool TakesFormat(GstElementFactory* encoder, const GstCaps* format) {
  const GstStructure* s = format && !gst_caps_is_empty(format) ? gst_caps_get_structure(format, 0) : nullptr;
  if (!s) return true;
  GstStructure* wanted = gst_structure_new_empty("video/x-raw");
  for (const char* field : {"width", "height", "framerate"})
    if (const GValue* value = gst_structure_get_value(s, field)) gst_structure_set_value(wanted, field, value);
  if (AcceptsI420(encoder)) gst_structure_set(wanted, "format", G_TYPE_STRING, "I420", nullptr);
  CapsPtr caps(gst_caps_new_full(wanted, nullptr));
  CapsPtr sink(SinkCaps(encoder));
  return gst_caps_can_intersect(sink.get(), caps.get());
}

void CheckCompressors(const std::vector<GstElementFactory*>& encoders, std::chrono::milliseconds stageLimit,
                      const CheckAnswer& answer, const std::string& endless) {
  gchar* folder = g_dir_make_tmp("ornik-compressors-XXXXXX", nullptr);
  if (!folder) return;  // no answer: nothing could be written
  std::vector<std::unique_ptr<Check>> checks;
  for (std::size_t i = 0; i < encoders.size(); ++i) {
    checks.push_back(std::make_unique<Check>());
    gchar* file = g_strdup_printf("%s/%zu.avi", folder, i);
    checks.back()->file = file;
    g_free(file);
  }
  // A few at a time: each stage ends in its end of stream (with frames), an error, or its limit.
  using Clock = std::chrono::steady_clock;
  std::size_t next = 0, running = 0;
  for (bool waiting = true; waiting;) {
    for (; running < kChecksAtOnce && next < checks.size(); ++next) {
      Check& check = *checks[next];
      check.deadline = Clock::now() + stageLimit;
      if (StartRecording(check, encoders[next], endless == GST_OBJECT_NAME(encoders[next]))) {
        ++running;
      } else {
        EndCheck(check);
        answer(next, false);
      }
    }
    waiting = running > 0;
    bool moved = false;
    for (std::size_t i = 0; i < next; ++i) {
      Check& check = *checks[i];
      if (check.stage == Check::Stage::Done) continue;
      BusPtr bus = Adopt(gst_element_get_bus(check.pipeline.get()));
      GstMessage* m = gst_bus_pop_filtered(bus.get(), GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
      if (!m && Clock::now() < check.deadline) continue;
      moved = moved || m;
      const bool ended = m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS && check.frames > 0;
      const bool unanswered = !m || (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR && FileError(m));
      if (m) gst_message_unref(m);
      if (!ended) {
        EndCheck(check);
        if (!unanswered) answer(i, false);
      } else if (check.stage == Check::Stage::Playing) {
        EndCheck(check);
        answer(i, true);
      } else if (!StartPlaying(check)) {
        EndCheck(check);
        answer(i, false);
      } else {
        check.stage = Check::Stage::Playing;
        check.deadline = Clock::now() + stageLimit;
      }
      if (check.stage == Check::Stage::Done) --running;
    }
    if (waiting && !moved) g_usleep(2000);  // none of them got further
  }
  for (auto& check : checks) g_remove(check->file.c_str());
  g_rmdir(folder);
  g_free(folder);
}

}  // namespace capture
