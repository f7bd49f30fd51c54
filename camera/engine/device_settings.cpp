#include "engine/device_settings.h"

#include <linux/videodev2.h>

#include <cerrno>

namespace capture {

namespace {

HRESULT FromErrno(int e) {
  switch (e) {
    case 0: return com::S_OK;
    case EINVAL:
    case ENOTTY:
    case ENODATA: return E_PROP_ID_UNSUPPORTED;
    case ERANGE: return com::E_INVALIDARG;
    case EBUSY: return com::E_BUSY;
    case EACCES:
    case EPERM: return com::E_ACCESSDENIED;
    default: return com::E_FAIL;
  }
}

// Colour enable has no control of its own in V4L2: it is the colour effect "none" (1) against
// black and white (0).
struct ProcAmpRow {
  std::uint32_t cid;
  bool colorEnable;
};
const ProcAmpRow kProcAmp[] = {
    {V4L2_CID_BRIGHTNESS, false},
    {V4L2_CID_CONTRAST, false},
    {V4L2_CID_HUE, false},
    {V4L2_CID_SATURATION, false},
    {V4L2_CID_SHARPNESS, false},
    {V4L2_CID_GAMMA, false},
    {V4L2_CID_COLORFX, true},
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, false},
    {V4L2_CID_BACKLIGHT_COMPENSATION, false},
    {V4L2_CID_GAIN, false},
};

const ProcAmpRow* ProcAmpFor(long prop) {
  return prop >= 0 && prop < long(std::size(kProcAmp)) ? &kProcAmp[prop] : nullptr;
}

struct StandardRow {
  long host;
  std::uint64_t v4l2;
};
const StandardRow kStandards[] = {
    {0x1, V4L2_STD_NTSC_M},        {0x2, V4L2_STD_NTSC_M_JP},   {0x4, V4L2_STD_NTSC_443},
    {0x10, V4L2_STD_PAL_B},        {0x20, V4L2_STD_PAL_D},      {0x40, V4L2_STD_PAL_G},
    {0x80, V4L2_STD_PAL_H},        {0x100, V4L2_STD_PAL_I},     {0x200, V4L2_STD_PAL_M},
    {0x400, V4L2_STD_PAL_N},       {0x800, V4L2_STD_PAL_60},    {0x1000, V4L2_STD_SECAM_B},
    {0x2000, V4L2_STD_SECAM_D},    {0x4000, V4L2_STD_SECAM_G},  {0x8000, V4L2_STD_SECAM_H},
    {0x10000, V4L2_STD_SECAM_K},   {0x20000, V4L2_STD_SECAM_K1}, {0x40000, V4L2_STD_SECAM_L},
    {0x80000, V4L2_STD_SECAM_LC},  {0x100000, V4L2_STD_PAL_Nc},
};

const char* const kVideoNames[] = {"Video Tuner", "Video Composite", "S-Video", "Video RGB", "Video YRYBY",
                                   "Video Serial Digital", "Video Parallel Digital", "Video SCSI", "Video AUX",
                                   "Video 1394", "Video USB", "Video Decoder", "Video Encoder"};
const char* const kAudioNames[] = {"Audio Tuner", "Audio Line", "Audio Microphone", "Audio AES/EBU Digital",
                                   "Audio S/PDIF", "Audio SCSI", "Audio AUX", "Audio 1394", "Audio USB",
                                   "Audio Decoder"};

// What kind of connector an input is: the tuner by its type, analog inputs by the words drivers
// name them with, a camera on USB by its bus.
long ConnectorOf(const V4l2Input& input, const std::string& busInfo) {
  if (input.type == V4L2_INPUT_TYPE_TUNER) return connector::kVideoTuner;
  const QString name = QString::fromStdString(input.name).toLower();
  if (name.contains(QLatin1String("s-video")) || name.contains(QLatin1String("svideo"))) return connector::kVideoSVideo;
  if (name.contains(QLatin1String("composite"))) return connector::kVideoComposite;
  if (name.contains(QLatin1String("component"))) return connector::kVideoYRYBY;
  if (busInfo.rfind("usb", 0) == 0) return connector::kVideoUsb;
  return 0;
}

}  // namespace

QString ConnectorName(long type) {
  if (type >= 1 && type <= long(std::size(kVideoNames))) return QString::fromLatin1(kVideoNames[type - 1]);
  if (type >= 4096 && type < 4096 + long(std::size(kAudioNames))) return QString::fromLatin1(kAudioNames[type - 4096]);
  return QStringLiteral("Unknown Type");
}

DeviceSettings::DeviceSettings(std::unique_ptr<IV4l2Device> device) : device_(std::move(device)) {}

HRESULT DeviceSettings::GetRange(long prop, long* min, long* max, long* step, long* def) {
  const ProcAmpRow* row = ProcAmpFor(prop);
  if (!row) return E_PROP_ID_UNSUPPORTED;
  V4l2Range r;
  if (const int e = device_->QueryControl(row->cid, &r)) return FromErrno(e);
  if (row->colorEnable) r = {0, 1, 1, r.defaultValue == V4L2_COLORFX_BW ? 0 : 1};
  *min = r.minimum;
  *max = r.maximum;
  *step = r.step;
  *def = r.defaultValue;
  return com::S_OK;
}

HRESULT DeviceSettings::Get(long prop, long* value) {
  const ProcAmpRow* row = ProcAmpFor(prop);
  if (!row) return E_PROP_ID_UNSUPPORTED;
  std::int32_t v = 0;
  if (const int e = device_->GetControl(row->cid, &v)) return FromErrno(e);
  *value = row->colorEnable ? (v == V4L2_COLORFX_BW ? 0 : 1) : v;
  return com::S_OK;
}

HRESULT DeviceSettings::Set(long prop, long value) {
  long min = 0, max = 0, step = 0, def = 0;
  if (const HRESULT hr = GetRange(prop, &min, &max, &step, &def); Failed(hr)) return hr;
  if (value < min || value > max) return com::E_INVALIDARG;
  const ProcAmpRow* row = ProcAmpFor(prop);
  const std::int32_t v = row->colorEnable ? (value ? V4L2_COLORFX_NONE : V4L2_COLORFX_BW) : std::int32_t(value);
  return FromErrno(device_->SetControl(row->cid, v));
}

bool DeviceSettings::HasAnalogDecoder() {
  std::vector<std::uint64_t> standards;
  return device_->EnumStandards(&standards) == 0 && !standards.empty();
}

HRESULT DeviceSettings::AvailableTVFormats(long* standards) {
  std::vector<std::uint64_t> ids;
  if (const int e = device_->EnumStandards(&ids)) return FromErrno(e);
  long mask = 0;
  for (std::uint64_t id : ids)
    for (const StandardRow& row : kStandards)
      if (id & row.v4l2) mask |= row.host;
  *standards = mask;
  return com::S_OK;
}

HRESULT DeviceSettings::TVFormat(long* standard) {
  std::uint64_t id = 0;
  if (const int e = device_->GetStandard(&id)) return FromErrno(e);
  *standard = 0;
  for (const StandardRow& row : kStandards)
    if (id & row.v4l2) {
      *standard = row.host;
      break;
    }
  return com::S_OK;
}

HRESULT DeviceSettings::SetTVFormat(long standard) {
  for (const StandardRow& row : kStandards)
    if (row.host == standard) return FromErrno(device_->SetStandard(row.v4l2));
  return com::E_INVALIDARG;  // none or several standards at once
}

const std::vector<V4l2Input>& DeviceSettings::Inputs() {
  if (!inputsRead_ && device_->EnumInputs(&inputs_) == 0) inputsRead_ = true;
  return inputs_;
}

bool DeviceSettings::HasCrossbar() {
  const std::vector<V4l2Input>& inputs = Inputs();
  if (inputs.size() > 1) return true;
  return !inputs.empty() && (inputs[0].type == V4L2_INPUT_TYPE_TUNER || inputs[0].standards != 0);
}

HRESULT DeviceSettings::PinCounts(long* outputs, long* inputs) {
  *outputs = 1;
  *inputs = long(Inputs().size());
  return com::S_OK;
}

long DeviceSettings::InputType(long index) {
  const std::vector<V4l2Input>& inputs = Inputs();
  if (index < 0 || index >= long(inputs.size())) return 0;
  return ConnectorOf(inputs[std::size_t(index)], device_->BusInfo());
}

long DeviceSettings::OutputType(long index) { return index == 0 ? connector::kVideoDecoder : 0; }

HRESULT DeviceSettings::IsRoutedTo(long output, long* input) {
  if (output != 0) return com::E_INVALIDARG;
  int current = -1;
  if (const int e = device_->GetInput(&current)) return FromErrno(e);
  *input = current;
  return com::S_OK;
}

HRESULT DeviceSettings::Route(long output, long input) {
  if (output != 0 || input < 0 || input >= long(Inputs().size())) return com::E_INVALIDARG;
  return FromErrno(device_->SetInput(int(input)));
}

}  // namespace capture
