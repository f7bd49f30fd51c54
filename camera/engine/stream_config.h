#pragma once
// The stream configuration of a capture device's output: the list of capability entries built
// from the caps the device advertises, and the format the output currently delivers. A GStreamer
// source has one output, which serves as capture pin and as preview pin alike.
#include <gst/gst.h>

#include <vector>

#include "engine/media_type.h"

namespace capture {

class StreamConfig {
 public:
  // deviceCaps: what the device advertises (taken, not copied: the config owns the reference).
  explicit StreamConfig(GstCaps* deviceCaps);
  ~StreamConfig();
  StreamConfig(const StreamConfig&) = delete;
  StreamConfig& operator=(const StreamConfig&) = delete;

  int GetNumberOfCapabilities() const { return static_cast<int>(entries_.size()); }
  // Entry `index`: its default media type and its size range. S_FALSE past the last entry,
  // E_INVALIDARG for a negative index; the outputs are untouched then.
  HRESULT GetStreamCaps(int index, MediaType* mt, VideoStreamConfigCaps* scc) const;
  // The format the output delivers now.
  HRESULT GetFormat(MediaType* mt) const;
  // Offers a format. The device must be able to deliver it (subtype, size within an entry's
  // range, frame time within 1 % of one it offers, or any when the type gives none); otherwise
  // VFW_E_INVALIDMEDIATYPE and the current format stays.
  HRESULT SetFormat(const MediaType& mt);
  // As SetFormat; but while the output is still on the device's own default, a refused format
  // falls back to its size in any format the engine converts, at the fastest rate offered at
  // that size (a webcam lists its formats and sizes in its own order, not the host's).
  HRESULT SetFormatOrSize(const MediaType& mt);
  // Fixed caps of the current format (a new reference).
  GstCaps* CurrentCaps() const;

 private:
  struct Entry {
    GstStructure* structure = nullptr;  // one format; sizes and rates as the device gives them
    VideoStreamConfigCaps range;
    MediaType defaultType;
    bool decodable = false;
  };
  void AddEntries(const GstStructure* s);
  GstStructure* Fixate(const Entry& e, const GstStructure* wanted, gint64 frameTime) const;

  GstCaps* deviceCaps_ = nullptr;
  std::vector<Entry> entries_;
  GstStructure* current_ = nullptr;  // fixed
  bool chosen_ = false;              // current_ was asked for, not the device's default
};

}  // namespace capture
