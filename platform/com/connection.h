#pragma once
// The event side of an object: one connection point per event interface, embedded in the object
// that fires the events. Sinks are IDispatch objects; an event is an Invoke with the event's number.
// Firing may happen on any thread: the sink list is copied under a lock and the sinks are called
// outside it, so a sink may disconnect itself from inside an event.
#include <cstdint>
#include <map>
#include <mutex>

#include "com/unknown.h"

namespace com {

class ConnectionPoint final : public IConnectionPoint {
 public:
  // `owner` is the object the point belongs to: references taken on the point are taken on it.
  ConnectionPoint(IUnknown* owner, const Guid& eventIid) : owner_(owner), iid_(eventIid) {}
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;
  ~ConnectionPoint() { DisconnectAll(); }

  const Guid& Iid() const { return iid_; }

  HRESULT QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t AddRef() override { return owner_->AddRef(); }
  std::uint32_t Release() override { return owner_->Release(); }
  HRESULT GetConnectionInterface(Guid* iid) override;
  HRESULT Advise(IUnknown* sink, std::uint32_t* cookie) override;
  HRESULT Unadvise(std::uint32_t cookie) override;

  // Calls every connected sink with event `id` and its arguments; returns the number of sinks.
  int Fire(DISPID id, Variant* args, std::uint32_t count);
  int SinkCount() const;
  // Releases every sink (the owner does this when it goes away).
  void DisconnectAll();

 private:
  IUnknown* owner_;
  Guid iid_;
  mutable std::mutex mutex_;
  std::map<std::uint32_t, IDispatch*> sinks_;
  std::uint32_t nextCookie_ = 1;
};

}  // namespace com
