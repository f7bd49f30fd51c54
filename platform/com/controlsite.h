#pragma once
// Hosting a control on a window: CreateControl looks a ProgID up in the registry, loads the
// control's library, creates the control through its class factory and places the control's
// window as a child of the host's widget. The site keeps the extender properties the host sets on
// the control (Left, Top, Width, Height in pixels of the parent, Visible) and calls the control
// late-bound by member number.
//
// A control whose misc status has OLEMISC_ACTIVATEWHENVISIBLE gets its window when it is made
// visible (at once when created visible); any other control gets it at creation. Until then the
// control has no window and its members answer as they do without one.
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

#include "com/unknown.h"

namespace com {

struct SiteOptions {
  QRect geometry{0, 0, 320, 240};  // in pixels of the parent widget
  bool visible = true;
};

class ControlSite {
 public:
  ControlSite(const ControlSite&) = delete;
  ControlSite& operator=(const ControlSite&) = delete;
  // Destroys the control's window and releases the control. The library stays loaded until
  // CoFreeUnusedLibraries finds that it can go.
  ~ControlSite();

  const QString& ProgId() const { return progId_; }
  const Guid& Clsid() const { return clsid_; }
  IDispatch* Dispatch() const { return dispatch_.Get(); }
  IUnknown* Control() const { return dispatch_.Get(); }
  std::uint32_t MiscStatus() const { return miscStatus_; }

  // Calls member `id` with the arguments in their declared order. Returns the call's own result
  // (S_OK when the member ran, DISP_E_... when it could not be called); the member's value goes to
  // `result`.
  HRESULT Invoke(DISPID id, std::initializer_list<Variant> args = {}, Variant* result = nullptr);
  HRESULT InvokeArgs(DISPID id, std::span<Variant> args, Variant* result = nullptr);
  // The number of a member by name, or DISPID_UNKNOWN.
  DISPID IdOfName(const QString& name) const;
  // Calls a member late-bound by its name, as a script host does: E_FAIL when the control knows
  // no member of that name.
  HRESULT CallByName(const QString& member, std::initializer_list<Variant> args = {},
                     Variant* result = nullptr);

  // The control's window (null while the control has none).
  QWidget* Widget() const { return window_.data(); }
  // Gives the control its window now if it has none.
  HRESULT Activate();

  // Extender properties.
  int Left() const { return geometry_.x(); }
  int Top() const { return geometry_.y(); }
  int Width() const { return geometry_.width(); }
  int Height() const { return geometry_.height(); }
  bool Visible() const { return visible_; }
  void SetLeft(int x);
  void SetTop(int y);
  void Resize(int width, int height);
  void SetVisible(bool visible);

  // Connects an event sink to the control's events of interface `iid`.
  HRESULT Advise(const Guid& iid, IUnknown* sink, std::uint32_t* cookie);
  HRESULT Unadvise(const Guid& iid, std::uint32_t cookie);

 private:
  friend std::unique_ptr<ControlSite> CreateControl(const QString&, QWidget*, const SiteOptions&,
                                                    HRESULT*);
  ControlSite() = default;
  void ApplyGeometry();

  QString progId_;
  Guid clsid_;
  QPointer<QWidget> parent_;
  ComPtr<IDispatch> dispatch_;
  ComPtr<IControlWindow> controlWindow_;
  QPointer<QWidget> window_;
  std::uint32_t miscStatus_ = 0;
  QRect geometry_;
  bool visible_ = true;
};

// Creates the control registered under `progId` on `parent`. Returns null on failure with the
// reason in `result`: CO_E_CLASSSTRING (unknown ProgID), REGDB_E_CLASSNOTREG, CO_E_DLLNOTFOUND,
// CO_E_ERRORINDLL, E_NOINTERFACE (the object is no dispatchable control) or the factory's answer.
std::unique_ptr<ControlSite> CreateControl(const QString& progId, QWidget* parent,
                                           const SiteOptions& options = {},
                                           HRESULT* result = nullptr);

// An event sink that hands every event to a function (its number and its arguments).
class EventSink final : public IDispatch {
 public:
  using Handler = std::function<void(DISPID id, std::span<Variant> args)>;
  // Returns a sink with one reference owned by the caller.
  static ComPtr<EventSink> Create(Handler handler);

  HRESULT QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  HRESULT GetIDsOfNames(const char16_t* const* names, std::uint32_t count, DISPID* ids) override;
  HRESULT Invoke(DISPID id, std::uint16_t flags, Variant* args, std::uint32_t count,
                 Variant* result, std::uint32_t* argError) override;

 private:
  explicit EventSink(Handler handler) : handler_(std::move(handler)) {}
  ~EventSink() = default;
  std::atomic<std::uint32_t> refs_{1};
  Handler handler_;
};

}  // namespace com
