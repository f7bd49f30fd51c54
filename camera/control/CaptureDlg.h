#pragma once
// The capture window: the one child window of the control, always the control's size. It holds
// the video static (black while no graph shows video), the slide timer of the text overlay, the
// handling of graph events, and the capture engine, which it creates on first use.
//
// The engine is reached only through Engine() and the Engine... hooks of CaptureEngineSlot.cpp;
// the dispatch members that need it are routed in OrnikDispatch.cpp.
#include <QBasicTimer>
#include <QEvent>
#include <QWidget>

#include <memory>

#include "com/hresult.h"

class COrnikCtrl;
class CCaptureEngine;  // the capture engine (camera/engine)
class DlgBridge;       // the window and control as the engine sees them (CaptureEngineSlot.h)

// The black rectangle shown while no video is drawn.
class CVideoStatic final : public QWidget {
 public:
  explicit CVideoStatic(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* e) override;
};

class CCaptureDlg final : public QWidget {
 public:
  // Graph events arrive as this posted event (the window message of the graph's notification).
  static constexpr QEvent::Type kGraphEvent = static_cast<QEvent::Type>(QEvent::User + 0x100);

  explicit CCaptureDlg(COrnikCtrl* owner);
  ~CCaptureDlg() override;

  // Makes the window a child of `parent` and runs the initialisation.
  void Create(QWidget* parent);
  // Stores the size and lays the window, the static and the video out again.
  void Resize(int cx, int cy);

  COrnikCtrl* Owner() const { return m_pOwner; }
  CVideoStatic* VideoStatic() const { return m_video; }
  // Hides the static when a graph draws video, shows it again when none does; repaints.
  void ShowVideoStatic(bool show);

  // Selects video input device 0 and no compressor.
  void SelectDefaultDevices();

  // The slide timer of the text overlay.
  void StartSlideTimer(int periodMs);
  void StopSlideTimer();
  bool SlideTimerActive() const { return m_slideTimer.isActive(); }

  // Posts a graph event with the instance data the graph registered; safe from any thread.
  void PostGraphEvent(qintptr instanceData);

  // The engine, created on first use.
  CCaptureEngine* Engine();
  // The window and its control as the engine's graphs see them (lives longer than the engine).
  DlgBridge* Bridge() const { return m_bridge.get(); }

  int m_nWidth = 200;
  int m_nHeight = 200;

 protected:
  bool event(QEvent* e) override;
  void timerEvent(QTimerEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  bool OnInitDialog();
  void OnGraphEvent(qintptr instanceData);

  // Engine hooks (CaptureEngineSlot.cpp).
  void EngineSetOwner();
  void EngineSelectDefaults();
  void EngineLayout();
  void EngineRepaint(QPainter& painter);
  com::HRESULT EngineSlideText();
  // The next pending graph event: false when there is none (or no graph).
  bool EngineNextEvent(long* code);
  void EngineOnComplete();
  void EngineOnPaused();

  COrnikCtrl* m_pOwner;
  CVideoStatic* m_video;
  // The bridge outlives the engine: no streaming thread may reach a bridge that is gone.
  std::unique_ptr<DlgBridge> m_bridge;
  std::unique_ptr<CCaptureEngine> m_engine;
  QBasicTimer m_slideTimer;
};
