#pragma once
// The capture window as the engine sees it: the window it draws into and tells of graph events,
// and the control whose SGCallBack the grabber fires. Calls from streaming threads only post to
// the window's thread.
#include "engine/capture_engine.h"

class CCaptureDlg;

class DlgBridge final : public capture::IVideoWindow, public capture::IOrnikEventSink, public capture::IPropertyFrame {
 public:
  explicit DlgBridge(CCaptureDlg& dlg) : dlg_(&dlg) {}

  QRect VideoWindowRect() const override;
  void RequestRepaint() override;
  void PostGraphNotify(std::intptr_t instanceData) override;
  void FireSGCallBack(std::uint8_t* buffer, std::int32_t size) override;
  void Show(capture::PropertySheet& sheet) override;  // modal, owned by the capture window

 private:
  CCaptureDlg* dlg_;
};

// The capture window's view for the engine's graph builders (lives as long as the window).
capture::IVideoWindow* EngineWindow(CCaptureDlg& dlg);
