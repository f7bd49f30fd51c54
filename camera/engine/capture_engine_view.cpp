// The video layout in the capture window and the text overlay of the capture engine.
#include <QFontMetrics>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "codepage/codepage.h"
#include "engine/capture_engine.h"

using namespace capture;

namespace capture {

namespace {
QColor FromColorRef(std::uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
}  // namespace
}  // namespace capture

HRESULT CCaptureEngine::LayoutVideoWindow(int, int) {
  VideoRenderer* r = Renderer();
  if (!r || !videoWindow_) return com::E_FAIL;
  const QRect current = r->VideoPosition();
  int width = 0, height = 0;
  if (stretchType_ == 0) {
    const QRect client = videoWindow_->VideoWindowRect();
    width = client.width();
    height = client.height();
  } else {
    int nativeW = 0, nativeH = 0;
    const HRESULT result = r->GetNativeVideoSize(&nativeW, &nativeH);
    if (Failed(result)) return result;
    if (stretchType_ == 1) {
      const QRect client = videoWindow_->VideoWindowRect();
      const double scale = std::min(double(client.width()) / nativeW, double(client.height()) / nativeH);
      width = int(nativeW * scale);  // truncated toward zero
      height = int(nativeH * scale);
    } else {
      width = nativeW;
      height = nativeH;
    }
  }
  // The picture keeps the left-top corner it has; it is not centred.
  return r->SetVideoPosition(QRect(current.topLeft(), QSize(width, height)));
}

HRESULT CCaptureEngine::SetStretchType(short type) {
  if (type < 0 || type > 2) return com::E_FAIL;
  stretchType_ = type;
  return LayoutVideoWindow();
}

void CCaptureEngine::RepaintVideo(QPainter& painter) {
  if (VideoRenderer* r = Renderer()) r->RepaintVideo(painter);
}

QRect CCaptureEngine::VideoPosition() const {
  VideoRenderer* r = Renderer();
  return r ? r->VideoPosition() : QRect();
}

HRESULT CCaptureEngine::GetAlphaBitmapParameters(AlphaBitmap* params) const {
  VideoRenderer* r = Renderer();
  return r ? r->GetAlphaBitmapParameters(params) : com::E_FAIL;
}

// Draws the text on its background colour into a bitmap of the text's size and hands it to the
// renderer at (fLeft, fTop) in frame coordinates. The key colour becomes transparent.
HRESULT CCaptureEngine::SetAlphaText(const QString& text, std::uint32_t fgColor, std::uint32_t bkColor,
                                     std::uint32_t keyColor, float fLeft, float fTop, short enable) {
  VideoRenderer* r = Renderer();
  if (!r) return com::E_FAIL;
  int frameW = 0, frameH = 0;
  const HRESULT sized = r->GetNativeVideoSize(&frameW, &frameH);
  if (Failed(sized)) return sized;
  frameH = std::abs(frameH);

  const QFont font = overlayFont_.value_or(QFont());
  const QFontMetrics metrics(font);
  const int width = text.isEmpty() ? 0 : metrics.horizontalAdvance(text);
  const int height = metrics.height();
  QImage bitmap;
  if (width > 0 && height > 0) {
    bitmap = QImage(width, height, QImage::Format_RGB32);
    bitmap.fill(FromColorRef(bkColor));
    QPainter painter(&bitmap);
    painter.setFont(font);
    painter.setPen(FromColorRef(fgColor));
    painter.drawText(0, metrics.ascent(), text);
  }
  textBitmapWidth_ = width;
  textBitmapHeight_ = height;
  textWidth_ = float(width) / float(frameW);
  textHeight_ = float(height) / float(frameH);

  AlphaBitmap params;
  params.dwFlags = enable ? (kBitmapHdc | kBitmapSrcColorKey) : kBitmapDisable;
  params.bitmap = bitmap;
  params.rSrc = QRect(0, 0, width, height);
  params.rDest = {fLeft, fTop, fLeft + textWidth_, fTop + textHeight_};
  params.fAlpha = 1.0f;
  params.clrSrcKey = keyColor;
  params.dwFilterMode = 0;
  return r->SetAlphaBitmap(params);
}

// One tick of the sliding text: both edges move left; a text that has left the picture comes in
// again from the right edge.
HRESULT CCaptureEngine::SlideAlphaText() {
  VideoRenderer* r = Renderer();
  if (!r) return com::E_FAIL;
  AlphaBitmap params;
  HRESULT result = r->GetAlphaBitmapParameters(&params);
  if (Failed(result)) return result;
  params.rDest.left -= slideIncrement_;
  params.rDest.right -= slideIncrement_;
  if (params.rDest.right <= wrapLimit_) {
    params.rDest.left = 1.0f;
    params.rDest.right = 1.0f + textWidth_;
  }
  params.dwFlags |= kBitmapSrcColorKey;
  return r->UpdateAlphaBitmapParameters(params);
}

// The font of the next overlay text, from the host's description.
HRESULT CCaptureEngine::SetAlphaFont(const LogFontA* lf) {
  if (!lf) return com::E_FAIL;
  const std::size_t nameLength = strnlen(lf->lfFaceName, sizeof lf->lfFaceName);
  QFont font;
  if (nameLength) font.setFamily(cp::FromAnsi(QByteArray(lf->lfFaceName, int(nameLength))));
  if (lf->lfHeight != 0) font.setPixelSize(std::abs(lf->lfHeight));
  if (lf->lfWeight > 0) font.setWeight(QFont::Weight(std::clamp(lf->lfWeight, 1, 1000)));
  font.setItalic(lf->lfItalic != 0);
  font.setUnderline(lf->lfUnderline != 0);
  font.setStrikeOut(lf->lfStrikeOut != 0);
  if (lf->lfQuality == 3) font.setStyleStrategy(QFont::NoAntialias);  // non-antialiased quality
  else if (lf->lfQuality >= 4) font.setStyleStrategy(QFont::PreferAntialias);
  overlayFont_ = font;
  return com::S_OK;
}
