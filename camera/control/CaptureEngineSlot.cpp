// Where the capture window meets the capture engine: the window-level hooks, and the bridge
// through which the engine reaches the window (repaints, graph events) and the control (the
// grabber callback's SGCallBack).
#include "CaptureEngineSlot.h"

#include <QMetaObject>
#include <QPainter>
#include <QPointer>

#include "CaptureDlg.h"
#include "OrnikCtrl.h"
#include "PropertyDlg.h"

QRect DlgBridge::VideoWindowRect() const { return dlg_->VideoStatic()->geometry(); }

void DlgBridge::RequestRepaint() {
  QPointer<CCaptureDlg> dlg = dlg_;
  QMetaObject::invokeMethod(dlg_, [dlg] { if (dlg) dlg->update(); }, Qt::QueuedConnection);
}

void DlgBridge::PostGraphNotify(std::intptr_t instanceData) { dlg_->PostGraphEvent(instanceData); }

void DlgBridge::FireSGCallBack(std::uint8_t* buffer, std::int32_t size) {
  if (COrnikCtrl* owner = dlg_->Owner()) owner->FireSGCallBack(buffer, size);
}

void DlgBridge::Show(capture::PropertySheet& sheet) { ShowPropertySheet(dlg_, sheet); }

capture::IVideoWindow* EngineWindow(CCaptureDlg& dlg) { return dlg.Bridge(); }

// Gives the engine the control that fires its events.
void CCaptureDlg::EngineSetOwner() {
  Engine()->SetOwnerCtrl(m_bridge.get());
  Engine()->SetPropertyFrame(m_bridge.get());
}

// Video input device 0 and no compressor (-1).
void CCaptureDlg::EngineSelectDefaults() {
  Engine()->SetVideoDeviceIndex(0);
  Engine()->SetCompressorIndex(-1);
}

// Lays the video rectangle out by the stretch type after a resize.
void CCaptureDlg::EngineLayout() { Engine()->LayoutVideoWindow(m_nWidth, m_nHeight); }

// Draws the current video into the window.
void CCaptureDlg::EngineRepaint(QPainter& painter) { Engine()->RepaintVideo(painter); }

// Moves the sliding text once; a failure stops the slide timer.
com::HRESULT CCaptureDlg::EngineSlideText() { return Engine()->SlideAlphaText(); }

bool CCaptureDlg::EngineNextEvent(long* code) {
  std::intptr_t p1 = 0, p2 = 0;
  if (Engine()->GetEvent(code, &p1, &p2, 0) != com::S_OK) return false;
  Engine()->FreeEventParams(*code, p1, p2);
  return true;
}

// End of a played file: the engine rewinds (live graphs ignore it).
void CCaptureDlg::EngineOnComplete() { Engine()->OnPlaybackComplete(); }

// A paused graph has its frame ready: a still from a played file waiting for it goes on.
void CCaptureDlg::EngineOnPaused() { Engine()->SignalFrameReady(); }
