#include "engine/compressor.h"

#include <cmath>
#include <cstring>

namespace capture {

namespace {

struct Capability {
  std::int32_t flag;
  const char* properties[4];
};

// The properties that carry each setting, the most common names first.
const Capability kCapabilities[] = {
    {kCompCanQuality, {"quality", nullptr}},
    {kCompCanCrunch, {"bitrate", "target-bitrate", nullptr}},
    {kCompCanKeyFrame, {"key-int-max", "gop-size", "keyframe-max-dist", nullptr}},
    {kCompCanBFrame, {"bframes", "max-bframes", "b-frames", nullptr}},
};

bool IsNumber(GParamSpec* p) {
  const GType t = G_PARAM_SPEC_VALUE_TYPE(p);
  return t == G_TYPE_INT || t == G_TYPE_UINT || t == G_TYPE_INT64 || t == G_TYPE_UINT64 || t == G_TYPE_FLOAT ||
         t == G_TYPE_DOUBLE || t == G_TYPE_LONG || t == G_TYPE_ULONG;
}

// A numeric property read or written as a double, with its range.
double Get(GstElement* e, GParamSpec* p) {
  GValue v = G_VALUE_INIT;
  g_value_init(&v, G_TYPE_DOUBLE);
  GValue raw = G_VALUE_INIT;
  g_value_init(&raw, G_PARAM_SPEC_VALUE_TYPE(p));
  g_object_get_property(G_OBJECT(e), p->name, &raw);
  g_value_transform(&raw, &v);
  const double d = g_value_get_double(&v);
  g_value_unset(&raw);
  g_value_unset(&v);
  return d;
}

void Range(GParamSpec* p, double* lo, double* hi) {
  *lo = 0;
  *hi = 0;
  if (G_IS_PARAM_SPEC_INT(p)) *lo = G_PARAM_SPEC_INT(p)->minimum, *hi = G_PARAM_SPEC_INT(p)->maximum;
  else if (G_IS_PARAM_SPEC_UINT(p)) *lo = G_PARAM_SPEC_UINT(p)->minimum, *hi = G_PARAM_SPEC_UINT(p)->maximum;
  else if (G_IS_PARAM_SPEC_INT64(p)) *lo = double(G_PARAM_SPEC_INT64(p)->minimum), *hi = double(G_PARAM_SPEC_INT64(p)->maximum);
  else if (G_IS_PARAM_SPEC_UINT64(p)) *lo = double(G_PARAM_SPEC_UINT64(p)->minimum), *hi = double(G_PARAM_SPEC_UINT64(p)->maximum);
  else if (G_IS_PARAM_SPEC_FLOAT(p)) *lo = G_PARAM_SPEC_FLOAT(p)->minimum, *hi = G_PARAM_SPEC_FLOAT(p)->maximum;
  else if (G_IS_PARAM_SPEC_DOUBLE(p)) *lo = G_PARAM_SPEC_DOUBLE(p)->minimum, *hi = G_PARAM_SPEC_DOUBLE(p)->maximum;
}

HRESULT Set(GstElement* e, GParamSpec* p, double d) {
  double lo = 0, hi = 0;
  Range(p, &lo, &hi);
  if (d < lo || d > hi) return com::E_INVALIDARG;
  GValue v = G_VALUE_INIT;
  g_value_init(&v, G_TYPE_DOUBLE);
  g_value_set_double(&v, G_PARAM_SPEC_VALUE_TYPE(p) == G_TYPE_DOUBLE || G_PARAM_SPEC_VALUE_TYPE(p) == G_TYPE_FLOAT
                             ? d
                             : std::round(d));
  GValue raw = G_VALUE_INIT;
  g_value_init(&raw, G_PARAM_SPEC_VALUE_TYPE(p));
  const bool ok = g_value_transform(&v, &raw);
  if (ok) g_object_set_property(G_OBJECT(e), p->name, &raw);
  g_value_unset(&raw);
  g_value_unset(&v);
  return ok ? com::S_OK : com::E_FAIL;
}

// A bit rate property given in kbit/s says so in its description.
double BitRateUnit(GParamSpec* p) {
  const char* blurb = g_param_spec_get_blurb(p);
  return blurb && (std::strstr(blurb, "kbit") || std::strstr(blurb, "kbps")) ? 1000.0 : 1.0;
}

}  // namespace

GParamSpec* CompressorSettings::Find(std::int32_t capability) const {
  if (!encoder_) return nullptr;
  for (const Capability& c : kCapabilities) {
    if (c.flag != capability) continue;
    for (const char* const* name = c.properties; *name; ++name) {
      GParamSpec* p = g_object_class_find_property(G_OBJECT_GET_CLASS(encoder_), *name);
      if (p && IsNumber(p) && (p->flags & G_PARAM_READWRITE) == G_PARAM_READWRITE) return p;
    }
  }
  return nullptr;
}

std::int32_t CompressorSettings::Caps() const {
  std::int32_t caps = 0;
  for (const Capability& c : kCapabilities)
    if (Find(c.flag)) caps |= c.flag;
  return caps;
}

HRESULT CompressorSettings::GetQuality(double* quality) const {
  GParamSpec* p = Find(kCompCanQuality);
  if (!p) return com::E_FAIL;
  double lo = 0, hi = 0;
  Range(p, &lo, &hi);
  *quality = hi > lo ? (Get(encoder_, p) - lo) / (hi - lo) : 0.0;
  return com::S_OK;
}

HRESULT CompressorSettings::SetQuality(double quality) {
  GParamSpec* p = Find(kCompCanQuality);
  if (!p) return com::E_FAIL;
  if (!(quality >= 0.0 && quality <= 1.0)) return com::E_INVALIDARG;
  double lo = 0, hi = 0;
  Range(p, &lo, &hi);
  return Set(encoder_, p, lo + quality * (hi - lo));
}

HRESULT CompressorSettings::GetKeyFrameRate(std::int32_t* rate) const {
  GParamSpec* p = Find(kCompCanKeyFrame);
  if (!p) return com::E_FAIL;
  *rate = std::int32_t(Get(encoder_, p));
  return com::S_OK;
}

HRESULT CompressorSettings::SetKeyFrameRate(std::int32_t rate) {
  GParamSpec* p = Find(kCompCanKeyFrame);
  return p ? Set(encoder_, p, rate) : com::E_FAIL;
}

HRESULT CompressorSettings::GetPFramesPerKeyFrame(std::int32_t* frames) const {
  GParamSpec* p = Find(kCompCanBFrame);
  if (!p) return com::E_FAIL;
  *frames = std::int32_t(Get(encoder_, p));
  return com::S_OK;
}

HRESULT CompressorSettings::SetPFramesPerKeyFrame(std::int32_t frames) {
  GParamSpec* p = Find(kCompCanBFrame);
  return p ? Set(encoder_, p, frames) : com::E_FAIL;
}

HRESULT CompressorSettings::GetBitRate(std::int32_t* bitsPerSecond) const {
  GParamSpec* p = Find(kCompCanCrunch);
  if (!p) return com::E_FAIL;
  *bitsPerSecond = std::int32_t(Get(encoder_, p) * BitRateUnit(p));
  return com::S_OK;
}

HRESULT CompressorSettings::SetBitRate(std::int32_t bitsPerSecond) {
  GParamSpec* p = Find(kCompCanCrunch);
  return p ? Set(encoder_, p, double(bitsPerSecond) / BitRateUnit(p)) : com::E_FAIL;
}

bool CompressorSettings::TakesNow(std::int32_t capability) const {
  GParamSpec* p = Find(capability);
  return p && ((p->flags & GST_PARAM_MUTABLE_PLAYING) || GST_STATE(encoder_) <= GST_STATE_READY);
}

HRESULT CompressorSettings::Apply(std::int32_t capability, double value) {
  switch (capability) {
    case kCompCanQuality: return SetQuality(value);
    case kCompCanCrunch: return SetBitRate(std::int32_t(value));
    case kCompCanKeyFrame: return SetKeyFrameRate(std::int32_t(value));
    case kCompCanBFrame: return SetPFramesPerKeyFrame(std::int32_t(value));
    default: return com::E_INVALIDARG;
  }
}

}  // namespace capture
