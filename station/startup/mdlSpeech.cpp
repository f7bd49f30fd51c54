#include "startup/mdlSpeech.h"

void SpeechInitialize() {}
void SpeechTerminate() {}
