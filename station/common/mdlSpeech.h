#pragma once
// The speech hooks of the station window. The station speaks nothing: both hooks do nothing and
// no speech object exists.

void SpeechInitialize();
void SpeechTerminate();
