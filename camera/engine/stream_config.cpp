#include "engine/stream_config.h"

#include <cstdlib>
#include <limits>

namespace capture {

namespace {

// Smallest and largest value of an int field (plain, range or list) and its step.
void IntBounds(const GValue* v, int* lo, int* hi, int* step) {
  *lo = *hi = 0;
  *step = 0;
  if (!v) return;
  if (G_VALUE_HOLDS_INT(v)) {
    *lo = *hi = g_value_get_int(v);
  } else if (GST_VALUE_HOLDS_INT_RANGE(v)) {
    *lo = gst_value_get_int_range_min(v);
    *hi = gst_value_get_int_range_max(v);
    *step = gst_value_get_int_range_step(v);
  }
}

gint64 FrameTime(int n, int d) { return n > 0 ? gint64(gst_util_uint64_scale(10000000, guint64(d), guint64(n))) : 0; }

// Every frame rate an entry offers: fixed values as (n, d); a range as its two ends with `range`.
struct Rate {
  int n = 0, d = 1;
};
std::vector<Rate> Rates(const GValue* v, bool* isRange) {
  std::vector<Rate> out;
  *isRange = false;
  if (!v) return out;
  if (GST_VALUE_HOLDS_FRACTION(v)) {
    out.push_back({gst_value_get_fraction_numerator(v), gst_value_get_fraction_denominator(v)});
  } else if (GST_VALUE_HOLDS_LIST(v)) {
    for (guint i = 0; i < gst_value_list_get_size(v); ++i) {
      bool r = false;
      for (Rate rate : Rates(gst_value_list_get_value(v, i), &r)) out.push_back(rate);
    }
  } else if (GST_VALUE_HOLDS_FRACTION_RANGE(v)) {
    *isRange = true;
    const GValue* lo = gst_value_get_fraction_range_min(v);
    const GValue* hi = gst_value_get_fraction_range_max(v);
    out.push_back({gst_value_get_fraction_numerator(lo), gst_value_get_fraction_denominator(lo)});
    out.push_back({gst_value_get_fraction_numerator(hi), gst_value_get_fraction_denominator(hi)});
  }
  return out;
}

bool Faster(Rate a, Rate b) { return gint64(a.n) * b.d > gint64(b.n) * a.d; }

// The frame rate to use: the one nearest to `frameTime` within 1 %, or the fastest offered when
// frameTime is 0. False when no offered rate is near enough.
bool ChooseRate(const GValue* v, gint64 frameTime, Rate* out) {
  bool range = false;
  std::vector<Rate> rates = Rates(v, &range);
  if (rates.empty()) {  // a device that names no rate
    *out = {0, 1};
    return frameTime == 0 || v == nullptr;
  }
  if (frameTime <= 0) {
    *out = rates[0];
    for (Rate r : rates)
      if (Faster(r, *out)) *out = r;
    return out->n > 0;
  }
  if (range) {
    gint64 slow = FrameTime(rates[0].n, rates[0].d), fast = FrameTime(rates[1].n, rates[1].d);
    if (rates[0].n == 0) slow = std::numeric_limits<gint64>::max();
    if (frameTime <= slow && frameTime >= fast) {
      gint n = 0, d = 0;
      gst_util_double_to_fraction(1e7 / double(frameTime), &n, &d);
      *out = {n, d};
      return true;
    }
  }
  bool found = false;
  gint64 best = 0;
  for (Rate r : rates) {
    if (r.n <= 0) continue;
    gint64 diff = std::llabs(FrameTime(r.n, r.d) - frameTime);
    if (!found || diff < best) {
      found = true;
      best = diff;
      *out = r;
    }
  }
  return found && best * 100 <= frameTime;
}

bool IsDecodable(const GstStructure* s) {
  return gst_structure_has_name(s, "video/x-raw") || gst_structure_has_name(s, "image/jpeg") ||
         gst_structure_has_name(s, "video/x-dv");
}

}  // namespace

StreamConfig::StreamConfig(GstCaps* deviceCaps) : deviceCaps_(deviceCaps) {
  if (!deviceCaps_) deviceCaps_ = gst_caps_new_empty();
  for (guint i = 0; i < gst_caps_get_size(deviceCaps_); ++i) {
    GstCapsFeatures* features = gst_caps_get_features(deviceCaps_, i);
    if (features && !gst_caps_features_is_any(features) &&
        !gst_caps_features_is_equal(features, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY))
      continue;  // buffers the engine cannot map
    AddEntries(gst_caps_get_structure(deviceCaps_, i));
  }
  // The output starts on the device's own format: its first entry the engine can show.
  for (const Entry& e : entries_) {
    if (!e.decodable) continue;
    current_ = Fixate(e, nullptr, 0);
    if (current_) break;
  }
  if (!current_ && !entries_.empty()) current_ = Fixate(entries_[0], nullptr, 0);
}

StreamConfig::~StreamConfig() {
  for (Entry& e : entries_) gst_structure_free(e.structure);
  if (current_) gst_structure_free(current_);
  gst_caps_unref(deviceCaps_);
}

// One entry per format and per listed size; ranges stay ranges.
void StreamConfig::AddEntries(const GstStructure* s) {
  auto expand = [](const GstStructure* in, const char* field, std::vector<GstStructure*>& out) {
    const GValue* v = gst_structure_get_value(in, field);
    if (v && GST_VALUE_HOLDS_LIST(v)) {
      for (guint i = 0; i < gst_value_list_get_size(v); ++i) {
        GstStructure* one = gst_structure_copy(in);
        gst_structure_set_value(one, field, gst_value_list_get_value(v, i));
        out.push_back(one);
      }
    } else {
      out.push_back(gst_structure_copy(in));
    }
  };
  std::vector<GstStructure*> stage{gst_structure_copy(s)};
  for (const char* field : {"format", "width", "height"}) {
    std::vector<GstStructure*> next;
    for (GstStructure* one : stage) {
      expand(one, field, next);
      gst_structure_free(one);
    }
    stage = std::move(next);
  }
  for (GstStructure* one : stage) {
    Entry e;
    e.structure = one;
    e.decodable = IsDecodable(one);
    IntBounds(gst_structure_get_value(one, "width"), &e.range.MinOutputSizeX, &e.range.MaxOutputSizeX,
              &e.range.OutputGranularityX);
    IntBounds(gst_structure_get_value(one, "height"), &e.range.MinOutputSizeY, &e.range.MaxOutputSizeY,
              &e.range.OutputGranularityY);
    bool range = false;
    std::vector<Rate> rates = Rates(gst_structure_get_value(one, "framerate"), &range);
    for (Rate r : rates) {
      gint64 t = r.n > 0 ? FrameTime(r.n, r.d) : 0;
      if (!t) continue;
      if (!e.range.MinFrameInterval || t < e.range.MinFrameInterval) e.range.MinFrameInterval = t;
      if (t > e.range.MaxFrameInterval) e.range.MaxFrameInterval = t;
    }
    GstStructure* fixed = Fixate(e, nullptr, 0);
    if (fixed) {
      e.defaultType = MediaTypeFromStructure(fixed);
      gst_structure_free(fixed);
    } else {
      InitMediaType(e.defaultType);
    }
    entries_.push_back(std::move(e));
  }
}

// The entry narrowed to one size and rate: the wanted size (or the largest), the rate nearest to
// frameTime (or the fastest). Null when the entry cannot deliver what is wanted.
GstStructure* StreamConfig::Fixate(const Entry& e, const GstStructure* wanted, gint64 frameTime) const {
  GstStructure* s = nullptr;
  if (wanted) {
    if (!gst_structure_can_intersect(e.structure, wanted)) return nullptr;
    s = gst_structure_intersect(e.structure, wanted);
    if (!s) return nullptr;
  } else {
    s = gst_structure_copy(e.structure);
    gst_structure_fixate_field_nearest_int(s, "width", G_MAXINT);
    gst_structure_fixate_field_nearest_int(s, "height", G_MAXINT);
  }
  Rate rate;
  const GValue* rates = gst_structure_get_value(e.structure, "framerate");
  if (!ChooseRate(rates, frameTime, &rate)) {
    gst_structure_free(s);
    return nullptr;
  }
  if (rates) gst_structure_set(s, "framerate", GST_TYPE_FRACTION, rate.n, rate.d, nullptr);
  if (gst_structure_has_field(s, "pixel-aspect-ratio"))
    gst_structure_fixate_field_nearest_fraction(s, "pixel-aspect-ratio", 1, 1);
  GstCaps* caps = gst_caps_new_full(s, nullptr);
  caps = gst_caps_fixate(caps);
  GstStructure* fixed = gst_structure_copy(gst_caps_get_structure(caps, 0));
  gst_caps_unref(caps);
  return fixed;
}

HRESULT StreamConfig::GetStreamCaps(int index, MediaType* mt, VideoStreamConfigCaps* scc) const {
  if (index < 0) return com::E_INVALIDARG;
  if (index >= GetNumberOfCapabilities()) return com::S_FALSE;
  if (!mt || !scc) return com::E_POINTER;
  *mt = entries_[std::size_t(index)].defaultType;
  *scc = entries_[std::size_t(index)].range;
  return com::S_OK;
}

HRESULT StreamConfig::GetFormat(MediaType* mt) const {
  if (!mt) return com::E_POINTER;
  if (!current_) return com::VFW_E_NOT_CONNECTED;
  *mt = MediaTypeFromStructure(current_);
  return com::S_OK;
}

HRESULT StreamConfig::SetFormat(const MediaType& mt) {
  const VideoInfoHeader* vih = mt.Vih();
  GstCaps* wantedCaps = CapsFromMediaType(mt);
  if (!vih || !wantedCaps) {
    if (wantedCaps) gst_caps_unref(wantedCaps);
    return com::VFW_E_INVALIDMEDIATYPE;
  }
  const int bits = BitCountOfSubtype(mt.subtype);
  if (bits && vih->bmiHeader.biBitCount && vih->bmiHeader.biBitCount != bits) {
    gst_caps_unref(wantedCaps);
    return com::VFW_E_INVALIDMEDIATYPE;
  }
  const GstStructure* wanted = gst_caps_get_structure(wantedCaps, 0);
  GstStructure* chosen = nullptr;
  for (const Entry& e : entries_)
    if ((chosen = Fixate(e, wanted, vih->AvgTimePerFrame > 0 ? vih->AvgTimePerFrame : 0))) break;
  gst_caps_unref(wantedCaps);
  if (!chosen) return com::VFW_E_INVALIDMEDIATYPE;
  if (current_) gst_structure_free(current_);
  current_ = chosen;
  chosen_ = true;
  return com::S_OK;
}

HRESULT StreamConfig::SetFormatOrSize(const MediaType& mt) {
  const HRESULT result = SetFormat(mt);
  const VideoInfoHeader* vih = mt.Vih();
  if (Succeeded(result) || chosen_ || !vih || vih->bmiHeader.biWidth <= 0 || vih->bmiHeader.biHeight == 0)
    return result;
  GstStructure* size = gst_structure_new("size", "width", G_TYPE_INT, int(vih->bmiHeader.biWidth), "height", G_TYPE_INT,
                                         std::abs(int(vih->bmiHeader.biHeight)), nullptr);
  GstStructure* best = nullptr;
  Rate bestRate;
  for (const Entry& e : entries_) {
    if (!e.decodable) continue;
    gst_structure_set_name(size, gst_structure_get_name(e.structure));
    GstStructure* fixed = Fixate(e, size, 0);
    Rate rate;
    if (!fixed || !gst_structure_get_fraction(fixed, "framerate", &rate.n, &rate.d)) rate = {0, 1};
    if (fixed && (!best || Faster(rate, bestRate))) {
      if (best) gst_structure_free(best);
      best = fixed;
      bestRate = rate;
    } else if (fixed) {
      gst_structure_free(fixed);
    }
  }
  gst_structure_free(size);
  if (!best) return result;
  if (current_) gst_structure_free(current_);
  current_ = best;
  chosen_ = true;
  return com::S_OK;
}

GstCaps* StreamConfig::CurrentCaps() const {
  return current_ ? gst_caps_new_full(gst_structure_copy(current_), nullptr) : gst_caps_new_empty();
}

}  // namespace capture
