#include "com/connection.h"

#include <vector>

namespace com {

HRESULT ConnectionPoint::QueryInterface(const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IConnectionPoint) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  return owner_->QueryInterface(iid, out);
}

HRESULT ConnectionPoint::GetConnectionInterface(Guid* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, std::uint32_t* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  void* p = nullptr;
  if (Failed(sink->QueryInterface(iid_, &p)) && Failed(sink->QueryInterface(IID_IDispatch, &p)))
    return E_NOINTERFACE;
  std::lock_guard lock(mutex_);
  *cookie = nextCookie_++;
  sinks_[*cookie] = static_cast<IDispatch*>(p);
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(std::uint32_t cookie) {
  IDispatch* sink = nullptr;
  {
    std::lock_guard lock(mutex_);
    auto it = sinks_.find(cookie);
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    sink = it->second;
    sinks_.erase(it);
  }
  sink->Release();
  return S_OK;
}

int ConnectionPoint::Fire(DISPID id, Variant* args, std::uint32_t count) {
  std::vector<IDispatch*> sinks;
  {
    std::lock_guard lock(mutex_);
    for (auto& [cookie, sink] : sinks_) {
      sink->AddRef();
      sinks.push_back(sink);
    }
  }
  for (IDispatch* sink : sinks) {
    sink->Invoke(id, DISPATCH_METHOD, args, count, nullptr, nullptr);
    sink->Release();
  }
  return static_cast<int>(sinks.size());
}

int ConnectionPoint::SinkCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(sinks_.size());
}

void ConnectionPoint::DisconnectAll() {
  std::map<std::uint32_t, IDispatch*> sinks;
  {
    std::lock_guard lock(mutex_);
    sinks.swap(sinks_);
  }
  for (auto& [cookie, sink] : sinks) sink->Release();
}

}  // namespace com
