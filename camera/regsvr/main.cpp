// regsvr: loads a control library and calls its registration export.
//   regsvr [-u] [-s] library
//   -u  unregister (DllUnregisterServer) instead of registering (DllRegisterServer)
//   -s  print nothing
// The registry written is the one of the component layer (VELMOR_COM_REGISTRY, else the user's).
// The exit status is 0 when the export succeeded, 1 when it failed, 2 for a wrong command line.
#include <QString>

#include <cstdio>
#include <cstring>

#include "com/registry.h"
#include "com/runtime.h"

int main(int argc, char** argv) {
  bool unregister = false;
  bool silent = false;
  const char* library = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-u") == 0) unregister = true;
    else if (std::strcmp(argv[i], "-s") == 0) silent = true;
    else if (!library && argv[i][0] != '-') library = argv[i];
    else library = nullptr, argc = 0;
  }
  if (!library) {
    std::fprintf(stderr, "usage: regsvr [-u] [-s] library\n");
    return 2;
  }
  QString message;
  const com::HRESULT hr = com::CallSelfRegistration(QString::fromLocal8Bit(library), unregister, &message);
  if (!silent) {
    std::printf("%s\n", message.toLocal8Bit().constData());
    std::printf("registry: %s\n", com::Registry::DefaultPath().toLocal8Bit().constData());
  }
  return com::Succeeded(hr) ? 0 : 1;
}
