#pragma once
// The host side of the component layer: the calling thread's entry into the layer, class objects
// looked up in the registry and loaded from their libraries, and the unloading of libraries that
// say they can go.
//
// A component library exports four C functions (see the typedefs); the host finds it through the
// registry's class key ("InprocServer") and loads it with dlopen. The host and each library link
// this layer on their own: nothing here is shared between them except the C exports, the
// interfaces and the registry file.
#include <QString>

#include "com/unknown.h"

namespace com {

using DllGetClassObjectFn = HRESULT (*)(const Guid* clsid, const Guid* iid, void** out);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();

// Enters the layer on the calling thread: S_OK the first time, S_FALSE when the thread has entered
// already (each call must be paired with CoUninitialize). The count lives on the thread's QThread
// object, so a host and the libraries it loads see the same state.
HRESULT CoInitialize();
// Leaves once; nothing happens on a thread that has not entered.
void CoUninitialize();
// How often the calling thread has entered and not left.
int CoInitializeCount();

// The class of a ProgID: CO_E_CLASSSTRING when the registry has no such ProgID.
HRESULT CLSIDFromProgID(const QString& progId, Guid* clsid);
// The class object of `clsid` from its registered library: REGDB_E_CLASSNOTREG when the class is
// not registered, CO_E_DLLNOTFOUND when the library does not load, CO_E_ERRORINDLL when it lacks
// the export, else what the library answers.
HRESULT CoGetClassObject(const Guid& clsid, const Guid& iid, void** out);
HRESULT CoCreateInstance(const Guid& clsid, IUnknown* outer, const Guid& iid, void** out);
// Asks every library loaded here whether it can be unloaded and unloads those that answer S_OK.
// Returns the number unloaded.
int CoFreeUnusedLibraries();
// Whether the library at `path` is loaded by this layer.
bool IsLibraryLoaded(const QString& path);

// Loads a library and calls its DllRegisterServer (or DllUnregisterServer), then unloads it.
// `message` receives a line for the user. Returns the export's result, or CO_E_DLLNOTFOUND or
// CO_E_ERRORINDLL when the library or the export is missing.
HRESULT CallSelfRegistration(const QString& libraryPath, bool unregister, QString* message);

}  // namespace com
