// Stands for the control library of another build: same export, other code.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t DllCanUnloadNow() { return 1; }
