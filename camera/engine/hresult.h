#pragma once
// Result codes of the capture engine: the component layer's own (com/hresult.h), so that the
// control returns the engine's results to its host unchanged. Graph event codes live here.
#include "com/hresult.h"

namespace capture {

using com::Failed;
using com::HRESULT;
using com::Succeeded;

// Graph event codes delivered through CCaptureEngine::GetEvent.
namespace ec {
inline constexpr long kComplete = 0x01;
inline constexpr long kErrorAbort = 0x03;
inline constexpr long kPaused = 0x0E;
}  // namespace ec

}  // namespace capture
