// Where the capture window meets the capture engine. This is the only file of the control that
// needs the engine's type: wiring the engine in means including its header here, creating it in
// CreateEngine, deleting it in the deleter, and filling the hooks below; the dispatch members that
// use it are routed in OrnikDispatch.cpp.
//
// Until the engine is linked in, CreateEngine gives none: the hooks do nothing, no graph event is
// ever pending, and the slide step fails so that a started slide timer stops at its first tick.
#include <QPainter>

#include "CaptureDlg.h"
#include "OrnikCtrl.h"

void CaptureEngineDeleter::operator()(CCaptureEngine* engine) const {
  // No engine type is linked in yet, so none was ever created.
  Q_ASSERT(engine == nullptr);
  (void)engine;
}

CCaptureEngine* CCaptureDlg::CreateEngine(CCaptureDlg&) { return nullptr; }

// Gives the engine the control that fires its events.
void CCaptureDlg::EngineSetOwner() {}

// Video input device 0 and no compressor (-1).
void CCaptureDlg::EngineSelectDefaults() {}

// Lays the video rectangle out by the stretch type after a resize.
void CCaptureDlg::EngineLayout() {}

// Draws the current video into the window.
void CCaptureDlg::EngineRepaint(QPainter&) {}

// Moves the sliding text once; a failure stops the slide timer.
com::HRESULT CCaptureDlg::EngineSlideText() { return com::E_NOTIMPL; }

bool CCaptureDlg::EngineNextEvent(long*) { return false; }

// End of a played file.
void CCaptureDlg::EngineOnComplete() {}

// A paused graph has its frame ready: releases a waiting still from a played file.
void CCaptureDlg::EngineOnPaused() {}
