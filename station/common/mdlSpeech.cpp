#include "common/mdlSpeech.h"

void SpeechInitialize() {}
void SpeechTerminate() {}
