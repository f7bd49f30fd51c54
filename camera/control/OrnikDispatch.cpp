// The member-by-member routing of the control's dispatch interface. Each member is one small
// function; the member table (OrnikMembers.cpp) has already checked the argument count and types,
// DispatchMember has answered for a missing capture window and refused null or short
// by-reference arguments, so a route always has its capture window and usable pointers.
//
// Members whose work lives in the capture engine answer kNotBuilt until the engine is wired in:
// each such route names the engine operation it is to call. To wire one, replace `kNotBuilt` by
// the call, e.g.
//     const HRESULT hr = c.Engine()->PreviewOnWithGrabber(c.dlg->VideoStatic(), c.dlg);
// (see CaptureEngineSlot.cpp for the engine's creation and the window-level hooks).
#include "OrnikDispatch.h"

#include <cstring>
#include <unordered_map>

#include "CaptureDlg.h"
#include "LogFont.h"
#include "OrnikCtrl.h"
#include "OrnikDispIds.h"
#include "OrnikMembers.h"
#include "codepage/codepage.h"
#include "com/runtime.h"

using namespace com;

namespace ornik {

namespace {

// One call of one member.
struct Call {
  COrnikCtrl& ctl;
  CCaptureDlg* dlg;  // null only for the members that run without a capture window
  const Member& member;
  const Args& a;
  Variant& value;
  std::uint32_t* argError;
  HRESULT invoke = S_OK;  // the call's own result

  void Long(HRESULT v) { value = Variant(std::int32_t(v)); }
  void Short(std::int16_t v) { value = Variant(v); }
  void Text(const QString& v) { value = Variant(v); }
  // The member's work is not built yet.
  void NotBuilt() {
    switch (member.result.type) {
      case VT_I4: Long(kNotBuilt); return;  // a long member's result is its HRESULT
      case VT_I2: Short(0); break;
      case VT_BSTR: Text(QString()); break;
      default: break;
    }
    invoke = kNotBuilt;
  }
  CCaptureEngine* Engine() { return dlg->Engine(); }
};

using Route = void (*)(Call&);

// ---- Entering and leaving the layer (built here in full) ----

// Enters the layer on the calling thread (S_OK, or S_FALSE when it had entered already) and, when
// the capture window exists, selects device 0 and no compressor. The result is the entry's, even
// without a capture window.
void DVCInitialize(Call& c) {
  const HRESULT hr = CoInitialize();
  if (c.dlg) c.dlg->SelectDefaultDevices();
  c.Long(hr);
}

// Leaves the layer once and selects device 0 and no compressor again; a running preview stays.
void DVCUninitialize(Call& c) {
  CoUninitialize();
  if (c.dlg) c.dlg->SelectDefaultDevices();
}

void AboutBox(Call& c) { c.ctl.AboutBox(); }

// ---- Capture graph: live preview, recording, teardown (engine) ----

// Live preview without grabber. Engine: PreviewOn(video static, capture window).
void DVCPreviewOn(Call& c) {
  const HRESULT hr = kNotBuilt;
  if (Succeeded(hr)) c.dlg->ShowVideoStatic(false);
  c.Long(hr);
}

// Live preview with the sample grabber (the road of the stills).
// Engine: PreviewOnWithGrabber(video static, capture window).
void DVCPreviewOn3(Call& c) {
  const HRESULT hr = kNotBuilt;
  if (Succeeded(hr)) c.dlg->ShowVideoStatic(false);
  c.Long(hr);
}

// Ends whatever graph runs and shows the black static again. Engine: TearDownGraph().
void DVCPreviewOff(Call& c) {
  c.dlg->ShowVideoStatic(true);
  c.NotBuilt();
}

// The same routine as DVCPreviewOff.
void DVCPlayStop(Call& c) { DVCPreviewOff(c); }

// Engine: SetCaptureFile(file, 0) without audio.
void DVCSetCapFile(Call& c) { c.Long(kNotBuilt); }
// Engine: SetCaptureFile(file, 1) with the first audio input.
void DVCSetCapFile2(Call& c) { c.Long(kNotBuilt); }
// Engine: RecStart().
void DVCRecStart(Call& c) { c.Long(kNotBuilt); }
// Engine: RecStop().
void DVCRecStop(Call& c) { c.Long(kNotBuilt); }

// ---- Stills ----

// nIndex < 0: the grabber's newest live frame as a BMP file (engine: live still writer);
// nIndex >= 0: that frame of the file opened for stills (played-file stills, a later topic).
void DVCStillCapture(Call& c) {
  if (c.a.I4(1) < 0) {
    c.Long(kNotBuilt);  // engine: SaveLiveStill(file)
  } else {
    c.Long(kNotBuilt);  // played-file stills: SaveFrame(file, nIndex, wait 1)
  }
}

// ---- Video layout and text overlay (engine) ----

// Engine: SetStretchType(nType) (0 to 2, else E_FAIL).
void DVCSetStretchType(Call& c) { c.Long(kNotBuilt); }
// Engine: GetStretchType().
void DVCGetStretchType(Call& c) { c.NotBuilt(); }

// Starts (nEnable != 0, period lTimeOut ms, replacing a running one) or stops the slide timer.
void DVCSetAlphaTextSlide(Call& c) {
  if (c.a.I2(0) == 0) c.dlg->StopSlideTimer();
  else c.dlg->StartSlideTimer(c.a.I4(1));
  c.Long(S_OK);
}

// Engine: SetAlphaText(text, fg, bk, key, fLeft, fTop, nEnable, capture window). nEnable 0 also
// stops the slide timer, whatever the engine answers.
void DVCSetAlphaText(Call& c) {
  const HRESULT hr = kNotBuilt;
  if (c.a.I2(6) == 0) c.dlg->StopSlideTimer();
  c.Long(hr);
}

// Engine: SetAlphaFont(font).
HRESULT SetAlphaFont(Call&, const LogFont&) { return kNotBuilt; }

// The host's 60-byte font description (checked to be 60 bytes long by the table); the face name
// is cut to end inside its 32 bytes.
void DVCSetAlphaTextFont(Call& c) {
  LogFont font;
  std::memcpy(&font, c.a.Bytes(0).data(), sizeof font);
  font.lfFaceName[sizeof font.lfFaceName - 1] = 0;
  c.Long(SetAlphaFont(c, font));
}

// The same description from its fourteen values: the short ones narrowed to their low byte, the
// face name in CP932, cut at a character boundary so that its terminator fits.
void DVCSetAlphaTextFont2(Call& c) {
  LogFont font;
  font.lfHeight = c.a.I4(0);
  font.lfWidth = c.a.I4(1);
  font.lfEscapement = c.a.I4(2);
  font.lfOrientation = c.a.I4(3);
  font.lfWeight = c.a.I4(4);
  font.lfItalic = static_cast<std::uint8_t>(c.a.I2(5));
  font.lfUnderline = static_cast<std::uint8_t>(c.a.I2(6));
  font.lfStrikeOut = static_cast<std::uint8_t>(c.a.I2(7));
  font.lfCharSet = static_cast<std::uint8_t>(c.a.I2(8));
  font.lfOutPrecision = static_cast<std::uint8_t>(c.a.I2(9));
  font.lfClipPrecision = static_cast<std::uint8_t>(c.a.I2(10));
  font.lfQuality = static_cast<std::uint8_t>(c.a.I2(11));
  font.lfPitchAndFamily = static_cast<std::uint8_t>(c.a.I2(12));
  const QByteArray face = cp::CutAnsi(cp::ToAnsiLossy(c.a.Str(13)), sizeof font.lfFaceName - 1);
  std::memcpy(font.lfFaceName, face.constData(), static_cast<std::size_t>(face.size()));
  c.Long(SetAlphaFont(c, font));
}

// ---- Devices and compressors (engine) ----

// Engine: VideoInputDeviceCount() (a count; 0 without devices).
void DVCGetVInDevNo(Call& c) { c.NotBuilt(); }
// Engine: VideoInputDeviceName(nDevNo) (empty beyond the count).
void DVCGetVInDevName(Call& c) { c.NotBuilt(); }
// Engine: SetVideoInputDevice(nDevNo) (stored for the next build).
void DVCSetVInDevNo(Call& c) { c.NotBuilt(); }
// Engine: CompressorCount().
void DVCGetVCompNo(Call& c) { c.NotBuilt(); }
// Engine: CompressorName(nCompNo).
void DVCGetVCompName(Call& c) { c.NotBuilt(); }
// Engine: SetCompressor(nCompNo) (-1 = none).
void DVCSetVCompNo(Call& c) { c.NotBuilt(); }

// ---- Stream formats and the grabber buffer (engine) ----

// Engine: CapsCount(capture pin, nCount).
void DVCGetVCaptureCapsNo(Call& c) { c.Long(kNotBuilt); }
// Engine: CapsCount(preview pin, nCount).
void DVCGetVPreviewCapsNo(Call& c) { c.Long(kNotBuilt); }
// Engine: GetCaps(preview pin, nIndex, six sizes, colour space, 10-long header).
void DVCGetVPreviewCaps(Call& c) { c.Long(kNotBuilt); }
// Engine: GetCaps(capture pin, ...).
void DVCGetVCaptureCaps(Call& c) { c.Long(kNotBuilt); }
// Engine: SetCaps(capture pin, nIndex, nWidth, nHeight, header).
void DVCSetVCaptureCaps(Call& c) { c.Long(kNotBuilt); }
// Engine: SetCaps(preview pin, ...).
void DVCSetVPreviewCaps(Call& c) { c.Long(kNotBuilt); }
// Engine: GetCaps2(capture pin, nIndex, six sizes, colour space).
void DVCGetVCaptureCaps2(Call& c) { c.Long(kNotBuilt); }
// Engine: GetCaps2(preview pin, ...).
void DVCGetVPreviewCaps2(Call& c) { c.Long(kNotBuilt); }
// Engine: GetCapsHeader(capture pin, nIndex, ten header fields).
void DVCGetVCaptureCapsBih(Call& c) { c.Long(kNotBuilt); }
// Engine: GetCapsHeader(preview pin, ...).
void DVCGetVPreviewCapsBih(Call& c) { c.Long(kNotBuilt); }
// Engine: SetCaps2(capture pin, nIndex, ten header fields), then the preview is rebuilt.
void DVCSetVCaptureCaps2(Call& c) { c.Long(kNotBuilt); }
// Engine: SetCaps2(preview pin, ...).
void DVCSetVPreviewCaps2(Call& c) { c.Long(kNotBuilt); }
// Engine: CurrentResolution(capture pin, nWidth, nHeight).
void DVCGetVCapResolution(Call& c) { c.Long(kNotBuilt); }
// Engine: CurrentResolution(preview pin, ...).
void DVCGetVPrevResolution(Call& c) { c.Long(kNotBuilt); }
// Engine: SetGrabberSubtype(nType) (0 RGB24, 1 YUY2, 2 UYVY, 3 YVYU, else E_FAIL).
void DVCSetSGMediaType(Call& c) { c.Long(kNotBuilt); }

// Engine: CopyGrabberBuffer(size in/out, buffer, width, height). The size asked for must fit the
// caller's buffer: a negative size or one past its end is refused before anything is copied.
void DVCGetCurrentBuffer(Call& c) {
  const std::int32_t wanted = *c.a.RefI4(0);
  if (wanted < 0 || static_cast<std::size_t>(wanted) > c.a.Bytes(1).size()) {
    if (c.argError) *c.argError = 1;
    c.Long(E_POINTER);
    return;
  }
  c.Long(kNotBuilt);
}

// ---- Editing ----

// The start and stop times are coerced to 32-bit values as any long argument is; a value that is
// no number makes the call fail with DISP_E_TYPEMISMATCH.
void DVCEdSetStartStop(Call& c) {
  for (std::size_t i = 2; i < 4; ++i) {
    Variant v;
    if (const HRESULT hr = ChangeType(v, c.a.Value(i), VT_I4); Failed(hr)) {
      if (c.argError) *c.argError = static_cast<std::uint32_t>(i);
      c.invoke = hr;
      return;
    }
  }
  c.Long(kNotBuilt);  // timeline writer
}

// Every member whose work belongs to a later topic: playback of files, stills from played files,
// device settings, tape transport, compression settings, audio input and timeline rendering.
void Later(Call& c) { c.NotBuilt(); }

const std::unordered_map<DISPID, Route>& Routes() {
  static const std::unordered_map<DISPID, Route> routes = {
      {dispid::DVCInitialize, &DVCInitialize},
      {dispid::DVCUninitialize, &DVCUninitialize},
      {dispid::AboutBox, &AboutBox},
      // capture graph
      {dispid::DVCPreviewOn, &DVCPreviewOn},
      {dispid::DVCPreviewOn3, &DVCPreviewOn3},
      {dispid::DVCPreviewOff, &DVCPreviewOff},
      {dispid::DVCPlayStop, &DVCPlayStop},
      {dispid::DVCSetCapFile, &DVCSetCapFile},
      {dispid::DVCSetCapFile2, &DVCSetCapFile2},
      {dispid::DVCRecStart, &DVCRecStart},
      {dispid::DVCRecStop, &DVCRecStop},
      // stills
      {dispid::DVCStillCapture, &DVCStillCapture},
      // layout and overlay
      {dispid::DVCSetStretchType, &DVCSetStretchType},
      {dispid::DVCGetStretchType, &DVCGetStretchType},
      {dispid::DVCSetAlphaTextSlide, &DVCSetAlphaTextSlide},
      {dispid::DVCSetAlphaText, &DVCSetAlphaText},
      {dispid::DVCSetAlphaTextFont, &DVCSetAlphaTextFont},
      {dispid::DVCSetAlphaTextFont2, &DVCSetAlphaTextFont2},
      // devices and compressors
      {dispid::DVCGetVInDevNo, &DVCGetVInDevNo},
      {dispid::DVCGetVInDevName, &DVCGetVInDevName},
      {dispid::DVCSetVInDevNo, &DVCSetVInDevNo},
      {dispid::DVCGetVCompNo, &DVCGetVCompNo},
      {dispid::DVCGetVCompName, &DVCGetVCompName},
      {dispid::DVCSetVCompNo, &DVCSetVCompNo},
      // stream formats and grabber buffer
      {dispid::DVCGetVCaptureCapsNo, &DVCGetVCaptureCapsNo},
      {dispid::DVCGetVPreviewCapsNo, &DVCGetVPreviewCapsNo},
      {dispid::DVCGetVPreviewCaps, &DVCGetVPreviewCaps},
      {dispid::DVCGetVCaptureCaps, &DVCGetVCaptureCaps},
      {dispid::DVCSetVCaptureCaps, &DVCSetVCaptureCaps},
      {dispid::DVCSetVPreviewCaps, &DVCSetVPreviewCaps},
      {dispid::DVCGetVCaptureCaps2, &DVCGetVCaptureCaps2},
      {dispid::DVCGetVPreviewCaps2, &DVCGetVPreviewCaps2},
      {dispid::DVCGetVCaptureCapsBih, &DVCGetVCaptureCapsBih},
      {dispid::DVCGetVPreviewCapsBih, &DVCGetVPreviewCapsBih},
      {dispid::DVCSetVCaptureCaps2, &DVCSetVCaptureCaps2},
      {dispid::DVCSetVPreviewCaps2, &DVCSetVPreviewCaps2},
      {dispid::DVCGetVCapResolution, &DVCGetVCapResolution},
      {dispid::DVCGetVPrevResolution, &DVCGetVPrevResolution},
      {dispid::DVCSetSGMediaType, &DVCSetSGMediaType},
      {dispid::DVCGetCurrentBuffer, &DVCGetCurrentBuffer},
      // editing
      {dispid::DVCEdSetStartStop, &DVCEdSetStartStop},
      {dispid::DVCEdFileCut, &Later},
      // playback of files
      {dispid::DVCGetFrameNum, &Later},
      {dispid::DVCDoPlay, &Later},
      {dispid::DVCDoPause, &Later},
      {dispid::DVCDoStop, &Later},
      {dispid::DVCSetPosition, &Later},
      {dispid::DVCGetPosition, &Later},
      {dispid::DVCDoSlowPlay, &Later},
      {dispid::DVCDoFastPlay, &Later},
      {dispid::DVCDoPlayPart, &Later},
      {dispid::DVCPlayStart, &Later},
      {dispid::DVCPlayStart3Ready, &Later},
      {dispid::DVCSetTime, &Later},
      {dispid::DVCGetTime, &Later},
      {dispid::DVCGetMediaTime, &Later},
      {dispid::DVCIsAbsoluteSeek, &Later},
      {dispid::DVCDoPlayPart2, &Later},
      // stills from played files
      {dispid::DVCStillCapStart, &Later},
      {dispid::DVCStillCapStop, &Later},
      {dispid::DVCStillCapture2, &Later},
      // device settings
      {dispid::DVCSetVideoQuality, &Later},
      {dispid::DVCGetVideoQuality, &Later},
      {dispid::DVCGetAvailableTVFormat, &Later},
      {dispid::DVCGetTVFormat, &Later},
      {dispid::DVCSetTVFormat, &Later},
      {dispid::DVCCrossbarFilterProperty, &Later},
      {dispid::DVCCaptureFilterProperty, &Later},
      {dispid::DVCDvDecFilterProperty, &Later},
      {dispid::DVCCapturePinProperty, &Later},
      {dispid::DVCPreviewPinProperty, &Later},
      {dispid::DVCGetDVDecResolution, &Later},
      {dispid::DVCSetDVDecResolution, &Later},
      {dispid::DVCGetInPinCounts, &Later},
      {dispid::DVCGetOutPinCounts, &Later},
      {dispid::DVCGetInPinName, &Later},
      {dispid::DVCGetOutPinName, &Later},
      {dispid::DVCIsRoutedTo, &Later},
      {dispid::DVCSetRoute, &Later},
      {dispid::DVCVfwCaptureDialogs, &Later},
      // tape transport
      {dispid::DVCVcrPlay, &Later},
      {dispid::DVCVcrStop, &Later},
      {dispid::DVCVcrPause, &Later},
      {dispid::DVCVcrFF, &Later},
      {dispid::DVCVcrREW, &Later},
      {dispid::DVCVcrStepFWD, &Later},
      {dispid::DVCVcrPlayFastREV, &Later},
      {dispid::DVCVcrStepREV, &Later},
      {dispid::DVCVcrPlayFastFWD, &Later},
      {dispid::DVCVcrPlaySlowFWD, &Later},
      {dispid::DVCVcrPlaySlowREV, &Later},
      {dispid::DVCVcrREVPlay, &Later},
      {dispid::DVCVcrRec, &Later},
      {dispid::DVCVcrRecStop, &Later},
      {dispid::DVCVcrATNSeek, &Later},
      {dispid::DVCVcrATNSeek2, &Later},
      {dispid::DVCVcrGetTime, &Later},
      // compression and recording settings
      {dispid::DVCGetVCompCaps, &Later},
      {dispid::DVCGetVCompQuality, &Later},
      {dispid::DVCSetVCompQuality, &Later},
      {dispid::DVCGetVCompKFrame, &Later},
      {dispid::DVCSetVCompKFrame, &Later},
      {dispid::DVCGetVCompPFrame, &Later},
      {dispid::DVCSetVCompPFrame, &Later},
      {dispid::DVCVCompProperty, &Later},
      {dispid::DVCGetVCompDropped, &Later},
      {dispid::DVCSetVCompCrunch, &Later},
      {dispid::DVCGetVCompCrunch, &Later},
      {dispid::DVCGetVCompNotDropped, &Later},
      {dispid::DVCSetCaptureFrameRate, &Later},
      {dispid::DVCGetAVIFrameRate, &Later},
      {dispid::DVCVfwCompressDialogs, &Later},
      // audio input
      {dispid::DVCAudioFilterProperty, &Later},
      {dispid::DVCGetAInLineNo, &Later},
      {dispid::DVCGetAInLineName, &Later},
      {dispid::DVCSetAInLineNo, &Later},
      {dispid::DVCGetAudioFormat, &Later},
      {dispid::DVCSetAudioFormat, &Later},
  };
  return routes;
}

// The answer of a member while the control has no capture window.
void AnswerWithoutWindow(const Member& m, Variant& value) {
  switch (m.result.type) {
    case VT_I4: value = Variant(std::int32_t(m.tag == kFailWithoutWindow ? E_FAIL : 0)); break;
    case VT_I2: value = Variant(std::int16_t(0)); break;
    case VT_BSTR: value = Variant(QString()); break;
    default: value = Variant(); break;
  }
}

}  // namespace

bool HasRoute(DISPID id) { return Routes().count(id) != 0; }

HRESULT DispatchMember(COrnikCtrl& ctl, const Member& member, const Args& args, Variant& value,
                       std::uint32_t* argError) {
  if (member.tag != kRunsWithoutWindow && !ctl.m_pDlg) {
    AnswerWithoutWindow(member, value);
    return S_OK;
  }
  if (const HRESULT hr = args.CheckReferences(argError); Failed(hr)) {
    if (member.result.type != VT_I4) return hr;
    value = Variant(std::int32_t(hr));
    return S_OK;
  }
  const auto it = Routes().find(member.id);
  if (it == Routes().end()) return DISP_E_MEMBERNOTFOUND;
  Call call{ctl, ctl.m_pDlg, member, args, value, argError};
  it->second(call);
  return call.invoke;
}

}  // namespace ornik
