#include "engine/timeline.h"

#include <ges/ges.h>
#include <gst/pbutils/pbutils.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

#include "engine/avi_header.h"
#include "engine/decoding.h"
#include "engine/gst_errors.h"
#include "engine/gst_ptr.h"

namespace capture {

namespace {

using namespace std::chrono_literals;

// A timeline that does not finish loading within this is taken as unreadable.
constexpr auto kLoadTimeout = 10s;

struct GObjectUnref {
  void operator()(gpointer p) const {
    if (p) g_object_unref(p);
  }
};
template <class T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

// GStreamer 1.22's encoding profiles do not chain their finalize up to GObject's, so what GLib
// keeps in a profile's data list is never released with it: the list GLib itself attaches while
// it drops the last reference of an object that has "notify" handlers (encodebin connects some
// to every profile it is given) is lost with every rendered profile. The profile classes' finalize
// is completed once per process with the data list's release; where a later GStreamer chains up,
// GObject has emptied the list already and the release does nothing.
GObjectFinalizeFunc gProfileFinalize = nullptr;

void FinalizeProfileAndItsData(GObject* object) {
  gProfileFinalize(object);
  g_datalist_clear(&object->qdata);
}

}  // namespace

void CompleteEncodingProfileFinalize() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto* base = static_cast<GObjectClass*>(g_type_class_ref(GST_TYPE_ENCODING_PROFILE));
    gProfileFinalize = base->finalize;
    // The stream profiles inherit the base finalize; the container's own chains up to the base.
    for (GType type : {GST_TYPE_ENCODING_PROFILE, GST_TYPE_ENCODING_VIDEO_PROFILE, GST_TYPE_ENCODING_AUDIO_PROFILE,
                       GST_TYPE_ENCODING_CONTAINER_PROFILE}) {
      auto* klass = static_cast<GObjectClass*>(g_type_class_ref(type));
      if (klass->finalize == gProfileFinalize) klass->finalize = &FinalizeProfileAndItsData;
      // Classes stay referenced for the process: their finalize must outlive every profile.
    }
  });
}

namespace {

struct ProfileUnref {
  void operator()(GstEncodingProfile* p) const {
    if (p) gst_encoding_profile_unref(p);
  }
};
using ProfilePtr = std::unique_ptr<GstEncodingProfile, ProfileUnref>;

std::string UriOf(const std::string& file) {
  gchar* uri = gst_filename_to_uri(file.c_str(), nullptr);
  std::string out = uri ? uri : "";
  g_free(uri);
  return out;
}

HRESULT FromGError(GError* error, HRESULT fallback) {
  HRESULT result = fallback;
  if (error && error->domain == G_FILE_ERROR) result = com::E_FILE_NOT_FOUND;
  if (error && error->domain == G_IO_ERROR && error->code == G_IO_ERROR_NOT_FOUND) result = com::E_FILE_NOT_FOUND;
  if (error && error->domain == GST_RESOURCE_ERROR) result = com::E_FILE_NOT_FOUND;
  if (error) g_error_free(error);
  return result;
}

bool EndsWithWav(const std::string& name) {
  if (name.size() <= 4) return false;
  const std::string tail = name.substr(name.size() - 3);
  return g_ascii_strcasecmp(tail.c_str(), "wav") == 0;
}

// The project's timeline, loaded with a bounded wait.
HRESULT LoadTimeline(const std::string& timelineFile, GPtr<GESTimeline>* out) {
  const std::string uri = UriOf(timelineFile);
  if (uri.empty()) return com::E_INVALIDARG;
  GPtr<GESProject> project(ges_project_new(uri.c_str()));
  struct State {
    bool loaded = false;
    bool failed = false;
  } state;
  const gulong loaded = g_signal_connect_swapped(project.get(), "loaded", G_CALLBACK(+[](State* s) { s->loaded = true; }), &state);
  const gulong failed = g_signal_connect_swapped(project.get(), "error-loading",
                                                 G_CALLBACK(+[](State* s) { s->failed = true; }), &state);
  GError* error = nullptr;
  GstElement* extracted = GST_ELEMENT(ges_asset_extract(GES_ASSET(project.get()), &error));
  GPtr<GESTimeline> timeline(extracted ? GES_TIMELINE(g_object_ref_sink(extracted)) : nullptr);
  const auto deadline = std::chrono::steady_clock::now() + kLoadTimeout;
  while (timeline && !state.loaded && !state.failed && std::chrono::steady_clock::now() < deadline)
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(2000);
  g_signal_handler_disconnect(project.get(), loaded);
  g_signal_handler_disconnect(project.get(), failed);
  if (!timeline) return FromGError(error, com::VFW_E_INVALID_FILE_FORMAT);
  if (error) g_error_free(error);
  if (!state.loaded) return state.failed ? com::VFW_E_INVALID_FILE_FORMAT : com::VFW_E_TIMEOUT;
  *out = std::move(timeline);
  return com::S_OK;
}

// The one clip of a cut description; null when the timeline is anything else.
GESUriClip* CutClip(GESTimeline* timeline) {
  GList* layers = ges_timeline_get_layers(timeline);
  GESUriClip* clip = nullptr;
  if (layers && !layers->next) {
    GList* clips = ges_layer_get_clips(GES_LAYER(layers->data));
    if (clips && !clips->next && GES_IS_URI_CLIP(clips->data)) clip = GES_URI_CLIP(clips->data);
    g_list_free_full(clips, gst_object_unref);  // the layer keeps the clip
  }
  g_list_free_full(layers, gst_object_unref);
  return clip;
}

// The caps of the first video stream of the clip's file; null when it has none.
GstCaps* SourceVideoCaps(GESUriClip* clip) {
  GESAsset* asset = ges_extractable_get_asset(GES_EXTRACTABLE(clip));
  GstDiscovererInfo* info = asset ? ges_uri_clip_asset_get_info(GES_URI_CLIP_ASSET(asset)) : nullptr;
  if (!info) return nullptr;
  GList* videos = gst_discoverer_info_get_video_streams(info);
  GstCaps* caps = videos ? gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(videos->data)) : nullptr;
  gst_discoverer_stream_info_list_free(videos);
  return caps;
}

GESTrack* FindTrack(GESTimeline* timeline, GESTrackType type) {
  for (GList* l = timeline->tracks; l; l = l->next)
    if (GES_TRACK(l->data)->type == type) return GES_TRACK(l->data);
  return nullptr;
}

// The video of the cut as AVI: 24-bit RGB of the source's size, or the source's own coding.
HRESULT AviProfile(GESTimeline* timeline, GESUriClip* clip, bool compressed, ProfilePtr* out) {
  CapsPtr source(SourceVideoCaps(clip));
  GESTrack* video = FindTrack(timeline, GES_TRACK_TYPE_VIDEO);
  if (!source || gst_caps_is_empty(source.get()) || !video) return com::VFW_E_INVALIDMEDIATYPE;
  const GstStructure* s = gst_caps_get_structure(source.get(), 0);
  int width = 0, height = 0, fpsN = 0, fpsD = 1;
  gst_structure_get_int(s, "width", &width);
  gst_structure_get_int(s, "height", &height);
  gst_structure_get_fraction(s, "framerate", &fpsN, &fpsD);
  if (width <= 0 || height <= 0) return com::VFW_E_INVALIDMEDIATYPE;
  // The track renders at the source's size and rate, not at its default of 1280 x 720 at 30.
  CapsPtr restriction(gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                          nullptr));
  if (fpsN > 0) gst_caps_set_simple(restriction.get(), "framerate", GST_TYPE_FRACTION, fpsN, fpsD, nullptr);
  ges_track_set_restriction_caps(video, restriction.get());
  // The clip was placed into the track's frame of its time (a 4:3 picture centred and enlarged
  // in 16:9): it fills the frame of the source's size exactly, one source pixel to one.
  ges_timeline_element_set_child_properties(GES_TIMELINE_ELEMENT(clip), "posx", 0, "posy", 0, "width", width, "height",
                                            height, nullptr);

  CapsPtr format;
  if (!compressed) {
    format.reset(gst_caps_from_string("video/x-raw,format=BGR"));
    // Uncompressed RGB in AVI is a bitmap: its rows are stored bottom-up.
    GESEffect* flip = ges_effect_new("videoflip method=vertical-flip");
    if (!flip || !ges_container_add(GES_CONTAINER(clip), GES_TIMELINE_ELEMENT(flip))) return com::VFW_E_CANNOT_CONNECT;
  }
  else if (gst_structure_has_name(s, "video/x-raw"))
    format.reset(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, gst_structure_get_string(s, "format"),
                                     nullptr));
  else format.reset(gst_caps_new_empty_simple(gst_structure_get_name(s)));
  CapsPtr avi(gst_caps_from_string("video/x-msvideo"));
  GstEncodingContainerProfile* container = gst_encoding_container_profile_new("avi", nullptr, avi.get(), nullptr);
  GstEncodingVideoProfile* vp = gst_encoding_video_profile_new(format.get(), nullptr, nullptr, 0);
  // Without it the encoder's own rate converter drops and repeats frames.
  gst_encoding_video_profile_set_variableframerate(vp, TRUE);
  gst_encoding_container_profile_add_profile(container, GST_ENCODING_PROFILE(vp));
  out->reset(GST_ENCODING_PROFILE(container));
  return com::S_OK;
}

// The sound of the cut as WAV: the timeline gets an audio track in place of its video track.
HRESULT WavProfile(GESTimeline* timeline, ProfilePtr* out) {
  if (GESTrack* video = FindTrack(timeline, GES_TRACK_TYPE_VIDEO)) ges_timeline_remove_track(timeline, video);
  if (!FindTrack(timeline, GES_TRACK_TYPE_AUDIO) && !ges_timeline_add_track(timeline, GES_TRACK(ges_audio_track_new())))
    return com::E_FAIL;
  CapsPtr wav(gst_caps_from_string("audio/x-wav"));
  CapsPtr pcm(gst_caps_from_string("audio/x-raw,format=S16LE"));
  GstEncodingContainerProfile* container = gst_encoding_container_profile_new("wav", nullptr, wav.get(), nullptr);
  gst_encoding_container_profile_add_profile(
      container, GST_ENCODING_PROFILE(gst_encoding_audio_profile_new(pcm.get(), nullptr, nullptr, 0)));
  out->reset(GST_ENCODING_PROFILE(container));
  return com::S_OK;
}

struct RenderState {
  std::atomic<bool> ended{false};
  std::atomic<HRESULT> failure{com::S_OK};
};

GstBusSyncReply OnRenderMessage(GstBus*, GstMessage* message, gpointer data) {
  auto* state = static_cast<RenderState*>(data);
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
    state->failure = HResultFromGstMessage(message);
    state->ended = true;
  } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
    state->ended = true;
  }
  gst_message_unref(message);
  return GST_BUS_DROP;
}

}  // namespace

short ProgressPercent(std::int64_t position, std::int64_t total) {
  if (total <= 0 || position <= 0) return 0;
  return short(std::min<std::int64_t>(position, total) * 100 / total);
}

HRESULT WriteCutTimeline(const std::string& inFile, const std::string& timelineFile, std::int64_t start,
                         std::int64_t stop) {
  // A clip needs a file to come from and a length.
  if (inFile.empty() || timelineFile.empty() || start < 0 || stop <= start) return com::E_INVALIDARG;
  if (!ges_init()) return com::REGDB_E_CLASSNOTREG;
  GError* error = nullptr;
  GPtr<GESUriClipAsset> asset(ges_uri_clip_asset_request_sync(UriOf(inFile).c_str(), &error));
  if (!asset) return FromGError(error, com::VFW_E_INVALID_FILE_FORMAT);
  GPtr<GESTimeline> timeline(GES_TIMELINE(g_object_ref_sink(ges_timeline_new())));
  if (!ges_timeline_add_track(timeline.get(), GES_TRACK(ges_video_track_new()))) return com::E_FAIL;
  GESLayer* layer = ges_timeline_append_layer(timeline.get());
  GESClip* clip = ges_layer_add_asset(layer, GES_ASSET(asset.get()), 0, GstClockTime(start) * 100,
                                      GstClockTime(stop - start) * 100, GES_TRACK_TYPE_UNKNOWN);
  if (!clip) return com::E_FAIL;
  const std::string uri = UriOf(timelineFile);
  if (!ges_timeline_save_to_uri(timeline.get(), uri.c_str(), nullptr, TRUE, &error))
    return FromGError(error, com::E_FAIL);
  return com::S_OK;
}

HRESULT RenderCutTimeline(const std::string& outFile, const std::string& timelineFile, bool compressed,
                          HostWait& wait, const std::function<void(short)>& progress) {
  if (outFile.empty()) return com::E_INVALIDARG;
  if (!ges_init()) return com::REGDB_E_CLASSNOTREG;
  GPtr<GESTimeline> timeline;
  HRESULT result = LoadTimeline(timelineFile, &timeline);
  if (Failed(result)) return result;
  GESUriClip* clip = CutClip(timeline.get());
  if (!clip) return com::VFW_E_INVALID_FILE_FORMAT;
  CompleteEncodingProfileFinalize();
  ProfilePtr profile;
  result = EndsWithWav(outFile) ? WavProfile(timeline.get(), &profile)
                                : AviProfile(timeline.get(), clip, compressed, &profile);
  if (Failed(result)) return result;
  ges_timeline_commit_sync(timeline.get());
  const std::int64_t total = std::int64_t(ges_timeline_get_duration(timeline.get()));

  ElementPtr pipeline = Sink(GST_ELEMENT(ges_pipeline_new()));
  auto* ges = GES_PIPELINE(pipeline.get());
  MendDecodingInside(GST_BIN(pipeline.get()));
  if (!ges_pipeline_set_timeline(ges, GES_TIMELINE(g_object_ref(timeline.get()))) ||
      !ges_pipeline_set_render_settings(ges, UriOf(outFile).c_str(), profile.get()) ||
      !ges_pipeline_set_mode(ges, GES_PIPELINE_MODE_RENDER))
    return com::VFW_E_CANNOT_CONNECT;
  RenderState state;
  BusPtr bus = Adopt(gst_element_get_bus(pipeline.get()));
  gst_bus_set_sync_handler(bus.get(), &OnRenderMessage, &state, nullptr);

  // The render takes as long as it takes (a loaded machine, a slow encoder): only its end of
  // stream or an error on the bus ends the wait.
  std::int64_t position = 0;
  auto tick = [&] {
    gint64 now = 0;
    if (gst_element_query_position(pipeline.get(), GST_FORMAT_TIME, &now) && now > position) position = now;
    if (progress) progress(ProgressPercent(position, total));
  };
  if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    result = state.failure;
    if (Succeeded(result)) result = com::VFW_E_RUNTIME_ERROR;
  } else {
    wait.Pump([&] { return state.ended.load(); }, HostWait::kNoLimit, tick);
    if (Failed(state.failure.load())) result = state.failure;
  }
  if (Succeeded(result)) position = total;  // the end of the stream is the end of the timeline
  if (progress) progress(ProgressPercent(position, total));
  gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
  if (Succeeded(result) && !compressed && !EndsWithWav(outFile)) FixRawImageSize(outFile);
  return result;
}

}  // namespace capture
