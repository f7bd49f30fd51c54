#include "com/controlsite.h"

#include <vector>

#include "com/runtime.h"

namespace com {

std::unique_ptr<ControlSite> CreateControl(const QString& progId, QWidget* parent,
                                           const SiteOptions& options, HRESULT* result) {
  HRESULT dummy = S_OK;
  HRESULT& hr = result ? *result : dummy;
  Guid clsid;
  if (hr = CLSIDFromProgID(progId, &clsid); Failed(hr)) return nullptr;
  ComPtr<IDispatch> dispatch;
  if (hr = CoCreateInstance(clsid, nullptr, IID_IDispatch, dispatch.PutVoid()); Failed(hr))
    return nullptr;
  ComPtr<IControlWindow> window;
  if (hr = dispatch.As(IID_IControlWindow, window); Failed(hr)) return nullptr;

  std::unique_ptr<ControlSite> site(new ControlSite);
  site->progId_ = progId;
  site->clsid_ = clsid;
  site->parent_ = parent;
  site->dispatch_ = std::move(dispatch);
  site->controlWindow_ = std::move(window);
  site->miscStatus_ = site->controlWindow_->MiscStatus();
  site->geometry_ = options.geometry;
  site->visible_ = options.visible;
  hr = S_OK;
  if (options.visible || !(site->miscStatus_ & OLEMISC_ACTIVATEWHENVISIBLE)) {
    if (hr = site->Activate(); Failed(hr)) return nullptr;
  }
  return site;
}

ControlSite::~ControlSite() {
  if (controlWindow_) controlWindow_->DestroyControlWindow();
  controlWindow_.Reset();
  dispatch_.Reset();
}

HRESULT ControlSite::Activate() {
  if (window_) return S_FALSE;
  if (!parent_) return E_UNEXPECTED;
  HRESULT hr = controlWindow_->CreateControlWindow(parent_, geometry_);
  if (Failed(hr)) return hr;
  window_ = controlWindow_->ControlWindow();
  if (!window_) return E_FAIL;
  ApplyGeometry();
  window_->setVisible(visible_);
  return S_OK;
}

void ControlSite::ApplyGeometry() {
  if (window_) window_->setGeometry(geometry_);
}

void ControlSite::SetLeft(int x) {
  geometry_.moveLeft(x);
  ApplyGeometry();
}

void ControlSite::SetTop(int y) {
  geometry_.moveTop(y);
  ApplyGeometry();
}

void ControlSite::Resize(int width, int height) {
  geometry_.setSize(QSize(width, height));
  ApplyGeometry();
}

void ControlSite::SetVisible(bool visible) {
  visible_ = visible;
  if (visible && !window_) {
    Activate();  // a control that waits to be visible gets its window now
    return;
  }
  if (window_) window_->setVisible(visible);
}

HRESULT ControlSite::Invoke(DISPID id, std::initializer_list<Variant> args, Variant* result) {
  std::vector<Variant> copy(args);
  return InvokeArgs(id, copy, result);
}

HRESULT ControlSite::InvokeArgs(DISPID id, std::span<Variant> args, Variant* result) {
  if (!dispatch_) return E_UNEXPECTED;
  return dispatch_->Invoke(id, DISPATCH_METHOD, args.data(), static_cast<std::uint32_t>(args.size()),
                           result, nullptr);
}

DISPID ControlSite::IdOfName(const QString& name) const {
  if (!dispatch_) return DISPID_UNKNOWN;
  const std::u16string text = name.toStdU16String();
  const char16_t* names[] = {text.c_str()};
  DISPID id = DISPID_UNKNOWN;
  dispatch_->GetIDsOfNames(names, 1, &id);
  return id;
}

HRESULT ControlSite::CallByName(const QString& member, std::initializer_list<Variant> args,
                                Variant* result) {
  const DISPID id = IdOfName(member);
  if (id == DISPID_UNKNOWN) return E_FAIL;
  return Invoke(id, args, result);
}

HRESULT ControlSite::Advise(const Guid& iid, IUnknown* sink, std::uint32_t* cookie) {
  ComPtr<IConnectionPointContainer> container;
  if (HRESULT hr = dispatch_.As(IID_IConnectionPointContainer, container); Failed(hr)) return hr;
  ComPtr<IConnectionPoint> point;
  if (HRESULT hr = container->FindConnectionPoint(iid, point.Put()); Failed(hr)) return hr;
  return point->Advise(sink, cookie);
}

HRESULT ControlSite::Unadvise(const Guid& iid, std::uint32_t cookie) {
  ComPtr<IConnectionPointContainer> container;
  if (HRESULT hr = dispatch_.As(IID_IConnectionPointContainer, container); Failed(hr)) return hr;
  ComPtr<IConnectionPoint> point;
  if (HRESULT hr = container->FindConnectionPoint(iid, point.Put()); Failed(hr)) return hr;
  return point->Unadvise(cookie);
}

ComPtr<EventSink> EventSink::Create(Handler handler) {
  return ComPtr<EventSink>::Attach(new EventSink(std::move(handler)));
}

HRESULT EventSink::QueryInterface(const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

std::uint32_t EventSink::AddRef() { return ++refs_; }

std::uint32_t EventSink::Release() {
  const std::uint32_t n = --refs_;
  if (n == 0) delete this;
  return n;
}

HRESULT EventSink::GetIDsOfNames(const char16_t* const*, std::uint32_t count, DISPID* ids) {
  for (std::uint32_t i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT EventSink::Invoke(DISPID id, std::uint16_t, Variant* args, std::uint32_t count, Variant*,
                          std::uint32_t*) {
  if (handler_) handler_(id, std::span<Variant>(args, count));
  return S_OK;
}

}  // namespace com
