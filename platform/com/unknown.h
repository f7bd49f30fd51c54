#pragma once
// The interfaces of the component layer. Every interface is a class of pure virtual functions with
// no data, so a library built on its own hands objects to its host through these vtables alone.
// Identifiers of interfaces are Guids; QueryInterface answers the ones an object implements.
#include <QRect>

#include <cstdint>
#include <utility>

#include "com/guid.h"
#include "com/hresult.h"
#include "com/variant.h"

class QWidget;

namespace com {

inline constexpr DISPID DISPID_UNKNOWN = -1;

// Flags of IDispatch::Invoke.
inline constexpr std::uint16_t DISPATCH_METHOD = 0x1;
inline constexpr std::uint16_t DISPATCH_PROPERTYGET = 0x2;
inline constexpr std::uint16_t DISPATCH_PROPERTYPUT = 0x4;

// Status bits a control reports to its container.
inline constexpr std::uint32_t OLEMISC_RECOMPOSEONRESIZE = 0x1;
inline constexpr std::uint32_t OLEMISC_CANTLINKINSIDE = 0x10;
inline constexpr std::uint32_t OLEMISC_INSIDEOUT = 0x80;
inline constexpr std::uint32_t OLEMISC_ACTIVATEWHENVISIBLE = 0x100;
inline constexpr std::uint32_t OLEMISC_SETCLIENTSITEFIRST = 0x20000;

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const Guid& iid, void** out) = 0;
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
 public:
  // Creates an object of the factory's class and answers `iid` of it. `outer` must be null.
  virtual HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) = 0;
  // Keeps the library loaded while locked.
  virtual HRESULT LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// Late-bound calls by member number.
class IDispatch : public IUnknown {
 public:
  // Resolves names (case-insensitive) to member numbers: names[0] is the member; every name not
  // known gets DISPID_UNKNOWN and the call returns DISP_E_UNKNOWNNAME.
  virtual HRESULT GetIDsOfNames(const char16_t* const* names, std::uint32_t count, DISPID* ids) = 0;
  // Calls member `id` with `count` arguments in their declared order (args[0] is the first). The
  // call's own result is S_OK when the member ran; the member's value (a long member's HRESULT
  // included) is stored in `result` when given. DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT,
  // DISP_E_TYPEMISMATCH and DISP_E_OVERFLOW say the call could not be made; `argError` (when
  // given) receives the index of the argument at fault.
  virtual HRESULT Invoke(DISPID id, std::uint16_t flags, Variant* args, std::uint32_t count,
                         Variant* result, std::uint32_t* argError) = 0;

 protected:
  ~IDispatch() = default;
};

class IConnectionPoint : public IUnknown {
 public:
  virtual HRESULT GetConnectionInterface(Guid* iid) = 0;
  // Connects a sink (an IDispatch, or an object answering the event interface with one); events
  // reach it as Invoke calls with the event's number. `cookie` identifies the connection.
  virtual HRESULT Advise(IUnknown* sink, std::uint32_t* cookie) = 0;
  // CONNECT_E_NOCONNECTION for a cookie that names no connection.
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;

 protected:
  ~IConnectionPoint() = default;
};

class IConnectionPointContainer : public IUnknown {
 public:
  // CONNECT_E_NOCONNECTION when the object has no events of interface `iid`.
  virtual HRESULT FindConnectionPoint(const Guid& iid, IConnectionPoint** out) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

// A control with a window of its own, placed by its container.
class IControlWindow : public IUnknown {
 public:
  // Creates the control's window as a child of `parent` with geometry `rect` (the control's
  // creation handling runs). S_FALSE when the window exists already.
  virtual HRESULT CreateControlWindow(QWidget* parent, const QRect& rect) = 0;
  // The control's window, or nullptr when it has none.
  virtual QWidget* ControlWindow() = 0;
  // Destroys the control's window (its destruction handling runs). S_FALSE when there is none.
  virtual HRESULT DestroyControlWindow() = 0;
  virtual std::uint32_t MiscStatus() = 0;

 protected:
  ~IControlWindow() = default;
};

// Named values a control saves and loads (its persistent properties and version).
class IPropertyBag : public IUnknown {
 public:
  virtual HRESULT Read(const char16_t* name, Variant* value) = 0;
  virtual HRESULT Write(const char16_t* name, const Variant& value) = 0;

 protected:
  ~IPropertyBag() = default;
};

class IPersistPropertyBag : public IUnknown {
 public:
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(IPropertyBag* bag) = 0;
  virtual HRESULT Save(IPropertyBag* bag) = 0;

 protected:
  ~IPersistPropertyBag() = default;
};

// The property pages a control names, by class identifier.
class ISpecifyPropertyPages : public IUnknown {
 public:
  // Writes up to `capacity` page identifiers and the number of pages into `count`.
  virtual HRESULT GetPages(Guid* pages, std::uint32_t capacity, std::uint32_t* count) = 0;

 protected:
  ~ISpecifyPropertyPages() = default;
};

class IPropertyPage : public IUnknown {
 public:
  // The page's caption (a BSTR variant).
  virtual HRESULT GetTitle(Variant* title) = 0;
  // Builds the page as a child of `parent`; the widget belongs to the parent.
  virtual HRESULT CreatePage(QWidget* parent, QWidget** page) = 0;

 protected:
  ~IPropertyPage() = default;
};

inline constexpr Guid IID_IUnknown = Guid::Parse("{00000000-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IClassFactory = Guid::Parse("{00000001-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IDispatch = Guid::Parse("{00020400-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IConnectionPoint = Guid::Parse("{80856F18-95A1-462D-9D8F-F78A306760EE}");
inline constexpr Guid IID_IConnectionPointContainer =
    Guid::Parse("{5D18AC02-4F10-41DD-B6BC-2F61E01C46FA}");
inline constexpr Guid IID_IControlWindow = Guid::Parse("{FD36FA50-0A6C-45A3-B238-75A601C45ED7}");
inline constexpr Guid IID_IPropertyBag = Guid::Parse("{4A6CE85E-D15D-49EA-9167-B033801D4D8C}");
inline constexpr Guid IID_IPersistPropertyBag = Guid::Parse("{80DFE1EE-DC14-4B23-A27C-E6A5BA799A04}");
inline constexpr Guid IID_ISpecifyPropertyPages =
    Guid::Parse("{C420E548-4E6C-493C-B518-9D2A991FA9E9}");
inline constexpr Guid IID_IPropertyPage = Guid::Parse("{265B9292-D938-43BC-BD42-8581B9C6A7DB}");

// Owns one reference to an interface.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Adds a reference to `p`.
  explicit ComPtr(T* p) : p_(p) { if (p_) p_->AddRef(); }
  ComPtr(const ComPtr& o) : p_(o.p_) { if (p_) p_->AddRef(); }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept { std::swap(p_, o.p_); return *this; }
  ~ComPtr() { Reset(); }

  // Takes over a reference the caller owns (an out-parameter's).
  static ComPtr Attach(T* p) { ComPtr r; r.p_ = p; return r; }
  T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() { if (T* p = std::exchange(p_, nullptr)) p->Release(); }
  // For out-parameters: releases what is held and gives the slot.
  T** Put() { Reset(); return &p_; }
  void** PutVoid() { Reset(); return reinterpret_cast<void**>(&p_); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  template <class U>
  HRESULT As(const Guid& iid, ComPtr<U>& out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out.PutVoid());
  }

 private:
  T* p_ = nullptr;
};

}  // namespace com
