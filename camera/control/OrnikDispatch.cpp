// The member-by-member routing of the control's dispatch interface. Each member is one small
// function; the member table (OrnikMembers.cpp) has already checked the argument count and types,
// DispatchMember has answered for a missing capture window and refused null or short
// by-reference arguments, so a route always has its capture window and usable pointers.
//
// Members whose work lives in the capture engine call it through c.Engine(); the graph builders get
// the capture window through EngineWindow (CaptureEngineSlot.cpp).
#include "OrnikDispatch.h"

#include <QFile>
#include <QPointer>

#include <cstring>
#include <vector>

#include "CaptureDlg.h"
#include "CaptureEngineSlot.h"
#include "LogFont.h"
#include "OrnikCtrl.h"
#include "OrnikDispIds.h"
#include "OrnikMembers.h"
#include "PropertyDlg.h"
#include "codepage/codepage.h"
#include "engine/timeline.h"
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
  CCaptureEngine* Engine() { return dlg->Engine(); }
};

using Route = void (*)(Call&);

// ---- Waits that run the host's events (a still from a played file, a render) ----

// A member that would change the graph under a waiting call is refused while the wait lasts.
bool Refused(Call& c) {
  if (!c.Engine()->Waits().Active()) return false;
  c.Long(VFW_E_WRONG_STATE);
  return true;
}

// A void member called during such a wait runs when the wait has ended.
bool Deferred(Call& c, void (*work)(CCaptureDlg&)) {
  if (!c.Engine()->Waits().Active()) return false;
  c.Engine()->Waits().Defer([dlg = QPointer<CCaptureDlg>(c.dlg), work] {
    if (dlg) work(*dlg);
  });
  return true;
}

// After a member that waited: the void members kept meanwhile run now.
void RunDeferred(Call& c) { c.Engine()->Waits().RunDeferred(); }

std::string FileArg(Call& c, std::size_t i) { return QFile::encodeName(c.a.Str(i)).toStdString(); }
std::int64_t TimeArg(Call& c, std::size_t high) {
  return std::int64_t(std::uint64_t(std::uint32_t(c.a.I4(high))) << 32 | std::uint32_t(c.a.I4(high + 1)));
}

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
void DVCPreviewOn(Call& c) {
  if (!Refused(c)) ShowBuildResult(c, c.Engine()->PreviewOn(EngineWindow(*c.dlg)));
}

// Live preview with the sample grabber (the road of the stills).
void DVCPreviewOn3(Call& c) {
  if (!Refused(c)) ShowBuildResult(c, c.Engine()->PreviewOnWithGrabber(EngineWindow(*c.dlg)));
}

// Ends whatever graph runs and shows the black static again.
void TearDown(CCaptureDlg& dlg) {
  dlg.Engine()->TearDownGraph();
  dlg.ShowVideoStatic(true);
}
void DVCPreviewOff(Call& c) {
  if (!Deferred(c, TearDown)) TearDown(*c.dlg);
}

// The same routine as DVCPreviewOff.
void DVCPlayStop(Call& c) { DVCPreviewOff(c); }

// The recording branch on the running live graph, blocked until DVCRecStart; without sound.
void DVCSetCapFile(Call& c) {
  c.Long(c.Engine()->SetCaptureFile(QFile::encodeName(c.a.Str(0)).toStdString(), false));
}
// The same with sound from the first audio input device.
void DVCSetCapFile2(Call& c) {
  c.Long(c.Engine()->SetCaptureFile(QFile::encodeName(c.a.Str(0)).toStdString(), true));
}
// Opens the stream into the file; after a DVCRecStop it resumes into the same file.
void DVCRecStart(Call& c) { c.Long(c.Engine()->RecStart()); }
// Blocks the stream again; the file stays open until the graph ends or a new file is set.
void DVCRecStop(Call& c) { c.Long(c.Engine()->RecStop()); }

// ---- Stills ----

// nIndex < 0: the grabber's newest live frame as a BMP file, written before the call returns;
// nIndex >= 0: that frame of the file opened for stills, as BMP or JPEG by the name's extension.
void DVCStillCapture(Call& c) {
  if (Refused(c)) return;
  if (c.a.I4(1) < 0) {
    c.Long(c.Engine()->SaveGrabberBitmap(FileArg(c, 0)));
  } else {
    c.Long(c.Engine()->SaveFrameAtIndex(FileArg(c, 0), c.a.I4(1)));
    RunDeferred(c);
  }
}

// ---- Playback of files (engine) ----

// The video static gives way to the played picture.
void DVCPlayStart(Call& c) {
  if (!Refused(c)) ShowBuildResult(c, c.Engine()->PlayStart(FileArg(c, 0), EngineWindow(*c.dlg), c.a.RefI4(1)));
}
void DVCPlayStart3Ready(Call& c) {
  if (Refused(c)) return;
  ShowBuildResult(c, c.Engine()->PlayStart3Ready(FileArg(c, 0), EngineWindow(*c.dlg), c.a.RefI4(1), c.a.RefI4(2),
                                                 c.a.RefI4(3)));
}
void DVCGetFrameNum(Call& c) { c.Long(c.Engine()->GetFrameNum()); }
void DVCGetMediaTime(Call& c) { c.Long(c.Engine()->GetMediaTime(c.a.RefI4(0), c.a.RefI4(1))); }
void PlayAt(Call& c, double rate) {
  if (!Refused(c)) c.Long(c.Engine()->RunAtRate(rate));
}
void DVCDoPlay(Call& c) { PlayAt(c, 1.0); }
void DVCDoSlowPlay(Call& c) { PlayAt(c, 0.5); }
void DVCDoFastPlay(Call& c) { PlayAt(c, 2.0); }
void DVCDoPause(Call& c) {
  if (!Refused(c)) c.Long(c.Engine()->DoPause());
}
void DoStop(CCaptureDlg& dlg) { dlg.Engine()->DoStop(); }
void DVCDoStop(Call& c) {
  if (!Deferred(c, DoStop)) DoStop(*c.dlg);
}
void DVCSetPosition(Call& c) {
  if (!c.Engine()->Waits().Active()) return c.Engine()->SetPosition(c.a.I4(0));
  const std::int32_t frame = c.a.I4(0);
  c.Engine()->Waits().Defer([dlg = QPointer<CCaptureDlg>(c.dlg), frame] {
    if (dlg) dlg->Engine()->SetPosition(frame);
  });
}
void DVCGetPosition(Call& c) { c.Long(c.Engine()->GetPosition()); }
void DVCSetTime(Call& c) {
  const std::int64_t time = TimeArg(c, 0);
  if (!c.Engine()->Waits().Active()) return c.Engine()->SetTime(time);
  c.Engine()->Waits().Defer([dlg = QPointer<CCaptureDlg>(c.dlg), time] {
    if (dlg) dlg->Engine()->SetTime(time);
  });
}
void DVCGetTime(Call& c) { c.Long(c.Engine()->GetTime(c.a.RefI4(0), c.a.RefI4(1))); }
void DVCDoPlayPart(Call& c) {
  if (!Refused(c)) c.Long(c.Engine()->PlayPart(c.a.I4(0), c.a.I4(1), true));
}
void DVCDoPlayPart2(Call& c) {
  if (!Refused(c)) c.Long(c.Engine()->PlayPart(TimeArg(c, 0), TimeArg(c, 2), false));
}
void DVCIsAbsoluteSeek(Call& c) { c.Long(c.Engine()->IsAbsoluteSeek()); }

// ---- Stills from played files (engine) ----

void DVCStillCapStart(Call& c) {
  if (!Refused(c)) ShowBuildResult(c, c.Engine()->StillCapStart(FileArg(c, 0), EngineWindow(*c.dlg)));
}
void DVCStillCapStop(Call& c) { DVCPreviewOff(c); }
void DVCStillCapture2(Call& c) {
  if (Refused(c)) return;
  c.Long(c.Engine()->SaveFrameAtTime(FileArg(c, 0), TimeArg(c, 1)));
  RunDeferred(c);
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

// ---- Compression and recording settings (engine) ----

void DVCGetVCompCaps(Call& c) { c.Long(c.Engine()->GetCompressorCaps(c.a.RefI4(0))); }
void DVCGetVCompQuality(Call& c) { c.Long(c.Engine()->GetCompressorQuality(c.a.RefR8(0))); }
void DVCSetVCompQuality(Call& c) { c.Long(c.Engine()->SetCompressorQuality(c.a.R8(0))); }
void DVCGetVCompKFrame(Call& c) { c.Long(c.Engine()->GetKeyFrameRate(c.a.RefI4(0))); }
void DVCSetVCompKFrame(Call& c) { c.Long(c.Engine()->SetKeyFrameRate(c.a.I4(0))); }
void DVCGetVCompPFrame(Call& c) { c.Long(c.Engine()->GetPFramesPerKeyFrame(c.a.RefI4(0))); }
void DVCSetVCompPFrame(Call& c) { c.Long(c.Engine()->SetPFramesPerKeyFrame(c.a.I4(0))); }
void DVCSetVCompCrunch(Call& c) { c.Long(c.Engine()->SetCrunch(c.a.I4(0), c.a.I4(1))); }
void DVCGetVCompCrunch(Call& c) { c.Long(c.Engine()->GetCrunch(c.a.RefI4(0), c.a.RefI4(1))); }
void DVCGetVCompDropped(Call& c) { c.Long(c.Engine()->GetDropped(c.a.RefI4(0))); }
void DVCGetVCompNotDropped(Call& c) { c.Long(c.Engine()->GetNotDropped(c.a.RefI4(0))); }
void DVCSetCaptureFrameRate(Call& c) { c.Long(c.Engine()->SetCaptureFrameRate(c.a.R8(0))); }

// The frame time of the rendered stream as its high and low 32 bits.
void DVCGetAVIFrameRate(Call& c) {
  std::int64_t frameTime = 0;
  const HRESULT hr = c.Engine()->GetRendererFrameTime(&frameTime);
  if (Succeeded(hr)) {
    *c.a.RefI4(0) = std::int32_t(std::uint64_t(frameTime) >> 32);
    *c.a.RefI4(1) = std::int32_t(std::uint32_t(frameTime));
  }
  c.Long(hr);
}

// The driver dialogs of old-style compressors have no counterpart here; while recording they are
// refused as every member that would stop the graph.
void DVCVfwCompressDialogs(Call& c) { c.Long(c.Engine()->IsRecording() ? VFW_E_WRONG_STATE : E_FAIL); }

// The element's properties in a dialog; E_FAIL without the element.
HRESULT ShowProperties(Call& c, GstElement* element) {
  if (!element) return E_FAIL;
  ShowElementProperties(c.dlg, element);
  return S_OK;
}
// The compressor's settings stop the graph while the dialog shows: refused while recording.
void DVCVCompProperty(Call& c) {
  if (c.Engine()->IsRecording()) return c.Long(VFW_E_WRONG_STATE);
  c.Long(ShowProperties(c, c.Engine()->CompressorElement()));
}

// ---- Audio input (engine) ----

// The graph keeps running while the dialog shows.
void DVCAudioFilterProperty(Call& c) { c.Long(ShowProperties(c, c.Engine()->AudioSourceElement())); }
// The number of input lines; 0 without an audio input in the graph.
void DVCGetAInLineNo(Call& c) { c.Long(c.Engine()->GetAudioLineCount()); }
void DVCGetAInLineName(Call& c) { c.Text(c.Engine()->GetAudioLineName(c.a.I2(0))); }
// Line nLineNo on, every other off; a line that does not exist is refused.
void DVCSetAInLineNo(Call& c) { c.Long(c.Engine()->SetAudioLine(c.a.I2(0))); }
void DVCGetAudioFormat(Call& c) {
  c.Long(c.Engine()->GetAudioFormat(c.a.RefI2(0), c.a.RefI2(1), c.a.RefI4(2)));
}
void DVCSetAudioFormat(Call& c) { c.Long(c.Engine()->SetAudioFormat(c.a.I2(0), c.a.I2(1), c.a.I4(2))); }

// ---- Editing ----

// The start and stop times (milliseconds) are coerced to 32-bit values as any long argument is;
// a value that is no number makes the call fail with DISP_E_TYPEMISMATCH.
void DVCEdSetStartStop(Call& c) {
  std::int64_t times[2] = {};
  for (std::size_t i = 2; i < 4; ++i) {
    Variant v;
    if (const HRESULT hr = ChangeType(v, c.a.Value(i), VT_I4); Failed(hr)) {
      if (c.argError) *c.argError = static_cast<std::uint32_t>(i);
      c.invoke = hr;
      return;
    }
    times[i - 2] = std::int64_t(v.I4()) * 10000;
  }
  c.Long(capture::WriteCutTimeline(FileArg(c, 0), FileArg(c, 1), times[0], times[1]));
}

// Renders the cut while the host's events run, telling its progress through TimelinePos.
void DVCEdFileCut(Call& c) {
  if (Refused(c)) return;
  COrnikCtrl* ctl = &c.ctl;
  c.Long(capture::RenderCutTimeline(FileArg(c, 0), FileArg(c, 1), c.a.Bool(2), c.Engine()->Waits(),
                                    [ctl](short percent) { ctl->FireTimelinePos(percent); }));
  RunDeferred(c);
}

// ---- Device settings, routing, DV decoder and tape transport (engine) ----

// Engine values (long) copied into the host's 32-bit longs, only when the call succeeded.
void PutLongs(Call& c, HRESULT hr, std::initializer_list<std::pair<std::size_t, long>> outs) {
  if (Succeeded(hr))
    for (const auto& [index, v] : outs) *c.a.RefI4(index) = std::int32_t(v);
  c.Long(hr);
}

void DVCGetVideoQuality(Call& c) {
  long min = 0, max = 0, step = 0, def = 0, value = 0;
  const HRESULT hr = c.Engine()->GetVideoQuality(c.a.I4(0), &min, &max, &step, &def, &value);
  PutLongs(c, hr, {{1, min}, {2, max}, {3, step}, {4, def}, {5, value}});
}
void DVCSetVideoQuality(Call& c) { c.Long(c.Engine()->SetVideoQuality(c.a.I4(0), c.a.I4(1))); }

void DVCGetAvailableTVFormat(Call& c) {
  long v = 0;
  PutLongs(c, c.Engine()->GetAvailableTVFormat(&v), {{0, v}});
}
void DVCGetTVFormat(Call& c) {
  long v = 0;
  PutLongs(c, c.Engine()->GetTVFormat(&v), {{0, v}});
}
void DVCSetTVFormat(Call& c) { c.Long(c.Engine()->SetTVFormat(c.a.I4(0))); }

// The count is written also when the crossbar is missing (0).
void PinCounts(Call& c, bool inputs) {
  long n = 0;
  const HRESULT hr = c.Engine()->GetPinCounts(inputs, &n);
  *c.a.RefI4(0) = std::int32_t(n);
  c.Long(hr);
}
void DVCGetInPinCounts(Call& c) { PinCounts(c, true); }
void DVCGetOutPinCounts(Call& c) { PinCounts(c, false); }
void DVCGetInPinName(Call& c) { c.Text(c.Engine()->GetPinName(true, c.a.I4(0))); }
void DVCGetOutPinName(Call& c) { c.Text(c.Engine()->GetPinName(false, c.a.I4(0))); }
void DVCIsRoutedTo(Call& c) {
  long in = 0;
  PutLongs(c, c.Engine()->IsRoutedTo(c.a.I4(0), &in), {{1, in}});
}
void DVCSetRoute(Call& c) { c.Long(c.Engine()->SetRoute(c.a.I4(0), c.a.I4(1))); }

void DVCCrossbarFilterProperty(Call& c) { c.Long(c.Engine()->CrossbarFilterProperty()); }
void DVCCaptureFilterProperty(Call& c) { c.Long(c.Engine()->CaptureFilterProperty()); }
void DVCDvDecFilterProperty(Call& c) { c.Long(c.Engine()->DvDecFilterProperty()); }
void DVCCapturePinProperty(Call& c) { c.Long(c.Engine()->PinProperty(PinCategory::Capture)); }
void DVCPreviewPinProperty(Call& c) { c.Long(c.Engine()->PinProperty(PinCategory::Preview)); }
// Old-style capture driver dialogs do not exist here.
void DVCVfwCaptureDialogs(Call& c) { c.Long(E_FAIL); }

void DVCGetDVDecResolution(Call& c) { c.Long(c.Engine()->GetDVDecResolution(c.a.RefI2(0))); }
void DVCSetDVDecResolution(Call& c) { c.Long(c.Engine()->SetDVDecResolution(c.a.I2(0))); }

template <long Mode>
void VcrMode(Call& c) {
  c.Long(c.Engine()->VcrMode(Mode));
}
void DVCVcrATNSeek(Call& c) {
  c.Long(c.Engine()->VcrSeekTimecode(c.a.I2(0), c.a.I2(1), c.a.I2(2), c.a.I2(3), 0, 0));
}
void DVCVcrATNSeek2(Call& c) {
  c.Long(c.Engine()->VcrSeekTimecode(c.a.I2(0), c.a.I2(1), c.a.I2(2), c.a.I2(3), c.a.I2(4), c.a.I2(5)));
}
void DVCVcrGetTime(Call& c) {
  long h = 0, m = 0, sec = 0, f = 0;
  PutLongs(c, c.Engine()->VcrGetTimecode(&h, &m, &sec, &f), {{0, h}, {1, m}, {2, sec}, {3, f}});
}

// ---- The member table ----

constexpr int F = kFailWithoutWindow;
constexpr int Z = kEmptyWithoutWindow;
constexpr int A = kRunsWithoutWindow;

#define SIZE7 "short* pMinOutputX, short* pMinOutputY, short* pMaxOutputX, short* pMaxOutputY, short* pStepX, short* pStepY, short* pClrSpace"
#define BIH_OUT "long* biWidth, long* biHeight, short* biPlanes, short* biBitCount, long* biCompression, long* biSizeImage, long* biXPelsPerMeter, long* biYPelsPerMeter, long* biClrUsed, long* biClrImportant"
#define BIH_IN "long biWidth, long biHeight, short biPlanes, short biBitCount, long biCompression, long biSizeImage, long biXPelsPerMeter, long biYPelsPerMeter, long biClrUsed, long biClrImportant"
// One member: its number (OrnikDispIds.h), its name, result, parameters, its answer without a
// capture window, and its route.
#define ROW(name, result, params, tag, route) {{dispid::name, #name, result, params, tag}, &route}

struct MemberRow {
  com::MemberDecl decl;
  Route route;
};

// The dispatch interface, one row per member.
const MemberRow kRows[] = {
    ROW(DVCInitialize, "long", "", A, DVCInitialize),
    ROW(DVCUninitialize, "void", "", A, DVCUninitialize),
    ROW(AboutBox, "void", "", A, AboutBox),
    // capture graph
    ROW(DVCPreviewOn, "long", "", F, DVCPreviewOn),
    ROW(DVCPreviewOn3, "long", "", F, DVCPreviewOn3),
    ROW(DVCPreviewOff, "void", "", Z, DVCPreviewOff),
    ROW(DVCPlayStop, "void", "", Z, DVCPlayStop),
    ROW(DVCSetCapFile, "long", "BSTR lpszFileName", F, DVCSetCapFile),
    ROW(DVCSetCapFile2, "long", "BSTR lpszFileName", F, DVCSetCapFile2),
    ROW(DVCRecStart, "long", "", F, DVCRecStart),
    ROW(DVCRecStop, "long", "", F, DVCRecStop),
    // stills
    ROW(DVCStillCapture, "long", "BSTR lpszFileName, long nIndex", F, DVCStillCapture),
    // layout and overlay
    ROW(DVCSetStretchType, "long", "short nType", F, DVCSetStretchType),
    ROW(DVCGetStretchType, "short", "", Z, DVCGetStretchType),
    ROW(DVCSetAlphaTextSlide, "long", "short nEnable, long lTimeOut", F, DVCSetAlphaTextSlide),
    ROW(DVCSetAlphaText, "long", "BSTR lpszBlendText, long fgColor, long bkColor, long keyColor, float fLeft, float fTop, short nEnable", F, DVCSetAlphaText),
    ROW(DVCSetAlphaTextFont, "long", "byte[60] lpLF", F, DVCSetAlphaTextFont),
    ROW(DVCSetAlphaTextFont2, "long", "long lfHeight, long lfWidth, long lfEscapement, long lfOrientation, long lfWeight, short lfItatic, short lfUnderline, short lfStrikeOut, short lfCharSet, short lfOutPrecision, short lfClipPrecision, short lfQuality, short lfPitchAndFamily, BSTR lfFaceName", F, DVCSetAlphaTextFont2),
    // devices and compressors
    ROW(DVCGetVInDevNo, "long", "", Z, DVCGetVInDevNo),
    ROW(DVCGetVInDevName, "BSTR", "short nDevNo", Z, DVCGetVInDevName),
    ROW(DVCSetVInDevNo, "void", "short nDevNo", Z, DVCSetVInDevNo),
    ROW(DVCGetVCompNo, "long", "", Z, DVCGetVCompNo),
    ROW(DVCGetVCompName, "BSTR", "short nCompNo", Z, DVCGetVCompName),
    ROW(DVCSetVCompNo, "void", "short nCompNo", Z, DVCSetVCompNo),
    // stream formats and grabber buffer
    ROW(DVCGetVCaptureCapsNo, "long", "short* nCount", F, DVCGetVCaptureCapsNo),
    ROW(DVCGetVPreviewCapsNo, "long", "short* nCount", F, DVCGetVPreviewCapsNo),
    ROW(DVCGetVPreviewCaps, "long", "short nIndex, " SIZE7 ", long[10] pBih", F, DVCGetVPreviewCaps),
    ROW(DVCGetVCaptureCaps, "long", "short nIndex, " SIZE7 ", long[10] pBih", F, DVCGetVCaptureCaps),
    ROW(DVCSetVCaptureCaps, "long", "short nIndex, short nWidth, short nHeight, long[10] pBih", F, DVCSetVCaptureCaps),
    ROW(DVCSetVPreviewCaps, "long", "short nIndex, short nWidth, short nHeight, long[10] pBih", F, DVCSetVPreviewCaps),
    ROW(DVCGetVCaptureCaps2, "long", "short nIndex, " SIZE7, F, DVCGetVCaptureCaps2),
    ROW(DVCGetVPreviewCaps2, "long", "short nIndex, " SIZE7, F, DVCGetVPreviewCaps2),
    ROW(DVCGetVCaptureCapsBih, "long", "short nIndex, " BIH_OUT, F, DVCGetVCaptureCapsBih),
    ROW(DVCGetVPreviewCapsBih, "long", "short nIndex, " BIH_OUT, F, DVCGetVPreviewCapsBih),
    ROW(DVCSetVCaptureCaps2, "long", "short nIndex, " BIH_IN, F, DVCSetVCaptureCaps2),
    ROW(DVCSetVPreviewCaps2, "long", "short nIndex, " BIH_IN, F, DVCSetVPreviewCaps2),
    ROW(DVCGetVCapResolution, "long", "long* nWidth, long* nHeight", F, DVCGetVCapResolution),
    ROW(DVCGetVPrevResolution, "long", "long* nWidth, long* nHeight", F, DVCGetVPrevResolution),
    ROW(DVCSetSGMediaType, "long", "long nType", F, DVCSetSGMediaType),
    ROW(DVCGetCurrentBuffer, "long", "long* pBufferSize, byte[] pBuffer, long* pWidth, long* pHeight", F, DVCGetCurrentBuffer),
    // editing
    ROW(DVCEdSetStartStop, "long", "BSTR lpszInFileName, BSTR lpszXtlFileName, VARIANT vaStart, VARIANT vaStop", F, DVCEdSetStartStop),
    ROW(DVCEdFileCut, "long", "BSTR lpszOutFileName, BSTR lpszXtlFileName, VARIANT_BOOL bComp", F, DVCEdFileCut),
    // playback of files
    ROW(DVCGetFrameNum, "long", "", Z, DVCGetFrameNum),
    ROW(DVCDoPlay, "long", "", F, DVCDoPlay),
    ROW(DVCDoPause, "long", "", F, DVCDoPause),
    ROW(DVCDoStop, "void", "", Z, DVCDoStop),
    ROW(DVCSetPosition, "void", "long lPos", Z, DVCSetPosition),
    ROW(DVCGetPosition, "long", "", Z, DVCGetPosition),
    ROW(DVCDoSlowPlay, "long", "", F, DVCDoSlowPlay),
    ROW(DVCDoFastPlay, "long", "", F, DVCDoFastPlay),
    ROW(DVCDoPlayPart, "long", "long lStart, long lStop", F, DVCDoPlayPart),
    ROW(DVCPlayStart, "long", "BSTR lpszFileName, long* nFrames", F, DVCPlayStart),
    ROW(DVCPlayStart3Ready, "long", "BSTR lpszFileName, long* nFrames, long* nWidth, long* nHeight", F, DVCPlayStart3Ready),
    ROW(DVCSetTime, "void", "long lTimeH, long lTimeL", Z, DVCSetTime),
    ROW(DVCGetTime, "long", "long* pTimeH, long* pTimeL", F, DVCGetTime),
    ROW(DVCGetMediaTime, "long", "long* pTimeH, long* pTimeL", F, DVCGetMediaTime),
    ROW(DVCIsAbsoluteSeek, "long", "", Z, DVCIsAbsoluteSeek),
    ROW(DVCDoPlayPart2, "long", "long lStartTimeH, long lStartTimeL, long lStopTimeH, long lStopTimeL", F, DVCDoPlayPart2),
    // stills from played files
    ROW(DVCStillCapStart, "long", "BSTR lpszFileName", F, DVCStillCapStart),
    ROW(DVCStillCapStop, "void", "", Z, DVCStillCapStop),
    ROW(DVCStillCapture2, "long", "BSTR lpszFileName, long lTimeH, long lTimeL", F, DVCStillCapture2),
    // device settings
    ROW(DVCSetVideoQuality, "long", "long lProp, long lValue", F, DVCSetVideoQuality),
    ROW(DVCGetVideoQuality, "long", "long lProp, long* pMin, long* pMax, long* pStep, long* pDefault, long* pValue", F, DVCGetVideoQuality),
    ROW(DVCGetAvailableTVFormat, "long", "long* pVideoStandard", F, DVCGetAvailableTVFormat),
    ROW(DVCGetTVFormat, "long", "long* pVideoStandard", F, DVCGetTVFormat),
    ROW(DVCSetTVFormat, "long", "long lVideoStandard", F, DVCSetTVFormat),
    ROW(DVCCrossbarFilterProperty, "long", "", F, DVCCrossbarFilterProperty),
    ROW(DVCCaptureFilterProperty, "long", "", F, DVCCaptureFilterProperty),
    ROW(DVCDvDecFilterProperty, "long", "", F, DVCDvDecFilterProperty),
    ROW(DVCCapturePinProperty, "long", "", F, DVCCapturePinProperty),
    ROW(DVCPreviewPinProperty, "long", "", F, DVCPreviewPinProperty),
    ROW(DVCGetDVDecResolution, "long", "short* pDVResolution", F, DVCGetDVDecResolution),
    ROW(DVCSetDVDecResolution, "long", "short nDVResolution", F, DVCSetDVDecResolution),
    ROW(DVCGetInPinCounts, "long", "long* pPinCounts", F, DVCGetInPinCounts),
    ROW(DVCGetOutPinCounts, "long", "long* pPinCounts", F, DVCGetOutPinCounts),
    ROW(DVCGetInPinName, "BSTR", "long lPinIndex", Z, DVCGetInPinName),
    ROW(DVCGetOutPinName, "BSTR", "long lPinIndex", Z, DVCGetOutPinName),
    ROW(DVCIsRoutedTo, "long", "long lOutPinIndex, long* pInPinIndex", F, DVCIsRoutedTo),
    ROW(DVCSetRoute, "long", "long lOutPinIndex, long lInPinIndex", F, DVCSetRoute),
    ROW(DVCVfwCaptureDialogs, "long", "short iDialog", F, DVCVfwCaptureDialogs),
    // tape transport
    ROW(DVCVcrPlay, "long", "", F, VcrMode<capture::ed::kModePlay>),
    ROW(DVCVcrStop, "long", "", F, VcrMode<capture::ed::kModeStop>),
    ROW(DVCVcrPause, "long", "", F, VcrMode<capture::ed::kModeFreeze>),
    ROW(DVCVcrFF, "long", "", F, VcrMode<capture::ed::kModeFF>),
    ROW(DVCVcrREW, "long", "", F, VcrMode<capture::ed::kModeRew>),
    ROW(DVCVcrStepFWD, "long", "", F, VcrMode<capture::ed::kModeStepFwd>),
    ROW(DVCVcrPlayFastREV, "long", "", F, VcrMode<capture::ed::kModePlayFastestRev>),
    ROW(DVCVcrStepREV, "long", "", F, VcrMode<capture::ed::kModeStepRev>),
    ROW(DVCVcrPlayFastFWD, "long", "", F, VcrMode<capture::ed::kModePlayFastestFwd>),
    ROW(DVCVcrPlaySlowFWD, "long", "", F, VcrMode<capture::ed::kModePlaySlowestFwd>),
    ROW(DVCVcrPlaySlowREV, "long", "", F, VcrMode<capture::ed::kModePlaySlowestRev>),
    ROW(DVCVcrREVPlay, "long", "", F, VcrMode<capture::ed::kModeRevPlay>),
    ROW(DVCVcrRec, "long", "", F, VcrMode<capture::ed::kModeRecord>),
    ROW(DVCVcrRecStop, "long", "", F, VcrMode<capture::ed::kModeRecordFreeze>),
    ROW(DVCVcrATNSeek, "long", "short nHr, short nMin, short nSec, short nFrm", F, DVCVcrATNSeek),
    ROW(DVCVcrATNSeek2, "long", "short nHr, short nMin, short nSec, short nFrm, short nNonDrop, short nDVCAM", F, DVCVcrATNSeek2),
    ROW(DVCVcrGetTime, "long", "long* pHr, long* pMin, long* pSec, long* pFrm", F, DVCVcrGetTime),
    // compression and recording settings
    ROW(DVCGetVCompCaps, "long", "long* lCaps", F, DVCGetVCompCaps),
    ROW(DVCGetVCompQuality, "long", "double* dQuality", F, DVCGetVCompQuality),
    ROW(DVCSetVCompQuality, "long", "double dQuality", F, DVCSetVCompQuality),
    ROW(DVCGetVCompKFrame, "long", "long* lKFrame", F, DVCGetVCompKFrame),
    ROW(DVCSetVCompKFrame, "long", "long lKFrame", F, DVCSetVCompKFrame),
    ROW(DVCGetVCompPFrame, "long", "long* lPFrame", F, DVCGetVCompPFrame),
    ROW(DVCSetVCompPFrame, "long", "long lPFrame", F, DVCSetVCompPFrame),
    ROW(DVCVCompProperty, "long", "", F, DVCVCompProperty),
    ROW(DVCGetVCompDropped, "long", "long* pDropped", F, DVCGetVCompDropped),
    ROW(DVCSetVCompCrunch, "long", "long lBitRate, long lSizeImage", F, DVCSetVCompCrunch),
    ROW(DVCGetVCompCrunch, "long", "long* pBitRate, long* pSizeImage", F, DVCGetVCompCrunch),
    ROW(DVCGetVCompNotDropped, "long", "long* pNotDropped", F, DVCGetVCompNotDropped),
    ROW(DVCSetCaptureFrameRate, "long", "double dFrameRate", F, DVCSetCaptureFrameRate),
    ROW(DVCGetAVIFrameRate, "long", "long* pTimeH, long* pTimeL", F, DVCGetAVIFrameRate),
    ROW(DVCVfwCompressDialogs, "long", "short iDialog", F, DVCVfwCompressDialogs),
    // audio input
    ROW(DVCAudioFilterProperty, "long", "", F, DVCAudioFilterProperty),
    ROW(DVCGetAInLineNo, "long", "", Z, DVCGetAInLineNo),
    ROW(DVCGetAInLineName, "BSTR", "short nLineNo", Z, DVCGetAInLineName),
    ROW(DVCSetAInLineNo, "long", "short nLineNo", F, DVCSetAInLineNo),
    ROW(DVCGetAudioFormat, "long", "short* pChannels, short* pBytesPerSample, long* pSamplesPerSec", F, DVCGetAudioFormat),
    ROW(DVCSetAudioFormat, "long", "short nChannels, short nBytesPerSample, long nSamplesPerSec", F, DVCSetAudioFormat),
};

#undef ROW
#undef SIZE7
#undef BIH_OUT
#undef BIH_IN

Route FindRoute(DISPID id) {
  for (const MemberRow& row : kRows)
    if (row.decl.id == id) return row.route;
  return nullptr;
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

bool HasRoute(DISPID id) { return FindRoute(id) != nullptr; }

std::span<const com::MemberDecl> MemberDecls() {
  static const std::vector<com::MemberDecl> decls = [] {
    std::vector<com::MemberDecl> out;
    for (const MemberRow& row : kRows) out.push_back(row.decl);
    return out;
  }();
  return decls;
}

const com::DispatchTable& Members() {
  static const com::DispatchTable table(MemberDecls());
  return table;
}

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
  const Route route = FindRoute(member.id);
  if (!route) return DISP_E_MEMBERNOTFOUND;
  Call call{ctl, ctl.m_pDlg, member, args, value, argError};
  route(call);
  return call.invoke;
}

}  // namespace ornik
