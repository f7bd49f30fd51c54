// The control's classes in this process: the capture window's slide timer, graph events and keys,
// the window's life with the control, and the three events reaching their sinks.
#include <QDialog>
#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>

#include "CaptureDlg.h"
#include "OrnikCtrl.h"
#include "OrnikDispIds.h"
#include "OrnikIds.h"
#include "ornik_fixture.h"

using namespace com;
namespace id = ornik::dispid;

namespace {

// A control made in this process, with or without its window.
struct LocalControl {
  explicit LocalControl(QWidget* parent = nullptr) {
    EXPECT_EQ(COrnikCtrl::CreateObject(IID_IDispatch, dispatch.PutVoid()), S_OK);
    ctrl = static_cast<COrnikCtrl*>(dispatch.Get());
    if (parent) {
      EXPECT_EQ(ctrl->CreateControlWindow(parent, QRect(0, 0, 160, 120)), S_OK);
    }
  }
  Variant Call(DISPID n, std::vector<Variant> args = {}, HRESULT* hr = nullptr) {
    Variant r;
    const HRESULT call = dispatch->Invoke(n, DISPATCH_METHOD, args.data(),
                                          static_cast<std::uint32_t>(args.size()), &r, nullptr);
    if (hr) *hr = call;
    return r;
  }
  ComPtr<IDispatch> dispatch;
  COrnikCtrl* ctrl = nullptr;
};

std::vector<Variant> AlphaText(std::int16_t enable) {
  return {Variant(u"ようこそ"), Variant(std::int32_t(0xFFFFFF)), Variant(std::int32_t(0)),
          Variant(std::int32_t(0)), Variant(0.1f), Variant(0.8f), Variant(enable)};
}

}  // namespace

TEST(OrnikCaptureWindow, LivesExactlyAsLongAsTheControlsWindow) {
  QWidget parent;
  parent.show();
  LocalControl c(&parent);
  ASSERT_TRUE(c.ctrl->m_pDlg);
  EXPECT_EQ(c.ctrl->m_pDlg->parentWidget(), c.ctrl->ControlWindow());
  EXPECT_EQ(c.ctrl->m_pDlg->Owner(), c.ctrl);
  EXPECT_EQ(c.ctrl->CreateControlWindow(&parent, QRect()), S_FALSE);  // only one window
  EXPECT_EQ(c.ctrl->DestroyControlWindow(), S_OK);
  EXPECT_EQ(c.ctrl->m_pDlg, nullptr);
  EXPECT_EQ(c.ctrl->DestroyControlWindow(), S_FALSE);
  EXPECT_EQ(c.Call(id::DVCPreviewOn).I4(), E_FAIL);
  // A new window brings a new capture window; releasing the control takes both.
  ASSERT_EQ(c.ctrl->CreateControlWindow(&parent, QRect(0, 0, 50, 40)), S_OK);
  ASSERT_TRUE(c.ctrl->m_pDlg);
  EXPECT_EQ(c.ctrl->m_pDlg->size(), QSize(50, 40));
  QPointer<QWidget> window = c.ctrl->ControlWindow();
  c.dispatch.Reset();
  EXPECT_TRUE(window.isNull());
  EXPECT_TRUE(parent.children().isEmpty());
}

TEST(OrnikCaptureWindow, SlideTimerStartsStopsAndEndsWhenTheSlideFails) {
  QWidget parent;
  parent.show();
  LocalControl c(&parent);
  CCaptureDlg* dlg = c.ctrl->m_pDlg;
  ASSERT_TRUE(dlg);
  EXPECT_EQ(c.Call(id::DVCSetAlphaTextSlide, {Variant(std::int16_t(1)), Variant(std::int32_t(40))}).I4(), S_OK);
  EXPECT_TRUE(dlg->SlideTimerActive());
  // Text switched off stops the slide, whatever the overlay answers.
  c.Call(id::DVCSetAlphaText, AlphaText(0));
  EXPECT_FALSE(dlg->SlideTimerActive());
  // Text switched on leaves a running slide alone; a zero flag stops it.
  c.Call(id::DVCSetAlphaTextSlide, {Variant(std::int16_t(1)), Variant(std::int32_t(40))});
  c.Call(id::DVCSetAlphaText, AlphaText(1));
  EXPECT_TRUE(dlg->SlideTimerActive());
  EXPECT_EQ(c.Call(id::DVCSetAlphaTextSlide, {Variant(std::int16_t(0)), Variant(std::int32_t(40))}).I4(), S_OK);
  EXPECT_FALSE(dlg->SlideTimerActive());
  // A slide step that fails (no overlay to move) stops the timer at its first tick.
  c.Call(id::DVCSetAlphaTextSlide, {Variant(std::int16_t(1)), Variant(std::int32_t(5))});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg->SlideTimerActive(); }, 2000));
}

TEST(OrnikCaptureWindow, GraphEventsWithoutAGraphAreDrainedSilently) {
  QWidget parent;
  parent.show();
  LocalControl c(&parent);
  int events = 0;
  auto sink = EventSink::Create([&](DISPID, std::span<Variant>) { ++events; });
  ComPtr<IConnectionPointContainer> cpc;
  ASSERT_EQ(c.dispatch.As(IID_IConnectionPointContainer, cpc), S_OK);
  ComPtr<IConnectionPoint> cp;
  ASSERT_EQ(cpc->FindConnectionPoint(ornik::DIID__DOrnikEvents, cp.Put()), S_OK);
  std::uint32_t cookie = 0;
  ASSERT_EQ(cp->Advise(sink.Get(), &cookie), S_OK);
  c.ctrl->m_pDlg->PostGraphEvent(1);
  c.ctrl->m_pDlg->PostGraphEvent(0);
  QCoreApplication::processEvents();
  EXPECT_EQ(events, 0);
  // An event posted to a window that is then destroyed is dropped with it.
  c.ctrl->m_pDlg->PostGraphEvent(1);
  c.ctrl->DestroyControlWindow();
  QCoreApplication::processEvents();
  EXPECT_EQ(events, 0);
  cp->Unadvise(cookie);
}

TEST(OrnikCaptureWindow, EnterAndEscapeNeitherCloseItNorReachTheHostWindow) {
  QDialog host;
  host.show();
  LocalControl c(&host);
  c.ctrl->ControlWindow()->show();
  CCaptureDlg* dlg = c.ctrl->m_pDlg;
  ASSERT_TRUE(dlg->isVisible());
  dlg->setFocusPolicy(Qt::StrongFocus);
  dlg->setFocus();
  QTest::keyClick(dlg, Qt::Key_Escape);
  QTest::keyClick(dlg, Qt::Key_Return);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_TRUE(host.isVisible());
  EXPECT_EQ(host.result(), 0);
}

TEST(OrnikEvents, SinksReceiveTheThreeEventsWithTheirArguments) {
  LocalControl c;
  struct Seen {
    DISPID id;
    std::vector<std::int32_t> numbers;
    QByteArray bytes;
    bool onOtherThread;
  };
  std::mutex m;
  std::vector<Seen> seen;
  const auto mainThread = std::this_thread::get_id();
  auto sink = EventSink::Create([&](DISPID n, std::span<Variant> args) {
    Seen s{n, {}, {}, std::this_thread::get_id() != mainThread};
    for (Variant& a : args) {
      if (a.Type() == (VT_BYREF | VT_UI1)) s.bytes = QByteArray(a.RefAs<const char>(), a.RefCount());
      else if (a.Type() == VT_I2) s.numbers.push_back(a.I2());
      else if (a.Type() == VT_I4) s.numbers.push_back(a.I4());
    }
    std::lock_guard lock(m);
    seen.push_back(s);
  });
  ComPtr<IConnectionPointContainer> cpc;
  ASSERT_EQ(c.dispatch.As(IID_IConnectionPointContainer, cpc), S_OK);
  ComPtr<IConnectionPoint> cp;
  EXPECT_EQ(cpc->FindConnectionPoint(ornik::DIID__DOrnik, cp.Put()), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(cpc->FindConnectionPoint(ornik::DIID__DOrnikEvents, cp.Put()), S_OK);
  Guid iid;
  cp->GetConnectionInterface(&iid);
  EXPECT_EQ(iid, ornik::DIID__DOrnikEvents);
  std::uint32_t cookie = 0;
  ASSERT_EQ(cp->Advise(sink.Get(), &cookie), S_OK);

  c.ctrl->FireGraphNotify(1);
  c.ctrl->FireGraphNotify(14);
  c.ctrl->FireTimelinePos(37);
  // The grabber's callback comes on a streaming thread with a buffer the sink may read.
  std::uint8_t frame[6] = {1, 2, 3, 4, 5, 6};
  std::thread streaming([&] { c.ctrl->FireSGCallBack(frame, sizeof frame); });
  streaming.join();

  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].id, 1);
  EXPECT_EQ(seen[0].numbers, std::vector<std::int32_t>{1});
  EXPECT_EQ(seen[1].numbers, std::vector<std::int32_t>{14});
  EXPECT_EQ(seen[2].id, 3);
  EXPECT_EQ(seen[2].numbers, std::vector<std::int32_t>{37});
  EXPECT_EQ(seen[3].id, 2);
  EXPECT_TRUE(seen[3].onOtherThread);
  EXPECT_EQ(seen[3].bytes, QByteArray("\1\2\3\4\5\6", 6));
  EXPECT_EQ(seen[3].numbers, std::vector<std::int32_t>{6});

  // Disconnected sinks hear nothing more; a cookie works once.
  ASSERT_EQ(cp->Unadvise(cookie), S_OK);
  EXPECT_EQ(cp->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  c.ctrl->FireTimelinePos(1);
  EXPECT_EQ(seen.size(), 4u);
}

TEST(OrnikEvents, ASinkMayDisconnectItselfDuringAnEvent) {
  LocalControl c;
  ComPtr<IConnectionPointContainer> cpc;
  ASSERT_EQ(c.dispatch.As(IID_IConnectionPointContainer, cpc), S_OK);
  ComPtr<IConnectionPoint> cp;
  ASSERT_EQ(cpc->FindConnectionPoint(ornik::DIID__DOrnikEvents, cp.Put()), S_OK);
  std::uint32_t cookie = 0;
  int calls = 0;
  auto sink = EventSink::Create([&](DISPID, std::span<Variant>) {
    ++calls;
    cp->Unadvise(cookie);
  });
  ASSERT_EQ(cp->Advise(sink.Get(), &cookie), S_OK);
  c.ctrl->FireGraphNotify(1);
  c.ctrl->FireGraphNotify(1);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(c.ctrl->EventSinkCount(), 0);
  // A sink still connected when the control goes is released with it.
  auto held = EventSink::Create([](DISPID, std::span<Variant>) {});
  ASSERT_EQ(cp->Advise(held.Get(), &cookie), S_OK);
  EXPECT_EQ(held->AddRef(), 3u);
  held->Release();
  cp.Reset();
  cpc.Reset();
  c.dispatch.Reset();
  EXPECT_EQ(held->AddRef(), 2u);
  held->Release();
}
