// Where the capture window meets the capture engine: the engine's creation and deletion, the
// window-level hooks, and the bridge through which the engine reaches the window (repaints,
// graph events) and the control (the grabber callback's SGCallBack).
#include "CaptureEngineSlot.h"

#include <QMetaObject>
#include <QPainter>
#include <QPointer>

#include "CaptureDlg.h"
#include "OrnikCtrl.h"

namespace {

// The capture window and its control, as the engine needs them. Calls from streaming threads
// only post to the window's thread.
class DlgBridge final : public capture::IVideoWindow, public capture::IOrnikEventSink {
 public:
  explicit DlgBridge(CCaptureDlg& dlg) : dlg_(&dlg) {}

  QRect VideoWindowRect() const override { return dlg_->VideoStatic()->geometry(); }
  void RequestRepaint() override {
    QPointer<CCaptureDlg> dlg = dlg_;
    QMetaObject::invokeMethod(dlg_, [dlg] { if (dlg) dlg->update(); }, Qt::QueuedConnection);
  }
  void PostGraphNotify(std::intptr_t instanceData) override { dlg_->PostGraphEvent(instanceData); }
  void FireSGCallBack(std::uint8_t* buffer, std::int32_t size) override {
    if (COrnikCtrl* owner = dlg_->Owner()) owner->FireSGCallBack(buffer, size);
  }

 private:
  CCaptureDlg* dlg_;
};

// The engine of one capture window with its bridge. The graph goes before the bridge does: no
// streaming thread may reach a bridge that is gone.
class DlgEngine final : public CCaptureEngine {
 public:
  explicit DlgEngine(CCaptureDlg& dlg) : bridge(dlg) {}
  ~DlgEngine() { TearDownGraph(); }
  DlgBridge bridge;
};

}  // namespace

capture::IVideoWindow* EngineWindow(CCaptureDlg& dlg) {
  return &static_cast<DlgEngine*>(dlg.Engine())->bridge;
}

void CaptureEngineDeleter::operator()(CCaptureEngine* engine) const { delete static_cast<DlgEngine*>(engine); }

CCaptureEngine* CCaptureDlg::CreateEngine(CCaptureDlg& dlg) { return new DlgEngine(dlg); }

// Gives the engine the control that fires its events.
void CCaptureDlg::EngineSetOwner() {
  auto* engine = static_cast<DlgEngine*>(Engine());
  engine->SetOwnerCtrl(&engine->bridge);
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
  if (Engine()->GetEvent(code, &p1, &p2, 0) != capture::hr::kOk) return false;
  Engine()->FreeEventParams(*code, p1, p2);
  return true;
}

// End of a played file (playback graphs come with a later topic; live graphs never get here).
void CCaptureDlg::EngineOnComplete() {}

// A paused graph has its frame ready (stills from played files, a later topic).
void CCaptureDlg::EngineOnPaused() {}
