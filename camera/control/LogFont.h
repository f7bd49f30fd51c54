#pragma once
// The font description a host passes for the text overlay: the engine's 60-byte record, whose face
// name always ends with a terminator by the time the control hands it on.
#include "engine/log_font.h"

namespace ornik {

using LogFont = capture::LogFontA;

}  // namespace ornik
