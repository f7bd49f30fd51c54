#include "engine/dv_transport.h"

#include <libavc1394/avc1394.h>
#include <libavc1394/rom1394.h>
#include <libraw1394/raw1394.h>

#include <cstring>

namespace capture {

namespace {

// AV/C frame bytes: command types, responses, the tape subunit and its opcodes.
constexpr std::uint8_t kControl = 0x00;
constexpr std::uint8_t kStatus = 0x01;
constexpr std::uint8_t kNotImplemented = 0x08;
constexpr std::uint8_t kAccepted = 0x09;
constexpr std::uint8_t kStable = 0x0C;
constexpr std::uint8_t kTapeSubunit = 0x20;
constexpr std::uint8_t kOpRecord = 0xC2;
constexpr std::uint8_t kOpPlay = 0xC3;
constexpr std::uint8_t kOpWind = 0xC4;
constexpr std::uint8_t kOpTimecode = 0x51;
constexpr std::uint8_t kOpAbsoluteTrackNumber = 0x52;
constexpr std::uint8_t kOpInputSignalMode = 0x79;
constexpr std::uint8_t kOpMediumInfo = 0xDA;
constexpr std::uint8_t kNoCassette = 0x60;

struct ModeRow {
  long mode;
  std::uint8_t opcode, operand;
};
const ModeRow kModes[] = {
    {ed::kModePlay, kOpPlay, 0x75},          {ed::kModeStop, kOpWind, 0x60},
    {ed::kModeFreeze, kOpPlay, 0x7D},        {ed::kModeFF, kOpWind, 0x75},
    {ed::kModeRew, kOpWind, 0x65},           {ed::kModeRecord, kOpRecord, 0x75},
    {ed::kModeStepFwd, kOpPlay, 0x30},       {ed::kModeRecordFreeze, kOpRecord, 0x7D},
    {ed::kModeStepRev, kOpPlay, 0x40},       {ed::kModePlayFastestFwd, kOpPlay, 0x3F},
    {ed::kModePlaySlowestFwd, kOpPlay, 0x31}, {ed::kModePlayFastestRev, kOpPlay, 0x4F},
    {ed::kModePlaySlowestRev, kOpPlay, 0x41}, {ed::kModeRevPlay, kOpPlay, 0x65},
};

HRESULT FromResponse(const std::vector<std::uint8_t>& response, std::uint8_t expected) {
  if (response.empty()) return com::E_FAIL;
  const std::uint8_t code = response[0] & 0x0F;
  if (code == expected) return com::S_OK;
  return code == kNotImplemented ? com::E_NOTIMPL : com::E_FAIL;
}

// ---- the real unit: a node on an IEEE 1394 bus through libraw1394 and libavc1394 ----

class Raw1394Unit final : public IAvcUnit {
 public:
  Raw1394Unit(raw1394handle_t handle, nodeid_t node) : handle_(handle), node_(node) {}
  ~Raw1394Unit() override { raw1394_destroy_handle(handle_); }

  bool HasTapeSubunit() override { return avc1394_check_subunit_type(handle_, node_, AVC1394_SUBUNIT_TYPE_VCR) == 1; }

  HRESULT Transaction(const std::vector<std::uint8_t>& command, std::vector<std::uint8_t>* response) override {
    // Frames travel as quadlets, the first byte the most significant.
    std::vector<quadlet_t> quads((command.size() + 3) / 4, 0);
    for (std::size_t i = 0; i < command.size(); ++i) quads[i / 4] |= quadlet_t(command[i]) << (24 - 8 * (i % 4));
    unsigned int length = 0;
    quadlet_t* reply = avc1394_transaction_block2(handle_, node_, quads.data(), int(quads.size()), &length, 2);
    if (!reply) return com::E_FAIL;  // no answer in time
    response->clear();
    for (unsigned int i = 0; i < length * 4; ++i) response->push_back(std::uint8_t(reply[i / 4] >> (24 - 8 * (i % 4))));
    avc1394_transaction_block_close(handle_);
    return com::S_OK;
  }

 private:
  raw1394handle_t handle_;
  nodeid_t node_;
};

}  // namespace

void WalkBusNodes(const std::function<bool(raw1394handle_t, nodeid_t)>& visit) {
  raw1394handle_t probe = raw1394_new_handle();
  if (!probe) return;  // no bus driver in this system
  const int ports = raw1394_get_port_info(probe, nullptr, 0);
  raw1394_destroy_handle(probe);
  for (int port = 0; port < ports; ++port) {
    raw1394handle_t handle = raw1394_new_handle_on_port(port);
    if (!handle) continue;
    const int nodes = raw1394_get_nodecount(handle);
    for (int n = 0; n < nodes; ++n)
      if (visit(handle, nodeid_t(0xFFC0 | n))) return;
    raw1394_destroy_handle(handle);
  }
}

std::unique_ptr<IAvcUnit> OpenAvcUnit(std::uint64_t guid) {
  std::unique_ptr<IAvcUnit> unit;
  WalkBusNodes([&](raw1394handle_t handle, nodeid_t node) {
    if (rom1394_get_guid(handle, node) != guid) return false;
    unit = std::make_unique<Raw1394Unit>(handle, node);
    return true;
  });
  return unit;
}

std::unique_ptr<IAvcUnit> OpenAvcUnit(GstElement* source) {
  GstElementFactory* factory = source ? gst_element_get_factory(source) : nullptr;
  if (!factory || std::strcmp(GST_OBJECT_NAME(factory), "dv1394src") != 0) return nullptr;
  guint64 guid = 0;
  g_object_get(source, "guid", &guid, nullptr);
  return OpenAvcUnit(std::uint64_t(guid));
}

// ---- the transport ----

HRESULT DvTransport::Control(const std::vector<std::uint8_t>& command) {
  std::vector<std::uint8_t> response;
  const HRESULT hr = unit_->Transaction(command, &response);
  return Failed(hr) ? hr : FromResponse(response, kAccepted);
}

HRESULT DvTransport::Status(const std::vector<std::uint8_t>& command, std::vector<std::uint8_t>* response) {
  const HRESULT hr = unit_->Transaction(command, response);
  if (Failed(hr)) return hr;
  if (const HRESULT r = FromResponse(*response, kStable); Failed(r)) return r;
  return response->size() < command.size() ? com::E_FAIL : com::S_OK;
}

HRESULT DvTransport::PutMode(long mode) {
  for (const ModeRow& row : kModes)
    if (row.mode == mode) return Control({kControl, kTapeSubunit, row.opcode, row.operand});
  return com::E_INVALIDARG;
}

HRESULT DvTransport::MediaPresent(bool* present) {
  std::vector<std::uint8_t> response;
  const HRESULT hr = Status({kStatus, kTapeSubunit, kOpMediumInfo, 0x7F, 0x7F}, &response);
  if (Succeeded(hr)) *present = response[3] != kNoCassette;
  return hr;
}

HRESULT DvTransport::InputSignal(long* signal) {
  std::vector<std::uint8_t> response;
  const HRESULT hr = Status({kStatus, kTapeSubunit, kOpInputSignalMode, 0xFF}, &response);
  if (Failed(hr)) return hr;
  const std::uint8_t mode = response[3];
  const bool sdl = (mode & 0x7F) == 0x04;
  if (mode & 0x80) *signal = sdl ? ed::kSignal625_50SDL : ed::kSignal625_50SD;
  else *signal = sdl ? ed::kSignal525_60SDL : ed::kSignal525_60SD;
  return com::S_OK;
}

HRESULT DvTransport::SendRaw(const std::uint8_t* bytes, std::size_t length) {
  return Control(std::vector<std::uint8_t>(bytes, bytes + length));
}

HRESULT DvTransport::GetTimecode(std::uint32_t* bcd) {
  std::vector<std::uint8_t> response;
  const HRESULT hr = Status({kStatus, kTapeSubunit, kOpTimecode, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}, &response);
  if (Succeeded(hr))
    *bcd = std::uint32_t(response[4]) << 24 | std::uint32_t(response[5]) << 16 | std::uint32_t(response[6]) << 8 |
           response[7];
  return hr;
}

// ---- timecodes and track numbers ----

HRESULT TrackNumber(long signal, int hours, int minutes, int seconds, int frames, int nonDrop, int dvcam,
                    std::uint32_t* track) {
  const bool is625 = signal == ed::kSignal625_50SD || signal == ed::kSignal625_50SDL;
  if (!is625 && ((nonDrop != 0 && nonDrop != 1) || (dvcam != 0 && dvcam != 1))) return com::E_FAIL;
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59 || frames < 0 ||
      frames >= (is625 ? 25 : 30))
    return com::E_INVALIDARG;
  const std::int64_t m = std::int64_t(hours) * 60 + minutes;
  const std::int64_t s = m * 60 + seconds;
  std::int64_t number;
  if (is625) {
    number = 24 * (25 * s + frames);
  } else {
    const std::int64_t f = nonDrop == 1 ? 30 * s + frames : 1798 * m + 2 * (m / 10) + 30 * seconds + frames;
    number = (dvcam == 1 ? 30 : 20) * f;
  }
  if (number > 0xFFFFFF) return com::E_INVALIDARG;  // the command carries 24 bits
  *track = std::uint32_t(number);
  return com::S_OK;
}

std::array<std::uint8_t, 8> AtnSeekCommand(std::uint32_t track) {
  return {kControl, kTapeSubunit, kOpAbsoluteTrackNumber, 0x20, std::uint8_t(track), std::uint8_t(track >> 8),
          std::uint8_t(track >> 16), 0xFF};
}

HRESULT SeekTimecode(DvTransport* transport, int hours, int minutes, int seconds, int frames, int nonDrop, int dvcam) {
  if (!transport) return com::E_FAIL;
  bool present = false;
  HRESULT hr = transport->MediaPresent(&present);
  if (Failed(hr)) return hr;
  if (!present) return com::E_FAIL;
  long signal = 0;
  if (Failed(hr = transport->InputSignal(&signal))) return hr;
  std::uint32_t track = 0;
  if (Failed(hr = TrackNumber(signal, hours, minutes, seconds, frames, nonDrop, dvcam, &track))) return hr;
  const std::array<std::uint8_t, 8> command = AtnSeekCommand(track);
  return transport->SendRaw(command.data(), command.size());
}

HRESULT DecodeTimecode(std::uint32_t bcd, long* hours, long* minutes, long* seconds, long* frames) {
  long fields[4];
  for (int i = 0; i < 4; ++i) {
    const std::uint32_t byte = (bcd >> (24 - 8 * i)) & 0xFF;
    if ((byte >> 4) > 9 || (byte & 0x0F) > 9) return com::E_FAIL;  // no timecode on the tape here
    fields[i] = long(byte >> 4) * 10 + long(byte & 0x0F);
  }
  *hours = fields[0];
  *minutes = fields[1];
  *seconds = fields[2];
  *frames = fields[3];
  return com::S_OK;
}

}  // namespace capture
