// The four exports of the control library.
#include "OrnikApp.h"

#define ORNIK_EXPORT extern "C" __attribute__((visibility("default")))

ORNIK_EXPORT com::HRESULT DllRegisterServer() { return COrnikApp::Instance().RegisterServer(); }

ORNIK_EXPORT com::HRESULT DllUnregisterServer() { return COrnikApp::Instance().UnregisterServer(); }

ORNIK_EXPORT com::HRESULT DllGetClassObject(const com::Guid* clsid, const com::Guid* iid, void** out) {
  if (!clsid || !iid || !out) return com::E_POINTER;
  return COrnikApp::Instance().GetClassObject(*clsid, *iid, out);
}

ORNIK_EXPORT com::HRESULT DllCanUnloadNow() { return COrnikApp::Instance().CanUnloadNow(); }
