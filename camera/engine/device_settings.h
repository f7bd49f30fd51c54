#pragma once
// The adjustable parts of a live source as the host numbers them, over its V4L2 device: the
// picture quality properties (proc amp), the analog TV standard (analog decoder) and the routing
// of its physical inputs (crossbar, one output: the video decoder).
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/hresult.h"
#include "engine/v4l2_controls.h"

namespace capture {

// A property or connector the device does not have.
inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = com::MakeResult(0x80070490u);

// Picture quality properties, in the host's numbering.
enum class ProcAmpProperty : long {
  Brightness = 0, Contrast, Hue, Saturation, Sharpness, Gamma, ColorEnable, WhiteBalance,
  BacklightCompensation, Gain
};

// Analog TV standards, in the host's bit values.
namespace tv {
inline constexpr long kNtscM = 0x1;
inline constexpr long kNtscMJ = 0x2;
}  // namespace tv

// Connector types of the routing pins, in the host's numbering (1-13 video, 4096-4105 audio).
namespace connector {
inline constexpr long kVideoTuner = 1;
inline constexpr long kVideoComposite = 2;
inline constexpr long kVideoSVideo = 3;
inline constexpr long kVideoYRYBY = 5;
inline constexpr long kVideoUsb = 11;
inline constexpr long kVideoDecoder = 12;
}  // namespace connector
// The name of a connector type; "Unknown Type" for any type without one.
QString ConnectorName(long type);

class DeviceSettings {
 public:
  explicit DeviceSettings(std::unique_ptr<IV4l2Device> device);

  // Proc amp (present with any device): range and value of a property, flags dropped.
  HRESULT GetRange(long prop, long* min, long* max, long* step, long* def);
  HRESULT Get(long prop, long* value);
  HRESULT Set(long prop, long value);

  // Analog decoder: present when the device offers TV standards.
  bool HasAnalogDecoder();
  HRESULT AvailableTVFormats(long* standards);
  HRESULT TVFormat(long* standard);
  HRESULT SetTVFormat(long standard);

  // Crossbar: present when the device has more than one input or an analog one.
  bool HasCrossbar();
  HRESULT PinCounts(long* outputs, long* inputs);
  // Connector type of a pin; 0 when there is no such pin.
  long InputType(long index);
  long OutputType(long index);
  HRESULT IsRoutedTo(long output, long* input);
  HRESULT Route(long output, long input);

  IV4l2Device& Device() { return *device_; }

 private:
  const std::vector<V4l2Input>& Inputs();

  std::unique_ptr<IV4l2Device> device_;
  std::vector<V4l2Input> inputs_;
  bool inputsRead_ = false;
};

}  // namespace capture

#include <functional>

#include "engine/dv_transport.h"

namespace capture {

// Where the engine takes a live source's device interfaces from: the real backends by default,
// tests put theirs in.
struct DeviceBackends {
  std::function<std::unique_ptr<IV4l2Device>(GstElement* source)> video = [](GstElement* s) {
    return OpenV4l2Device(s);
  };
  std::function<std::unique_ptr<IAvcUnit>(GstElement* source)> avc = [](GstElement* s) { return OpenAvcUnit(s); };
};

}  // namespace capture
