#include "engine/video_renderer.h"

#include <gst/video/video.h>

namespace capture {

namespace {
constexpr const char* kRendererKey = "ornik-video-renderer";

// A QImage over the mapped frame; the image keeps the sample mapped until it is dropped.
QImage ImageFromSample(GstSample* sample) {
  GstVideoInfo info;
  GstCaps* caps = gst_sample_get_caps(sample);
  if (!caps || !gst_video_info_from_caps(&info, caps) || GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGRx)
    return {};
  auto* frame = new GstVideoFrame;
  if (!gst_video_frame_map(frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
    delete frame;
    return {};
  }
  // 0xffRRGGBB words are the bytes B, G, R, x in memory.
  return QImage(
      static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(frame, 0)), GST_VIDEO_FRAME_WIDTH(frame),
      GST_VIDEO_FRAME_HEIGHT(frame), GST_VIDEO_FRAME_PLANE_STRIDE(frame, 0), QImage::Format_RGB32,
      [](void* f) {
        gst_video_frame_unmap(static_cast<GstVideoFrame*>(f));
        delete static_cast<GstVideoFrame*>(f);
      },
      frame);
}

QRgb FromColorRef(std::uint32_t c) { return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
}  // namespace

GstElement* VideoRenderer::Create(const char* name) {
  GstElement* sink = gst_element_factory_make("appsink", name);
  if (!sink) return nullptr;
  GstCaps* caps = gst_caps_from_string("video/x-raw,format=BGRx");
  g_object_set(sink, "caps", caps, "max-buffers", 1u, "drop", TRUE, "sync", FALSE, "emit-signals", FALSE,
               "enable-last-sample", FALSE, nullptr);
  gst_caps_unref(caps);
  auto* renderer = new VideoRenderer;
  g_object_set_data_full(G_OBJECT(sink), kRendererKey, renderer,
                         [](gpointer p) { delete static_cast<VideoRenderer*>(p); });
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = &VideoRenderer::OnNewSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, renderer, nullptr);
  return sink;
}

VideoRenderer* VideoRenderer::FromElement(GstElement* element) {
  return element ? static_cast<VideoRenderer*>(g_object_get_data(G_OBJECT(element), kRendererKey)) : nullptr;
}

void VideoRenderer::SyncToClock(GstElement* element) {
  VideoRenderer* renderer = FromElement(element);
  if (!renderer) return;
  g_object_set(element, "sync", TRUE, nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = &VideoRenderer::OnNewSample;
  callbacks.new_preroll = &VideoRenderer::OnNewPreroll;
  gst_app_sink_set_callbacks(GST_APP_SINK(element), &callbacks, renderer, nullptr);
}

GstFlowReturn VideoRenderer::OnNewPreroll(GstAppSink* sink, gpointer self) {
  GstSample* sample = gst_app_sink_pull_preroll(sink);
  if (!sample) return GST_FLOW_EOS;
  static_cast<VideoRenderer*>(self)->TakeFrame(sample);
  gst_sample_unref(sample);
  return GST_FLOW_OK;
}

GstFlowReturn VideoRenderer::OnNewSample(GstAppSink* sink, gpointer self) {
  GstSample* sample = gst_app_sink_pull_sample(sink);
  if (!sample) return GST_FLOW_EOS;
  static_cast<VideoRenderer*>(self)->TakeFrame(sample);
  gst_sample_unref(sample);
  return GST_FLOW_OK;
}

void VideoRenderer::TakeFrame(GstSample* sample) {
  QImage image = ImageFromSample(sample);
  if (image.isNull()) return;
  std::function<void()> listener;
  {
    std::lock_guard lock(mutex_);
    frame_.swap(image);
    listener = listener_;
  }
  ++received_;
  Invalidate();
  if (listener) listener();
  // `image` now holds the previous frame and unmaps it here, outside the lock.
}

void VideoRenderer::Invalidate() {
  if (repaintPending_.exchange(true)) return;  // one request on its way is enough
  if (IVideoWindow* window = window_.load()) window->RequestRepaint();
  else repaintPending_ = false;
}

HRESULT VideoRenderer::SetVideoPosition(const QRect& dst) {
  {
    std::lock_guard lock(mutex_);
    dst_ = dst;
  }
  repaintPending_ = false;
  Invalidate();
  return com::S_OK;
}

QRect VideoRenderer::VideoPosition() const {
  std::lock_guard lock(mutex_);
  return dst_;
}

HRESULT VideoRenderer::GetNativeVideoSize(int* width, int* height) const {
  if (!width || !height) return com::E_POINTER;
  std::lock_guard lock(mutex_);
  if (frame_.isNull()) return com::VFW_E_NOT_CONNECTED;
  *width = frame_.width();
  *height = frame_.height();
  return com::S_OK;
}

void VideoRenderer::RepaintVideo(QPainter& painter) {
  repaintPending_ = false;
  QImage frame, overlay;
  QRect dst, src;
  NormalizedRect r;
  double alpha = 1.0;
  {
    // Shallow copies: the streaming thread is never held up by painting.
    std::lock_guard lock(mutex_);
    frame = frame_;
    dst = dst_;
    if (hasBitmap_ && !(bitmap_.dwFlags & kBitmapDisable)) {
      overlay = keyed_;
      src = bitmap_.rSrc;
      r = bitmap_.rDest;
      alpha = qBound(0.0, double(bitmap_.fAlpha), 1.0);
    }
  }
  if (frame.isNull() || dst.isEmpty()) return;
  painter.drawImage(dst, frame);
  ++painted_;
  if (overlay.isNull()) return;
  const QRectF target(dst.x() + double(r.left) * dst.width(), dst.y() + double(r.top) * dst.height(),
                      double(r.right - r.left) * dst.width(), double(r.bottom - r.top) * dst.height());
  painter.save();
  painter.setClipRect(dst, Qt::IntersectClip);  // over the picture only
  painter.setOpacity(alpha);
  painter.drawImage(target, overlay, QRectF(src));
  painter.restore();
}

void VideoRenderer::RebuildKeyedBitmap() {
  keyed_ = bitmap_.bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (!(bitmap_.dwFlags & kBitmapSrcColorKey)) return;
  const QRgb key = FromColorRef(bitmap_.clrSrcKey);
  for (int y = 0; y < keyed_.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(keyed_.scanLine(y));
    for (int x = 0; x < keyed_.width(); ++x)
      if ((line[x] & 0x00FFFFFF) == (key & 0x00FFFFFF)) line[x] = 0;
  }
}

HRESULT VideoRenderer::SetAlphaBitmap(const AlphaBitmap& params) {
  const bool disabled = params.dwFlags & kBitmapDisable;
  if (!disabled && (params.bitmap.isNull() || params.rSrc.isEmpty() ||
                    !params.bitmap.rect().contains(params.rSrc)))
    return com::E_INVALIDARG;
  {
    std::lock_guard lock(mutex_);
    bitmap_ = params;
    hasBitmap_ = true;
    RebuildKeyedBitmap();
  }
  Invalidate();
  return com::S_OK;
}

HRESULT VideoRenderer::GetAlphaBitmapParameters(AlphaBitmap* params) const {
  if (!params) return com::E_POINTER;
  std::lock_guard lock(mutex_);
  if (!hasBitmap_) return com::E_FAIL;
  *params = bitmap_;
  return com::S_OK;
}

HRESULT VideoRenderer::UpdateAlphaBitmapParameters(const AlphaBitmap& params) {
  {
    std::lock_guard lock(mutex_);
    if (!hasBitmap_) return com::E_FAIL;
    const bool rekey = (params.dwFlags & kBitmapSrcColorKey) != (bitmap_.dwFlags & kBitmapSrcColorKey) ||
                       params.clrSrcKey != bitmap_.clrSrcKey;
    QImage keep = bitmap_.bitmap;
    bitmap_ = params;
    bitmap_.bitmap = keep;
    if (rekey) RebuildKeyedBitmap();
  }
  Invalidate();
  return com::S_OK;
}

void VideoRenderer::SetFrameListener(std::function<void()> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

}  // namespace capture
