#include "com/runtime.h"

#include <dlfcn.h>

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <mutex>
#include <vector>

#include "com/registry.h"

namespace com {

namespace {

constexpr const char* kApartmentProperty = "_velmor_com_apartment";

struct LoadedLibrary {
  QString path;
  void* handle = nullptr;
  DllGetClassObjectFn getClassObject = nullptr;
  DllCanUnloadNowFn canUnloadNow = nullptr;
};

std::mutex& LibrariesMutex() {
  static std::mutex m;
  return m;
}
std::vector<LoadedLibrary>& Libraries() {
  static std::vector<LoadedLibrary> libs;
  return libs;
}

QString Canonical(const QString& path) {
  const QFileInfo fi(path);
  const QString c = fi.canonicalFilePath();
  return c.isEmpty() ? fi.absoluteFilePath() : c;
}

// Finds or loads a library; the caller holds the mutex.
HRESULT Load(const QString& path, LoadedLibrary** out) {
  const QString canonical = Canonical(path);
  for (LoadedLibrary& lib : Libraries())
    if (lib.path == canonical) {
      *out = &lib;
      return S_OK;
    }
  void* handle = dlopen(QFile::encodeName(canonical).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    qWarning("com: cannot load %s: %s", qPrintable(canonical), dlerror());
    return CO_E_DLLNOTFOUND;
  }
  LoadedLibrary lib;
  lib.path = canonical;
  lib.handle = handle;
  lib.getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
  lib.canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
  if (!lib.getClassObject) {
    dlclose(handle);
    return CO_E_ERRORINDLL;
  }
  Libraries().push_back(lib);
  *out = &Libraries().back();
  return S_OK;
}

}  // namespace

HRESULT CoInitialize() {
  QThread* thread = QThread::currentThread();
  const int count = thread->property(kApartmentProperty).toInt();
  thread->setProperty(kApartmentProperty, count + 1);
  return count == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  QThread* thread = QThread::currentThread();
  const int count = thread->property(kApartmentProperty).toInt();
  if (count > 0) thread->setProperty(kApartmentProperty, count - 1);
}

int CoInitializeCount() { return QThread::currentThread()->property(kApartmentProperty).toInt(); }

HRESULT CLSIDFromProgID(const QString& progId, Guid* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = Guid{};
  Registry reg;
  if (!reg.Load()) return REGDB_E_READREGDB;
  const auto text = reg.Value(ProgIdKey(progId), QStringLiteral("CLSID"));
  if (!text) return CO_E_CLASSSTRING;
  bool ok = false;
  *clsid = Guid::FromString(*text, &ok);
  return ok ? S_OK : CO_E_CLASSSTRING;
}

HRESULT CoGetClassObject(const Guid& clsid, const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  Registry reg;
  if (!reg.Load()) return REGDB_E_READREGDB;
  const auto path = reg.Value(ClassKey(clsid), QStringLiteral("InprocServer"));
  if (!path || path->isEmpty()) return REGDB_E_CLASSNOTREG;
  std::lock_guard lock(LibrariesMutex());
  LoadedLibrary* lib = nullptr;
  if (HRESULT hr = Load(*path, &lib); Failed(hr)) return hr;
  return lib->getClassObject(&clsid, &iid, out);
}

HRESULT CoCreateInstance(const Guid& clsid, IUnknown* outer, const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  ComPtr<IClassFactory> factory;
  if (HRESULT hr = CoGetClassObject(clsid, IID_IClassFactory, factory.PutVoid()); Failed(hr))
    return hr;
  return factory->CreateInstance(outer, iid, out);
}

int CoFreeUnusedLibraries() {
  std::lock_guard lock(LibrariesMutex());
  int unloaded = 0;
  auto& libs = Libraries();
  for (auto it = libs.begin(); it != libs.end();) {
    // A library without DllCanUnloadNow never says it can go.
    if (it->canUnloadNow && it->canUnloadNow() == S_OK) {
      dlclose(it->handle);
      it = libs.erase(it);
      ++unloaded;
    } else {
      ++it;
    }
  }
  return unloaded;
}

bool IsLibraryLoaded(const QString& path) {
  const QString canonical = Canonical(path);
  std::lock_guard lock(LibrariesMutex());
  for (const LoadedLibrary& lib : Libraries())
    if (lib.path == canonical) return true;
  return false;
}

HRESULT CallSelfRegistration(const QString& libraryPath, bool unregister, QString* message) {
  const char* exportName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  const QString canonical = Canonical(libraryPath);
  void* handle = dlopen(QFile::encodeName(canonical).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (message) *message = QStringLiteral("cannot load %1: %2").arg(canonical, QString::fromLocal8Bit(dlerror()));
    return CO_E_DLLNOTFOUND;
  }
  auto fn = reinterpret_cast<DllRegisterServerFn>(dlsym(handle, exportName));
  if (!fn) {
    if (message) *message = QStringLiteral("%1 has no %2").arg(canonical, QLatin1String(exportName));
    dlclose(handle);
    return CO_E_ERRORINDLL;
  }
  const HRESULT hr = fn();
  if (message) {
    char buf[48];
    *message = Succeeded(hr)
                   ? QStringLiteral("%1 in %2 succeeded.").arg(QLatin1String(exportName), canonical)
                   : QStringLiteral("%1 in %2 failed: %3")
                         .arg(QLatin1String(exportName), canonical, QLatin1String(FormatResult(hr, buf)));
  }
  dlclose(handle);
  return hr;
}

}  // namespace com
