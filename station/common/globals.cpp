#include "common/globals.h"

#include "common/mdlIni.h"

void ResetProgramValues() {
#define VELMOR_RESET_VALUE(type, name, ...) name = type{__VA_ARGS__};
  VELMOR_DECLARED_VALUES(VELMOR_RESET_VALUE)
#undef VELMOR_RESET_VALUE
  ApplySettingDefaults();
}
