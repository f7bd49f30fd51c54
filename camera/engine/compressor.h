#pragma once
// The settings of a video compressor (a GStreamer video encoder) as hosts know them: capability
// flags, quality (0.0 to 1.0), key-frame rate, predicted frames per key frame and the data rate.
// Each setting maps to the first of the encoder's properties that carries it; an encoder without
// such a property lacks the capability.
#include <gst/gst.h>

#include <cstdint>

#include "engine/hresult.h"

namespace capture {

// Capability flags of a compressor.
inline constexpr std::int32_t kCompCanQuality = 1;
inline constexpr std::int32_t kCompCanCrunch = 2;
inline constexpr std::int32_t kCompCanKeyFrame = 4;
inline constexpr std::int32_t kCompCanBFrame = 8;

class CompressorSettings {
 public:
  explicit CompressorSettings(GstElement* encoder) : encoder_(encoder) {}

  std::int32_t Caps() const;
  // Quality in 0.0 to 1.0 over the property's range.
  HRESULT GetQuality(double* quality) const;
  HRESULT SetQuality(double quality);
  HRESULT GetKeyFrameRate(std::int32_t* rate) const;
  HRESULT SetKeyFrameRate(std::int32_t rate);
  HRESULT GetPFramesPerKeyFrame(std::int32_t* frames) const;
  HRESULT SetPFramesPerKeyFrame(std::int32_t frames);
  // Bits per second; the encoder's own unit (bit/s or kbit/s) is taken from the property.
  HRESULT GetBitRate(std::int32_t* bitsPerSecond) const;
  HRESULT SetBitRate(std::int32_t bitsPerSecond);
  // Whether the encoder takes a change of the setting now: some take it only before they start.
  bool TakesNow(std::int32_t capability) const;
  // Sets one setting by its capability flag (quality 0.0 to 1.0, the others whole numbers).
  HRESULT Apply(std::int32_t capability, double value);

 private:
  GParamSpec* Find(std::int32_t capability) const;
  GstElement* encoder_;  // borrowed
};

}  // namespace capture
