#include "OrnikApp.h"

#include <QString>

#include "OrnikCtrl.h"
#include "OrnikIds.h"
#include "OrnikPropPage.h"
#include "com/registry.h"

using namespace com;

namespace {

using CreateFn = HRESULT (*)(const Guid& iid, void** out);
using UpdateRegistryFn = void (*)(Registry& reg, bool doRegister, const QString& path);

void UpdateControlRegistry(Registry& reg, bool doRegister, const QString& path) {
  if (!doRegister) {
    UnregisterClassEntry(reg, ornik::CLSID_Ornik, QLatin1String(ornik::kControlProgId));
    return;
  }
  ClassEntry e;
  e.clsid = ornik::CLSID_Ornik;
  e.progId = QLatin1String(ornik::kControlProgId);
  e.userTypeName = QLatin1String(ornik::IDS_ORNIK);
  e.path = path;
  e.threadingModel = QStringLiteral("Apartment");
  e.control = true;  // apartment threading only; not insertable
  e.miscStatus = ornik::kMiscStatus;
  e.typeLib = ornik::LIBID_ORNIKLib;
  e.version = QStringLiteral("%1.%2").arg(ornik::kTypeLibMajor).arg(ornik::kTypeLibMinor);
  e.toolboxBitmap = ornik::IDB_ORNIK;
  RegisterClassEntry(reg, e);
}

void UpdatePropPageRegistry(Registry& reg, bool doRegister, const QString& path) {
  if (!doRegister) {
    UnregisterClassEntry(reg, ornik::CLSID_OrnikPropPage, QLatin1String(ornik::kPropPageProgId));
    return;
  }
  ClassEntry e;
  e.clsid = ornik::CLSID_OrnikPropPage;
  e.progId = QLatin1String(ornik::kPropPageProgId);
  e.userTypeName = QLatin1String(ornik::IDS_ORNIK_PPG);
  e.path = path;
  RegisterClassEntry(reg, e);
}

struct FactoryEntry {
  Guid clsid;
  CreateFn create;
  UpdateRegistryFn updateRegistry;
};

const FactoryEntry kFactories[] = {
    {ornik::CLSID_Ornik, &COrnikCtrl::CreateObject, &UpdateControlRegistry},
    {ornik::CLSID_OrnikPropPage, &COrnikPropPage::CreateObject, &UpdatePropPageRegistry},
};

// One class factory object; it keeps the library loaded while it lives.
class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(CreateFn create) : m_create(create) { COrnikApp::Instance().Lock(); }

  HRESULT QueryInterface(const Guid& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  std::uint32_t AddRef() override { return ++m_refs; }
  std::uint32_t Release() override {
    const std::uint32_t n = --m_refs;
    if (n == 0) delete this;
    return n;
  }
  HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return m_create(iid, out);
  }
  HRESULT LockServer(bool lock) override {
    if (lock) COrnikApp::Instance().Lock();
    else COrnikApp::Instance().Unlock();
    return S_OK;
  }

 private:
  ~ClassFactory() { COrnikApp::Instance().Unlock(); }
  std::atomic<std::uint32_t> m_refs{1};
  CreateFn m_create;
};

void ModuleAnchor() {}

}  // namespace

COrnikApp& COrnikApp::Instance() {
  static COrnikApp app;
  return app;
}

QString COrnikApp::ModuleFile() { return ModulePath(reinterpret_cast<const void*>(&ModuleAnchor)); }

HRESULT COrnikApp::GetClassObject(const Guid& clsid, const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const FactoryEntry& f : kFactories) {
    if (!(f.clsid == clsid)) continue;
    auto* factory = new ClassFactory(f.create);
    const HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT COrnikApp::RegisterServer() {
  const QString path = ModuleFile();
  const QString file = Registry::DefaultPath();
  TypeLibEntry lib;
  lib.libid = ornik::LIBID_ORNIKLib;
  lib.name = QLatin1String(ornik::kTypeLibName);
  lib.major = ornik::kTypeLibMajor;
  lib.minor = ornik::kTypeLibMinor;
  lib.path = path;
  lib.helpFile = QLatin1String(ornik::kHelpFile);
  lib.interfaces = {{ornik::DIID__DOrnik, QStringLiteral("_DOrnik")},
                    {ornik::DIID__DOrnikEvents, QStringLiteral("_DOrnikEvents")}};
  if (!Registry::Update(file, [&](Registry& reg) {
        RegisterTypeLib(reg, lib);
        return true;
      }))
    return SELFREG_E_TYPELIB;
  if (!Registry::Update(file, [&](Registry& reg) {
        for (const FactoryEntry& f : kFactories) f.updateRegistry(reg, true, path);
        return true;
      }))
    return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT COrnikApp::UnregisterServer() {
  const QString file = Registry::DefaultPath();
  if (!Registry::Update(file, [](Registry& reg) {
        return UnregisterTypeLib(reg, ornik::LIBID_ORNIKLib, ornik::kTypeLibMajor,
                                 ornik::kTypeLibMinor);
      }))
    return SELFREG_E_TYPELIB;
  if (!Registry::Update(file, [](Registry& reg) {
        for (const FactoryEntry& f : kFactories) f.updateRegistry(reg, false, QString());
        return true;
      }))
    return SELFREG_E_CLASS;
  return S_OK;
}
