// The member-by-member routing of the control's dispatch interface. Each member is one small
// function; the member table (OrnikMembers.cpp) has already checked the argument count and types,
// DispatchMember has answered for a missing capture window and refused null or short
// by-reference arguments, so a route always has its capture window and usable pointers.
//
// Members whose work lives in the capture engine call it through c.Engine(); the graph builders get
// the capture window through EngineWindow (CaptureEngineSlot.cpp). Members of topics not built yet
// answer kNotBuilt and name the engine operation they are to call.
#include "OrnikDispatch.h"

#include <QFile>

#include <cstring>
#include <unordered_map>

#include "CaptureDlg.h"
#include "CaptureEngineSlot.h"
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

// The black static gives way to the picture of a build that succeeded. The engine ends a running
// graph before it builds, so after a failed build no graph draws and the static shows again.
void ShowBuildResult(Call& c, HRESULT hr) {
  c.dlg->ShowVideoStatic(Failed(hr));
  c.Long(hr);
}

// Live preview without grabber into the capture window.
void DVCPreviewOn(Call& c) { ShowBuildResult(c, c.Engine()->PreviewOn(EngineWindow(*c.dlg))); }

// Live preview with the sample grabber (the road of the stills).
void DVCPreviewOn3(Call& c) { ShowBuildResult(c, c.Engine()->PreviewOnWithGrabber(EngineWindow(*c.dlg))); }

// Ends whatever graph runs and shows the black static again.
void DVCPreviewOff(Call& c) {
  c.Engine()->TearDownGraph();
  c.dlg->ShowVideoStatic(true);
}

// The same routine as DVCPreviewOff.
void DVCPlayStop(Call& c) { DVCPreviewOff(c); }

// The recording branch comes with a later topic.
// Engine: SetCaptureFile(file, 0) without audio.
void DVCSetCapFile(Call& c) { c.Long(kNotBuilt); }
// Engine: SetCaptureFile(file, 1) with the first audio input.
void DVCSetCapFile2(Call& c) { c.Long(kNotBuilt); }
// Engine: RecStart().
void DVCRecStart(Call& c) { c.Long(kNotBuilt); }
// Engine: RecStop().
void DVCRecStop(Call& c) { c.Long(kNotBuilt); }

// ---- Stills ----

// nIndex < 0: the grabber's newest live frame as a BMP file, written before the call returns;
// nIndex >= 0: that frame of the file opened for stills (played-file stills, a later topic).
void DVCStillCapture(Call& c) {
  if (c.a.I4(1) < 0) {
    c.Long(c.Engine()->SaveGrabberBitmap(QFile::encodeName(c.a.Str(0)).toStdString()));
  } else {
    c.Long(kNotBuilt);  // played-file stills: SaveFrame(file, nIndex, wait 1)
  }
}

// ---- Video layout and text overlay (engine) ----

// 0 to 2, else E_FAIL; laid out at once.
void DVCSetStretchType(Call& c) { c.Long(c.Engine()->SetStretchType(c.a.I2(0))); }
void DVCGetStretchType(Call& c) { c.Short(c.Engine()->GetStretchType()); }

// Starts (nEnable != 0, period lTimeOut ms, replacing a running one) or stops the slide timer.
void DVCSetAlphaTextSlide(Call& c) {
  if (c.a.I2(0) == 0) c.dlg->StopSlideTimer();
  else c.dlg->StartSlideTimer(c.a.I4(1));
  c.Long(S_OK);
}

// The text over the picture; nEnable 0 also stops the slide timer, whatever the engine answers.
void DVCSetAlphaText(Call& c) {
  const HRESULT hr = c.Engine()->SetAlphaText(c.a.Str(0), std::uint32_t(c.a.I4(1)), std::uint32_t(c.a.I4(2)),
                                              std::uint32_t(c.a.I4(3)), c.a.R4(4), c.a.R4(5), c.a.I2(6));
  if (c.a.I2(6) == 0) c.dlg->StopSlideTimer();
  c.Long(hr);
}

// The font of the next overlay text.
HRESULT SetAlphaFont(Call& c, const LogFont& font) { return c.Engine()->SetAlphaFont(&font); }

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

// A count; 0 without devices.
void DVCGetVInDevNo(Call& c) { c.Long(c.Engine()->GetVideoDeviceCount()); }
// Empty beyond the count.
void DVCGetVInDevName(Call& c) { c.Text(c.Engine()->GetVideoDeviceName(c.a.I2(0))); }
// Stored for the next build, unchecked.
void DVCSetVInDevNo(Call& c) { c.Engine()->SetVideoDeviceIndex(c.a.I2(0)); }
void DVCGetVCompNo(Call& c) { c.Long(c.Engine()->GetCompressorCount()); }
void DVCGetVCompName(Call& c) { c.Text(c.Engine()->GetCompressorName(c.a.I2(0))); }
// -1 (any negative value) is no compressor.
void DVCSetVCompNo(Call& c) { c.Engine()->SetCompressorIndex(c.a.I2(0)); }

// ---- Stream formats and the grabber buffer (engine) ----

using capture::PinCategory;

void CapsCount(Call& c, PinCategory pin) { c.Long(c.Engine()->GetStreamCapsCount(pin, c.a.RefI2(0))); }
void DVCGetVCaptureCapsNo(Call& c) { CapsCount(c, PinCategory::Capture); }
void DVCGetVPreviewCapsNo(Call& c) { CapsCount(c, PinCategory::Preview); }

// nIndex, six sizes, colour space and, when asked, the 10-long header.
void GetCaps(Call& c, PinCategory pin, bool withHeader) {
  c.Long(c.Engine()->GetStreamCaps(pin, c.a.I2(0), c.a.RefI2(1), c.a.RefI2(2), c.a.RefI2(3), c.a.RefI2(4),
                                   c.a.RefI2(5), c.a.RefI2(6), c.a.RefI2(7),
                                   withHeader ? c.a.LongArray(8).data() : nullptr));
}
void DVCGetVPreviewCaps(Call& c) { GetCaps(c, PinCategory::Preview, true); }
void DVCGetVCaptureCaps(Call& c) { GetCaps(c, PinCategory::Capture, true); }
void DVCGetVCaptureCaps2(Call& c) { GetCaps(c, PinCategory::Capture, false); }
void DVCGetVPreviewCaps2(Call& c) { GetCaps(c, PinCategory::Preview, false); }

// The entry as the device gives it; nWidth, nHeight and the header are taken, not applied.
void SetCaps(Call& c, PinCategory pin) {
  c.Long(c.Engine()->SetStreamCaps(pin, c.a.I2(0), c.a.I2(1), c.a.I2(2), c.a.LongArray(3).data()));
}
void DVCSetVCaptureCaps(Call& c) { SetCaps(c, PinCategory::Capture); }
void DVCSetVPreviewCaps(Call& c) { SetCaps(c, PinCategory::Preview); }

void GetCapsHeader(Call& c, PinCategory pin) {
  c.Long(c.Engine()->GetStreamCapsBih(pin, c.a.I2(0), c.a.RefI4(1), c.a.RefI4(2), c.a.RefI2(3), c.a.RefI2(4),
                                      c.a.RefI4(5), c.a.RefI4(6), c.a.RefI4(7), c.a.RefI4(8), c.a.RefI4(9),
                                      c.a.RefI4(10)));
}
void DVCGetVCaptureCapsBih(Call& c) { GetCapsHeader(c, PinCategory::Capture); }
void DVCGetVPreviewCapsBih(Call& c) { GetCapsHeader(c, PinCategory::Preview); }

// The entry with the host's ten header fields put in, then the preview is rebuilt.
void SetCaps2(Call& c, PinCategory pin) {
  capture::BitmapInfoHeader h;
  h.biWidth = c.a.I4(1);
  h.biHeight = c.a.I4(2);
  h.biPlanes = static_cast<std::uint16_t>(c.a.I2(3));
  h.biBitCount = static_cast<std::uint16_t>(c.a.I2(4));
  h.biCompression = static_cast<std::uint32_t>(c.a.I4(5));
  h.biSizeImage = static_cast<std::uint32_t>(c.a.I4(6));
  h.biXPelsPerMeter = c.a.I4(7);
  h.biYPelsPerMeter = c.a.I4(8);
  h.biClrUsed = static_cast<std::uint32_t>(c.a.I4(9));
  h.biClrImportant = static_cast<std::uint32_t>(c.a.I4(10));
  c.Long(c.Engine()->SetStreamCaps2(pin, c.a.I2(0), h));
}
void DVCSetVCaptureCaps2(Call& c) { SetCaps2(c, PinCategory::Capture); }
void DVCSetVPreviewCaps2(Call& c) { SetCaps2(c, PinCategory::Preview); }

void Resolution(Call& c, PinCategory pin) { c.Long(c.Engine()->GetResolution(pin, c.a.RefI4(0), c.a.RefI4(1))); }
void DVCGetVCapResolution(Call& c) { Resolution(c, PinCategory::Capture); }
void DVCGetVPrevResolution(Call& c) { Resolution(c, PinCategory::Preview); }

// 0 RGB24, 1 YUY2, 2 UYVY, 3 YVYU, else E_FAIL.
void DVCSetSGMediaType(Call& c) { c.Long(c.Engine()->SetSGMediaType(c.a.I4(0))); }

// The grabber's newest frame into the caller's buffer. The size asked for must fit the caller's
// buffer: a negative size or one past its end is refused before anything is copied.
void DVCGetCurrentBuffer(Call& c) {
  const std::int32_t wanted = *c.a.RefI4(0);
  const std::span<std::uint8_t> buffer = c.a.Bytes(1);
  if (wanted < 0 || static_cast<std::size_t>(wanted) > buffer.size()) {
    if (c.argError) *c.argError = 1;
    c.Long(E_POINTER);
    return;
  }
  c.Long(c.Engine()->GetCurrentBuffer(c.a.RefI4(0), buffer.data(), c.a.RefI4(2), c.a.RefI4(3)));
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
