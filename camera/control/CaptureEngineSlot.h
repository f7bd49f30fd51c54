#pragma once
// The capture window as the engine sees it: the window it draws into and tells of graph events.
#include "engine/capture_engine.h"

class CCaptureDlg;

// The capture window's view for the engine's graph builders (lives as long as the engine).
capture::IVideoWindow* EngineWindow(CCaptureDlg& dlg);
