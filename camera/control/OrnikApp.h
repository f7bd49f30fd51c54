#pragma once
// The module object of the control library: counts the objects and locks that keep the library
// loaded, hands out class factories, and writes and removes the library's registry entries.
#include <QString>

#include <atomic>

#include "com/unknown.h"

class COrnikApp {
 public:
  // The one module object of the library.
  static COrnikApp& Instance();

  // Every live object of the library and every LockServer(true) holds one lock.
  void Lock() { ++m_locks; }
  void Unlock() { --m_locks; }
  long Locks() const { return m_locks.load(); }

  com::HRESULT GetClassObject(const com::Guid& clsid, const com::Guid& iid, void** out);
  // S_OK when no object and no lock is left, else S_FALSE.
  com::HRESULT CanUnloadNow() const { return m_locks.load() == 0 ? com::S_OK : com::S_FALSE; }

  // Type library first (failure SELFREG_E_TYPELIB), then the classes (failure SELFREG_E_CLASS);
  // what was written before a failure stays written.
  com::HRESULT RegisterServer();
  com::HRESULT UnregisterServer();

  // The library file this module was loaded from.
  static QString ModuleFile();

 private:
  COrnikApp() = default;
  std::atomic<long> m_locks{0};
};
