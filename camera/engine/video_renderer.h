#pragma once
// The mixing renderer: the end of the preview branch. It keeps the newest frame, the rectangle
// of the capture window the picture goes to and one alpha bitmap mixed over the picture, and
// paints them when the capture window repaints. Nothing of it reaches the sample grabber.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QImage>
#include <QPainter>
#include <QRect>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "engine/hresult.h"
#include "engine/video_window.h"

namespace capture {

// Alpha-bitmap flags.
inline constexpr std::uint32_t kBitmapDisable = 0x1;
inline constexpr std::uint32_t kBitmapHdc = 0x2;
inline constexpr std::uint32_t kBitmapSrcColorKey = 0x8;

struct NormalizedRect {
  float left = 0, top = 0, right = 0, bottom = 0;
};

// One bitmap mixed over the video: source rectangle in bitmap pixels, destination in normalised
// frame coordinates (0 to 1 span the frame and may be exceeded), a colour key (COLORREF,
// 0x00BBGGRR) made transparent when kBitmapSrcColorKey is set.
struct AlphaBitmap {
  std::uint32_t dwFlags = 0;
  QImage bitmap;
  QRect rSrc;
  NormalizedRect rDest;
  float fAlpha = 1.0f;
  std::uint32_t clrSrcKey = 0;
  std::uint32_t dwFilterMode = 0;
};

class VideoRenderer {
 public:
  // A new renderer element (floating) that accepts BGRx frames; null when appsink is missing.
  static GstElement* Create(const char* name);
  static VideoRenderer* FromElement(GstElement* element);
  // Played files: frames are shown on the pipeline clock, and the frame a pause or a seek
  // prerolls is shown too.
  static void SyncToClock(GstElement* element);

  void SetClippingWindow(IVideoWindow* window) { window_.store(window); }
  HRESULT SetVideoPosition(const QRect& dst);
  QRect VideoPosition() const;
  // Size of the frames arriving; VFW_E_NOT_CONNECTED before the first.
  HRESULT GetNativeVideoSize(int* width, int* height) const;
  // Paints the newest frame at the destination rectangle and the alpha bitmap over it.
  void RepaintVideo(QPainter& painter);

  // An empty source rectangle is refused with E_INVALIDARG unless the bitmap is disabled.
  HRESULT SetAlphaBitmap(const AlphaBitmap& params);
  HRESULT GetAlphaBitmapParameters(AlphaBitmap* params) const;
  // Changes everything but the bitmap itself.
  HRESULT UpdateAlphaBitmapParameters(const AlphaBitmap& params);

  void SetFrameListener(std::function<void()> listener);
  std::uint64_t FramesReceived() const { return received_.load(); }
  std::uint64_t FramesPainted() const { return painted_.load(); }

 private:
  VideoRenderer() = default;
  static GstFlowReturn OnNewSample(GstAppSink* sink, gpointer self);
  static GstFlowReturn OnNewPreroll(GstAppSink* sink, gpointer self);
  void TakeFrame(GstSample* sample);
  void Invalidate();
  void RebuildKeyedBitmap();  // under mutex_

  mutable std::mutex mutex_;
  QImage frame_;  // wraps the mapped buffer of the newest sample
  QRect dst_;
  bool hasBitmap_ = false;
  AlphaBitmap bitmap_;
  QImage keyed_;  // the bitmap as premultiplied ARGB with the key made transparent
  std::atomic<IVideoWindow*> window_{nullptr};
  std::atomic<bool> repaintPending_{false};
  std::function<void()> listener_;
  std::atomic<std::uint64_t> received_{0};
  std::atomic<std::uint64_t> painted_{0};
};

}  // namespace capture
