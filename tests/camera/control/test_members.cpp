// Every member of the control's dispatch interface, called late-bound through the real library:
// what each answers without a capture window, that none claims a success it has not earned, the
// automation errors of wrong calls, the checks of references and buffers, and the entry of the
// calling thread.
#include <QFile>

#include <set>
#include <thread>

#include "OrnikDispIds.h"
#include "ornik_fixture.h"

using namespace com;
using orniktest::AllMemberNumbers;
using orniktest::ArgumentsFor;
using orniktest::ModalCloser;
using orniktest::OrnikTest;
namespace id = ornik::dispid;

namespace {

// Members that answer a number 0 (not E_FAIL) without a capture window.
const std::set<DISPID> kZeroWithoutWindow = {id::DVCGetFrameNum, id::DVCGetPosition, id::DVCGetVInDevNo, id::DVCGetVCompNo, id::DVCIsAbsoluteSeek, id::DVCGetAInLineNo};
// Members that answer an empty text without a capture window.
const std::set<DISPID> kEmptyTextWithoutWindow = {id::DVCGetVInDevName, id::DVCGetInPinName, id::DVCGetOutPinName, id::DVCGetVCompName, id::DVCGetAInLineName};
// Members without a result.
const std::set<DISPID> kVoid = {id::DVCUninitialize, id::DVCPreviewOff, id::DVCPlayStop, id::DVCDoStop, id::DVCSetPosition, id::DVCStillCapStop, id::DVCSetVInDevNo, id::DVCSetVCompNo, id::DVCSetTime, id::AboutBox};
// Members whose work is built in the control itself.
const std::set<DISPID> kBuilt = {id::DVCUninitialize, id::DVCInitialize, id::DVCSetAlphaTextSlide,
                                 id::AboutBox};
// Members built on the capture engine. The member loop calls DVCPlayStop (13) before any of
// those that need a live graph, so whatever camera the machine has, they find none.
const std::set<DISPID> kEngineNeedsGraph = {id::DVCGetVCaptureCapsNo, id::DVCGetVPreviewCapsNo, id::DVCGetVPreviewCaps, id::DVCGetVCaptureCaps, id::DVCSetVCaptureCaps, id::DVCSetVPreviewCaps, id::DVCSetStretchType, id::DVCGetCurrentBuffer, id::DVCSetAlphaText, id::DVCGetVCaptureCaps2, id::DVCGetVCaptureCapsBih, id::DVCSetVCaptureCaps2, id::DVCGetVPreviewCaps2, id::DVCGetVPreviewCapsBih, id::DVCSetVPreviewCaps2, id::DVCGetVCapResolution, id::DVCGetVPrevResolution, id::DVCSetCapFile, id::DVCSetCapFile2, id::DVCRecStart, id::DVCRecStop, id::DVCGetVCompCaps, id::DVCGetVCompQuality, id::DVCSetVCompQuality, id::DVCGetVCompKFrame, id::DVCSetVCompKFrame, id::DVCGetVCompPFrame, id::DVCSetVCompPFrame, id::DVCVCompProperty, id::DVCGetVCompDropped, id::DVCSetVCompCrunch, id::DVCGetVCompCrunch, id::DVCGetVCompNotDropped, id::DVCSetCaptureFrameRate, id::DVCGetAVIFrameRate, id::DVCVfwCompressDialogs, id::DVCAudioFilterProperty, id::DVCSetAInLineNo, id::DVCGetAudioFormat, id::DVCSetAudioFormat};
// Device settings, routing, DV decoder and tape transport need a live graph (or a tape device) too.
const std::set<DISPID> kDevicesNeedGraph = {id::DVCSetVideoQuality, id::DVCGetVideoQuality, id::DVCGetAvailableTVFormat, id::DVCGetTVFormat, id::DVCSetTVFormat, id::DVCCrossbarFilterProperty, id::DVCCaptureFilterProperty, id::DVCDvDecFilterProperty, id::DVCCapturePinProperty, id::DVCPreviewPinProperty, id::DVCGetDVDecResolution, id::DVCSetDVDecResolution, id::DVCGetInPinCounts, id::DVCGetOutPinCounts, id::DVCIsRoutedTo, id::DVCSetRoute, id::DVCVfwCaptureDialogs, id::DVCVcrPlay, id::DVCVcrStop, id::DVCVcrPause, id::DVCVcrFF, id::DVCVcrREW, id::DVCVcrStepFWD, id::DVCVcrPlayFastREV, id::DVCVcrStepREV, id::DVCVcrPlayFastFWD, id::DVCVcrPlaySlowFWD, id::DVCVcrPlaySlowREV, id::DVCVcrREVPlay, id::DVCVcrRec, id::DVCVcrRecStop, id::DVCVcrATNSeek, id::DVCVcrATNSeek2, id::DVCVcrGetTime};
const std::set<DISPID> kEngineCounts = {id::DVCGetVInDevNo, id::DVCGetVCompNo, id::DVCGetAInLineNo};
const std::set<DISPID> kEngineFonts = {id::DVCSetAlphaTextFont, id::DVCSetAlphaTextFont2};
const std::set<DISPID> kEngineNoNumber = {id::DVCPreviewOff, id::DVCPlayStop, id::DVCGetVInDevName, id::DVCSetVInDevNo,
                                          id::DVCGetStretchType, id::DVCGetVCompName, id::DVCSetVCompNo, id::DVCGetAInLineName,
                                          id::DVCGetInPinName, id::DVCGetOutPinName};
// Members of played files and timelines: without a graph, or given a file that does not exist,
// they answer 0 (a count, a position, a flag), a failure, or nothing.
const std::set<DISPID> kPlaybackZero = {id::DVCGetFrameNum, id::DVCGetPosition, id::DVCIsAbsoluteSeek};
const std::set<DISPID> kPlaybackFails = {id::DVCPlayStart, id::DVCPlayStart3Ready, id::DVCGetMediaTime, id::DVCDoPlay, id::DVCDoSlowPlay, id::DVCDoFastPlay, id::DVCDoPause, id::DVCGetTime, id::DVCDoPlayPart, id::DVCDoPlayPart2, id::DVCStillCapStart, id::DVCStillCapture2, id::DVCEdSetStartStop, id::DVCEdFileCut};
const std::set<DISPID> kPlaybackVoid = {id::DVCDoStop, id::DVCSetPosition, id::DVCSetTime, id::DVCStillCapStop};
// Every member of the interface is in one of the groups above.

const Member& Decl(DISPID n) {
  const Member* m = ornik::Members().Find(n);
  EXPECT_TRUE(m) << "member " << n;
  return *m;
}

}  // namespace

using OrnikMembers = OrnikTest;

TEST_F(OrnikMembers, EveryMemberWithoutCaptureWindowAnswersItsMissingWindowValue) {
  auto site = Create({QRect(0, 0, 64, 48), false});  // never made visible: no window
  ASSERT_TRUE(site);
  ASSERT_EQ(site->Widget(), nullptr);
  ModalCloser closer;
  const int entered = CoInitializeCount();
  for (DISPID n : AllMemberNumbers()) {
    SCOPED_TRACE(n);
    ArgumentsFor args(Decl(n));
    Variant r(u"untouched");
    ASSERT_EQ(site->InvokeArgs(n, args.values, &r), S_OK);
    if (n == id::DVCInitialize) {
      EXPECT_EQ(r.Type(), VT_I4);
      EXPECT_EQ(r.I4(), entered == 0 ? S_OK : S_FALSE);  // the entry's result, window or not
    } else if (n == id::DVCGetStretchType) {
      ASSERT_EQ(r.Type(), VT_I2);
      EXPECT_EQ(r.I2(), 0);
    } else if (kZeroWithoutWindow.count(n)) {
      ASSERT_EQ(r.Type(), VT_I4);
      EXPECT_EQ(r.I4(), 0);
    } else if (kEmptyTextWithoutWindow.count(n)) {
      ASSERT_EQ(r.Type(), VT_BSTR);
      EXPECT_EQ(r.ToQString(), QString());
    } else if (kVoid.count(n)) {
      EXPECT_TRUE(r.IsEmpty());
    } else {
      ASSERT_EQ(r.Type(), VT_I4);
      EXPECT_EQ(r.I4(), E_FAIL);
    }
  }
  // The about box needs no capture window either.
  EXPECT_EQ(closer.titles.size(), 1u);
  // DVCStillCapture wrote nothing.
  EXPECT_FALSE(QFile::exists(QStringLiteral("/nonexistent/ornik-test.bmp")));
  site->Invoke(id::DVCUninitialize);
}

TEST_F(OrnikMembers, WithCaptureWindowNoMemberClaimsAnUnearnedSuccess) {
  auto site = Create();
  ASSERT_TRUE(site && site->Widget());
  ModalCloser closer;
  for (DISPID n : AllMemberNumbers()) {
    SCOPED_TRACE(n);
    // The host's numbers and the library's names agree.
    EXPECT_EQ(site->IdOfName(Decl(n).name), n);
    ArgumentsFor args(Decl(n));
    Variant r;
    const HRESULT call = site->InvokeArgs(n, args.values, &r);
    if (kBuilt.count(n)) {
      EXPECT_EQ(call, S_OK);
      if (r.Type() == VT_I4) {
        EXPECT_GE(r.I4(), 0);
      }
    } else if (kEngineNeedsGraph.count(n) || kDevicesNeedGraph.count(n) || n == id::DVCSetSGMediaType) {  // the latter given -1
      EXPECT_EQ(call, S_OK);
      EXPECT_EQ(r.I4(), E_FAIL);
    } else if (kEngineCounts.count(n)) {
      EXPECT_EQ(call, S_OK);
      EXPECT_GE(r.I4(), 0);
    } else if (kEngineFonts.count(n)) {
      EXPECT_EQ(call, S_OK);
      EXPECT_EQ(r.I4(), S_OK);
    } else if (kEngineNoNumber.count(n)) {
      EXPECT_EQ(call, S_OK);
      if (r.Type() == VT_BSTR) {
        EXPECT_EQ(r.ToQString(), QString());  // index -1
      } else if (r.Type() == VT_I2) {
        EXPECT_EQ(r.I2(), 0);
      }
    } else if (n == id::DVCPreviewOn || n == id::DVCPreviewOn3) {
      EXPECT_EQ(call, S_OK);  // runs when the machine has a camera
      EXPECT_NE(r.I4(), E_NOTIMPL);
    } else if (kPlaybackZero.count(n)) {
      EXPECT_EQ(call, S_OK);
      EXPECT_EQ(r.I4(), 0);
    } else if (kPlaybackFails.count(n)) {
      EXPECT_EQ(call, S_OK);
      EXPECT_LT(r.I4(), 0);
    } else if (kPlaybackVoid.count(n)) {
      EXPECT_EQ(call, S_OK);
      EXPECT_TRUE(r.IsEmpty());
    } else if (n == id::DVCStillCapture) {
      EXPECT_EQ(call, S_OK);
      EXPECT_LT(r.I4(), 0);  // no grabber, or a folder that does not exist
    } else {
      ADD_FAILURE() << Decl(n).name.toStdString() << " answers nothing the test knows";
    }
  }
  EXPECT_EQ(closer.titles.size(), 1u);
  site->Invoke(id::DVCUninitialize);
  // The still of a live frame that does not exist writes no file.
  EXPECT_FALSE(QFile::exists(QStringLiteral("/nonexistent/ornik-test.bmp")));
}

TEST_F(OrnikMembers, WrongCallsGetAutomationErrorsNeverACrash) {
  auto site = Create();
  ASSERT_TRUE(site);
  Variant r;
  EXPECT_EQ(site->Invoke(200, {}, &r), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(site->Invoke(0, {}, &r), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(site->Invoke(id::DVCInitialize, {Variant(std::int32_t(1))}, &r), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(site->Invoke(id::DVCStillCapture, {Variant(u"a.bmp")}, &r), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(site->Invoke(id::DVCSetStretchType, {Variant(u"wide")}, &r), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(site->Invoke(id::DVCSetStretchType, {Variant(std::int32_t(70000))}, &r), DISP_E_OVERFLOW);
  // Parameter counts of the longest members.
  EXPECT_EQ(Decl(id::DVCSetVCaptureCaps2).params.size(), 11u);
  EXPECT_EQ(Decl(id::DVCGetVCaptureCapsBih).params.size(), 11u);
  EXPECT_EQ(Decl(id::DVCSetAlphaTextFont2).params.size(), 14u);
  EXPECT_EQ(Decl(id::DVCGetVCaptureCaps).params.size(), 9u);
  // An out-parameter given by value, or of another type, is refused.
  std::int16_t small = 0;
  EXPECT_EQ(site->Invoke(id::DVCGetTVFormat, {Variant(std::int32_t(0))}, &r), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(site->Invoke(id::DVCGetTVFormat, {Variant::Ref(&small)}, &r), DISP_E_TYPEMISMATCH);
  // The numbers of a text come through as the member's short.
  std::vector<Variant> slide = {Variant(u"0"), Variant(u"40")};
  EXPECT_EQ(site->InvokeArgs(id::DVCSetAlphaTextSlide, slide, &r), S_OK);
  EXPECT_EQ(r.I4(), S_OK);
  // Times given as VARIANTs must be numbers.
  std::vector<Variant> cut = {Variant(u"in.avi"), Variant(u"cut.xtl"), Variant(u"later"), Variant(2.0)};
  EXPECT_EQ(site->InvokeArgs(id::DVCEdSetStartStop, cut, &r), DISP_E_TYPEMISMATCH);
  cut[2] = Variant(u"10");
  EXPECT_EQ(site->InvokeArgs(id::DVCEdSetStartStop, cut, &r), S_OK);  // past the checks
  EXPECT_LT(r.I4(), 0);                                                // in.avi does not exist
}

TEST_F(OrnikMembers, NullOrShortOutPointersAndBuffersGiveEPointer) {
  auto site = Create();
  ASSERT_TRUE(site);
  Variant r;
  // A null single out-pointer.
  EXPECT_EQ(site->Invoke(id::DVCGetTVFormat, {Variant::Ref(static_cast<std::int32_t*>(nullptr))}, &r), S_OK);
  EXPECT_EQ(r.I4(), E_POINTER);
  // The 40-byte bitmap header must have room for ten longs.
  std::int16_t s[7] = {};
  std::int32_t bih[10] = {};
  auto caps = [&](std::uint32_t room) {
    std::vector<Variant> a = {Variant(std::int16_t(0))};
    for (auto& v : s) a.push_back(Variant::Ref(&v));
    a.push_back(Variant::Ref(bih, room));
    Variant out;
    EXPECT_EQ(site->InvokeArgs(id::DVCGetVCaptureCaps, a, &out), S_OK);
    return out.I4();
  };
  EXPECT_EQ(caps(9), E_POINTER);
  EXPECT_EQ(caps(10), E_FAIL);  // room enough, but no live graph
  for (std::int32_t v : bih) EXPECT_EQ(v, 0);
  // The 60-byte font description.
  std::uint8_t font[60] = {};
  EXPECT_EQ(site->Invoke(id::DVCSetAlphaTextFont, {Variant::Ref(font, 59)}, &r), S_OK);
  EXPECT_EQ(r.I4(), E_POINTER);
  EXPECT_EQ(site->Invoke(id::DVCSetAlphaTextFont, {Variant::Ref(font, 60)}, &r), S_OK);
  EXPECT_EQ(r.I4(), S_OK);
  // The grabber buffer: the size asked for must fit the buffer given.
  std::int32_t size = 100, w = 0, h = 0;
  std::uint8_t buffer[64] = {};
  auto current = [&](std::uint32_t room) {
    std::vector<Variant> a = {Variant::Ref(&size), Variant::Ref(buffer, room), Variant::Ref(&w),
                              Variant::Ref(&h)};
    Variant out;
    EXPECT_EQ(site->InvokeArgs(id::DVCGetCurrentBuffer, a, &out), S_OK);
    return out.I4();
  };
  EXPECT_EQ(current(64), E_POINTER);
  size = -1;
  EXPECT_EQ(current(64), E_POINTER);
  size = 64;
  EXPECT_EQ(current(64), E_FAIL);  // no grabber
  // Without a capture window the missing-window answer comes first, and nothing is written.
  auto hidden = Create({QRect(0, 0, 10, 10), false});
  EXPECT_EQ(hidden->Invoke(id::DVCGetTVFormat, {Variant::Ref(static_cast<std::int32_t*>(nullptr))}, &r), S_OK);
  EXPECT_EQ(r.I4(), E_FAIL);
}

TEST_F(OrnikMembers, InitializeAnswersZeroThenOneOnOneThread) {
  auto site = Create({QRect(0, 0, 10, 10), false});
  ASSERT_TRUE(site);
  const int mainBefore = CoInitializeCount();
  std::vector<std::int32_t> results;
  std::thread worker([&] {
    Variant r;
    for (int i = 0; i < 2; ++i) {
      site->Invoke(id::DVCInitialize, {}, &r);
      results.push_back(r.I4());
    }
    // The host side of the layer sees the same state as the control.
    results.push_back(CoInitializeCount());
    site->Invoke(id::DVCUninitialize);
    site->Invoke(id::DVCUninitialize);
    site->Invoke(id::DVCUninitialize);  // one too many does nothing
    site->Invoke(id::DVCInitialize, {}, &r);
    results.push_back(r.I4());
    site->Invoke(id::DVCUninitialize);
  });
  worker.join();
  EXPECT_EQ(results, (std::vector<std::int32_t>{0, 1, 2, 0}));
  EXPECT_EQ(CoInitializeCount(), mainBefore);  // another thread's entries are its own
  // A host that entered first gets S_FALSE from the control.
  CoInitialize();
  Variant r;
  site->Invoke(id::DVCInitialize, {}, &r);
  EXPECT_EQ(r.I4(), S_FALSE);
  site->Invoke(id::DVCUninitialize);
  CoUninitialize();
  EXPECT_EQ(CoInitializeCount(), mainBefore);
}

TEST_F(OrnikMembers, AboutBoxIsModalAndNeutral) {
  auto site = Create();
  ModalCloser closer;
  EXPECT_EQ(site->Invoke(id::AboutBox), S_OK);
  ASSERT_EQ(closer.titles.size(), 1u);
  EXPECT_TRUE(closer.titles[0].contains(QStringLiteral("Ornik")));
}
