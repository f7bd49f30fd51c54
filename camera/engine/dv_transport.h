#pragma once
// The tape transport, external device and timecode reader of a DV camcorder or deck, spoken to
// as AV/C commands to its tape subunit. The unit behind it is an interface: one real backend over
// libavc1394 (IEEE 1394), and tests that record the command bytes.
#include <gst/gst.h>
#include <libraw1394/raw1394.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/hresult.h"

namespace capture {

// One AV/C unit: sends a command frame, gives back the response frame.
class IAvcUnit {
 public:
  virtual ~IAvcUnit() = default;
  // Whether the unit has a tape subunit (a camcorder or deck, not a plain camera).
  virtual bool HasTapeSubunit() = 0;
  virtual HRESULT Transaction(const std::vector<std::uint8_t>& command, std::vector<std::uint8_t>* response) = 0;
};

// Calls `visit` with every node of every IEEE 1394 port (nothing without a bus). A visit that
// returns true takes the handle over and ends the walk.
void WalkBusNodes(const std::function<bool(raw1394handle_t handle, nodeid_t node)>& visit);
// The unit on the bus whose node has this GUID; null without a bus or without the node.
std::unique_ptr<IAvcUnit> OpenAvcUnit(std::uint64_t guid);
// The unit a dv1394src reads from; null for any other source.
std::unique_ptr<IAvcUnit> OpenAvcUnit(GstElement* source);

// Transport modes, status items and parameters in the host's numbering.
namespace ed {
inline constexpr long kModePlay = 4296;
inline constexpr long kModeStop = 4297;
inline constexpr long kModeFreeze = 4298;
inline constexpr long kModeFF = 4300;
inline constexpr long kModeRew = 4301;
inline constexpr long kModeRecord = 4302;
inline constexpr long kModeStepFwd = 4304;
inline constexpr long kModeRecordFreeze = 4904;
inline constexpr long kModeStepRev = 4905;
inline constexpr long kModePlayFastestFwd = 5029;
inline constexpr long kModePlaySlowestFwd = 5030;
inline constexpr long kModePlayFastestRev = 5031;
inline constexpr long kModePlaySlowestRev = 5032;
inline constexpr long kModeRevPlay = 5035;
inline constexpr long kRawExtDevCmd = 5016;
inline constexpr long kSignal525_60SD = 5038;
inline constexpr long kSignal525_60SDL = 5039;
inline constexpr long kSignal625_50SD = 5040;
inline constexpr long kSignal625_50SDL = 5041;
}  // namespace ed

class DvTransport {
 public:
  explicit DvTransport(std::unique_ptr<IAvcUnit> unit) : unit_(std::move(unit)) {}

  // One of the fourteen modes above; E_INVALIDARG for any other value.
  HRESULT PutMode(long mode);
  // Whether a tape is in the deck.
  HRESULT MediaPresent(bool* present);
  // The input signal as one of the ed::kSignal values.
  HRESULT InputSignal(long* signal);
  // A raw command frame, accepted or not.
  HRESULT SendRaw(const std::uint8_t* bytes, std::size_t length);
  // The current timecode as packed BCD, hours in the high byte.
  HRESULT GetTimecode(std::uint32_t* bcd);

 private:
  HRESULT Control(const std::vector<std::uint8_t>& command);
  HRESULT Status(const std::vector<std::uint8_t>& command, std::vector<std::uint8_t>* response);
  std::unique_ptr<IAvcUnit> unit_;
};

// The absolute track number of a timecode on a tape of `signal` (Part of the seek): E_FAIL for an
// nNonDrop or nDVCAM other than 0 or 1 on a 525-line signal, E_INVALIDARG for a field out of
// range or a track number beyond 24 bits.
HRESULT TrackNumber(long signal, int hours, int minutes, int seconds, int frames, int nonDrop, int dvcam,
                    std::uint32_t* track);
// The 8-byte ABSOLUTE TRACK NUMBER control command.
std::array<std::uint8_t, 8> AtnSeekCommand(std::uint32_t track);
// Seeks the tape to a timecode: tape and signal checked, then the command sent.
HRESULT SeekTimecode(DvTransport* transport, int hours, int minutes, int seconds, int frames, int nonDrop, int dvcam);
// Packed BCD hh mm ss ff into its four fields; E_FAIL for a digit that is no decimal digit.
HRESULT DecodeTimecode(std::uint32_t bcd, long* hours, long* minutes, long* seconds, long* frames);

}  // namespace capture
