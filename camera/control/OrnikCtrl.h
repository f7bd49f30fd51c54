#pragma once
// The camera control: a dispatchable object with events, a window of its own (black) and, inside
// that window, the capture window that does the camera work. Every member of the dispatch
// interface goes through the member table and the routing of OrnikDispatch.cpp.
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <atomic>
#include <cstdint>

#include "com/connection.h"
#include "com/unknown.h"

class CCaptureDlg;
class QPainter;

namespace ornik {
class OrnikWindow;
}

class COrnikCtrl final : public com::IDispatch,
                         public com::IConnectionPointContainer,
                         public com::IControlWindow,
                         public com::IPersistPropertyBag,
                         public com::ISpecifyPropertyPages {
 public:
  // The class factory's creation: a new control answering `iid`.
  static com::HRESULT CreateObject(const com::Guid& iid, void** out);

  COrnikCtrl();
  COrnikCtrl(const COrnikCtrl&) = delete;
  COrnikCtrl& operator=(const COrnikCtrl&) = delete;

  // IUnknown
  com::HRESULT QueryInterface(const com::Guid& iid, void** out) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  // IDispatch
  com::HRESULT GetIDsOfNames(const char16_t* const* names, std::uint32_t count,
                             com::DISPID* ids) override;
  com::HRESULT Invoke(com::DISPID id, std::uint16_t flags, com::Variant* args, std::uint32_t count,
                      com::Variant* result, std::uint32_t* argError) override;
  // IConnectionPointContainer
  com::HRESULT FindConnectionPoint(const com::Guid& iid, com::IConnectionPoint** out) override;
  // IControlWindow
  com::HRESULT CreateControlWindow(QWidget* parent, const QRect& rect) override;
  QWidget* ControlWindow() override;
  com::HRESULT DestroyControlWindow() override;
  std::uint32_t MiscStatus() override { return GetMiscStatus(); }
  // IPersistPropertyBag
  com::HRESULT InitNew() override;
  com::HRESULT Load(com::IPropertyBag* bag) override;
  com::HRESULT Save(com::IPropertyBag* bag) override;
  // ISpecifyPropertyPages
  com::HRESULT GetPages(com::Guid* pages, std::uint32_t capacity, std::uint32_t* count) override;

  // Window handling. OnCreate returns 0, or -1 when the window cannot be made.
  int OnCreate();
  void OnDestroy();
  void OnSize(int cx, int cy);
  void OnDraw(QPainter& painter, const QRect& bounds, const QRect& invalid);
  void OnResetState() {}
  std::uint32_t GetMiscStatus() const;
  // Shows the about box modally.
  void AboutBox();

  // Events of _DOrnikEvents. FireSGCallBack may be called on a streaming thread; the sinks get a
  // copy of the buffer that is valid during the call.
  void FireGraphNotify(short evCode);
  void FireSGCallBack(const std::uint8_t* buffer, std::int32_t size);
  void FireTimelinePos(short pos);
  int EventSinkCount() const { return m_events.SinkCount(); }

  // The capture window, null until the control's window exists.
  CCaptureDlg* m_pDlg = nullptr;

 private:
  friend class ornik::OrnikWindow;
  ~COrnikCtrl();
  void WindowGone();

  std::atomic<std::uint32_t> m_refs{1};
  com::ConnectionPoint m_events;
  QPointer<ornik::OrnikWindow> m_wnd;
};
