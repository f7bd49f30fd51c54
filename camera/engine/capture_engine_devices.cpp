// Device settings, property pages, the DV decoder's resolution and the DV tape transport of the
// live graph.
#include "engine/capture_engine.h"
#include "engine/dv_decoder.h"

using namespace capture;

namespace {

PropertyItem Item(QString name, long min, long max, long step, long value, std::function<HRESULT(long)> apply) {
  PropertyItem item;
  item.name = std::move(name);
  item.minimum = min;
  item.maximum = max;
  item.step = step;
  item.value = value;
  item.apply = std::move(apply);
  return item;
}

}  // namespace

void CCaptureEngine::SetDeviceBackends(DeviceBackends backends) { backends_ = std::move(backends); }

// Takes the device's interfaces from the running source: the proc amp (any video device), the
// analog decoder set to NTSC M Japan, and the tape transport set to play.
void CCaptureEngine::AttachDevice() {
  GstElement* source = live_ ? live_->Source() : nullptr;
  if (!source) return;
  if (std::unique_ptr<IV4l2Device> device = backends_.video(source)) {
    settings_ = std::make_unique<DeviceSettings>(std::move(device));
    if (settings_->HasAnalogDecoder()) settings_->SetTVFormat(tv::kNtscMJ);  // result ignored, as for any camera
  }
  std::unique_ptr<IAvcUnit> unit = backends_.avc(source);
  if (unit && unit->HasTapeSubunit()) {
    transport_ = std::make_unique<DvTransport>(std::move(unit));
    transport_->PutMode(ed::kModePlay);
  }
}

void CCaptureEngine::DetachDevice() {
  transport_.reset();
  settings_.reset();
}

// ---- picture quality and TV standard ----

HRESULT CCaptureEngine::GetVideoQuality(long prop, long* min, long* max, long* step, long* def, long* value) {
  if (!settings_) return com::E_FAIL;
  if (!min || !max || !step || !def || !value) return com::E_POINTER;
  const HRESULT hr = settings_->GetRange(prop, min, max, step, def);
  return Failed(hr) ? hr : settings_->Get(prop, value);
}

HRESULT CCaptureEngine::SetVideoQuality(long prop, long value) {
  return settings_ ? settings_->Set(prop, value) : com::E_FAIL;
}

DeviceSettings* CCaptureEngine::AnalogDecoder() const {
  return settings_ && settings_->HasAnalogDecoder() ? settings_.get() : nullptr;
}

HRESULT CCaptureEngine::GetAvailableTVFormat(long* standards) {
  DeviceSettings* d = AnalogDecoder();
  if (!d) return com::E_FAIL;
  return standards ? d->AvailableTVFormats(standards) : com::E_POINTER;
}

HRESULT CCaptureEngine::GetTVFormat(long* standard) {
  DeviceSettings* d = AnalogDecoder();
  if (!d) return com::E_FAIL;
  return standard ? d->TVFormat(standard) : com::E_POINTER;
}

HRESULT CCaptureEngine::SetTVFormat(long standard) {
  DeviceSettings* d = AnalogDecoder();
  return d ? d->SetTVFormat(standard) : com::E_FAIL;
}

// ---- routing ----

// The crossbar of the live graph: E_FAIL without the live graph, E_NOINTERFACE when the device
// has no routing.
HRESULT CCaptureEngine::FindCrossbar(DeviceSettings** crossbar) const {
  *crossbar = nullptr;
  if (!live_ || !live_->Source()) return com::E_FAIL;
  if (!settings_ || !settings_->HasCrossbar()) return com::E_NOINTERFACE;
  *crossbar = settings_.get();
  return com::S_OK;
}

HRESULT CCaptureEngine::GetPinCounts(bool inputs, long* count) {
  if (!count) return com::E_POINTER;
  DeviceSettings* crossbar = nullptr;
  const HRESULT hr = FindCrossbar(&crossbar);
  *count = 0;
  if (Failed(hr)) return hr;
  long outs = 0, ins = 0;
  const HRESULT counted = crossbar->PinCounts(&outs, &ins);
  *count = inputs ? ins : outs;
  return counted;
}

QString CCaptureEngine::GetPinName(bool input, long index) const {
  if (!live_ || !live_->Source()) return {};
  DeviceSettings* crossbar = nullptr;
  if (Failed(FindCrossbar(&crossbar))) return ConnectorName(0);
  return ConnectorName(input ? crossbar->InputType(index) : crossbar->OutputType(index));
}

HRESULT CCaptureEngine::IsRoutedTo(long output, long* input) {
  if (!input) return com::E_POINTER;
  DeviceSettings* crossbar = nullptr;
  const HRESULT hr = FindCrossbar(&crossbar);
  return Failed(hr) ? hr : crossbar->IsRoutedTo(output, input);
}

HRESULT CCaptureEngine::SetRoute(long output, long input) {
  DeviceSettings* crossbar = nullptr;
  const HRESULT hr = FindCrossbar(&crossbar);
  return Failed(hr) ? hr : crossbar->Route(output, input);
}

// ---- DV decoder ----

HRESULT CCaptureEngine::GetDVDecResolution(short* resolution) {
  GstElement* graph = graph_.Pipeline();
  if (!graph || GST_BIN_NUMCHILDREN(graph) == 0) return com::E_FAIL;
  if (!resolution) return com::E_POINTER;
  ElementPtr decoder = FindDvDecoder(graph);
  if (!decoder) return com::E_NOINTERFACE;
  *resolution = short(DvDecoderResolution(decoder.get()));
  return com::S_OK;
}

// The first DV decoder takes the value; a grabber preview is then built again with it.
HRESULT CCaptureEngine::SetDVDecResolution(short resolution) {
  if (!graph_.Exists() || !graph_.Running()) return com::E_FAIL;
  ElementPtr decoder = FindDvDecoder(graph_.Pipeline());
  if (!decoder) return com::E_NOINTERFACE;
  const HRESULT hr = SetDvDecoderResolution(decoder.get(), resolution);
  decoder.reset();
  if (Succeeded(hr) && Grabber()) return RebuildGrabberPreview(resolution);
  return hr;
}

HRESULT CCaptureEngine::RebuildGrabberPreview(int dvResolution) {
  IVideoWindow* window = videoWindow_;
  TearDownGraph();
  dvDecoderResolution_ = dvResolution;
  return PreviewOnWithGrabber(window);
}

// ---- property pages ----

HRESULT CCaptureEngine::ShowPages(PropertySheet& sheet) {
  if (!propertyFrame_) return com::E_FAIL;  // nowhere to show them
  if (!sheet.items.empty()) propertyFrame_->Show(sheet);
  return com::S_OK;
}

HRESULT CCaptureEngine::CaptureFilterProperty() {
  if (!live_ || !live_->Source()) return com::E_FAIL;
  PropertySheet sheet{QStringLiteral("Video Capture"), {}};
  static const char* const kNames[] = {"Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "Gamma",
                                       "ColorEnable", "WhiteBalance", "BacklightCompensation", "Gain"};
  for (long prop = 0; settings_ && prop < long(std::size(kNames)); ++prop) {
    long min = 0, max = 0, step = 0, def = 0, value = 0;
    if (Failed(settings_->GetRange(prop, &min, &max, &step, &def)) || Failed(settings_->Get(prop, &value))) continue;
    sheet.items.push_back(Item(QString::fromLatin1(kNames[prop]), min, max, step, value, [this, prop](long v) {
      return settings_ ? settings_->Set(prop, v) : com::E_FAIL;
    }));
  }
  return ShowPages(sheet);
}

HRESULT CCaptureEngine::CrossbarFilterProperty() {
  DeviceSettings* crossbar = nullptr;
  const HRESULT hr = FindCrossbar(&crossbar);
  if (Failed(hr)) return hr;
  long outs = 0, ins = 0, routed = 0;
  crossbar->PinCounts(&outs, &ins);
  crossbar->IsRoutedTo(0, &routed);
  PropertySheet sheet{QStringLiteral("Crossbar"), {}};
  sheet.items.push_back(Item(QStringLiteral("Video Decoder In"), 0, ins - 1, 1, routed, [this](long v) {
    return SetRoute(0, v);
  }));
  return ShowPages(sheet);
}

// The page of the first DV decoder; a changed resolution rebuilds a grabber preview with it.
HRESULT CCaptureEngine::DvDecFilterProperty() {
  if (!graph_.Exists() || !graph_.Running()) return com::E_FAIL;
  ElementPtr decoder = FindDvDecoder(graph_.Pipeline());
  if (!decoder) return com::E_FAIL;
  PropertySheet sheet{QStringLiteral("DV Decoder"), {}};
  GstElement* dec = decoder.get();
  sheet.items.push_back(Item(QStringLiteral("Display Resolution"), kDvResolutionFull, kDvResolutionDC, 1,
                             DvDecoderResolution(dec), [dec](long v) { return SetDvDecoderResolution(dec, int(v)); }));
  const HRESULT shown = ShowPages(sheet);
  const int resolution = DvDecoderResolution(dec);
  decoder.reset();
  if (Failed(shown)) return shown;
  return Grabber() ? RebuildGrabberPreview(resolution) : com::S_OK;
}

// The format list of the pin as a page; the preview is built again afterwards in any case. The
// rebuild removes the recording branch: refused while recording, and a recording only set up is
// finished first so that its file is whole.
HRESULT CCaptureEngine::PinProperty(PinCategory pin) {
  StreamConfig* config = FindStreamConfig(pin);
  if (!config || !graph_.Running()) return com::E_FAIL;
  if (IsRecording()) return com::VFW_E_WRONG_STATE;
  PropertySheet sheet{pin == PinCategory::Capture ? QStringLiteral("Capture Pin ") : QStringLiteral("Preview Pin "), {}};
  const int count = config->GetNumberOfCapabilities();
  int chosen = -1;
  if (count > 0)
    sheet.items.push_back(Item(QStringLiteral("Format"), 0, count - 1, 1, 0, [&chosen](long v) {
      chosen = int(v);
      return com::S_OK;
    }));
  if (const HRESULT hr = ShowPages(sheet); Failed(hr)) return hr;
  const bool hadGrabber = Grabber() != nullptr;
  MediaType mt;
  VideoStreamConfigCaps range;
  if (chosen >= 0 && config->GetStreamCaps(chosen, &mt, &range) == com::S_OK) config->SetFormat(mt);
  return Rebuild(hadGrabber);
}

// ---- tape transport ----

HRESULT CCaptureEngine::VcrMode(long mode) { return transport_ ? transport_->PutMode(mode) : com::E_FAIL; }

HRESULT CCaptureEngine::VcrSeekTimecode(int hours, int minutes, int seconds, int frames, int nonDrop, int dvcam) {
  return SeekTimecode(transport_.get(), hours, minutes, seconds, frames, nonDrop, dvcam);
}

HRESULT CCaptureEngine::VcrGetTimecode(long* hours, long* minutes, long* seconds, long* frames) {
  if (!transport_) return com::E_FAIL;
  if (!hours || !minutes || !seconds || !frames) return com::E_POINTER;
  std::uint32_t bcd = 0;
  const HRESULT hr = transport_->GetTimecode(&bcd);
  return Failed(hr) ? hr : DecodeTimecode(bcd, hours, minutes, seconds, frames);
}
