#pragma once
// A video device's own settings as V4L2 gives them: controls, analog TV standards and inputs.
// One real backend talks to the device through its file descriptor (VIDIOC ioctls); tests drive
// another implementation of the same interface. Results are errno values (0 on success).
#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace capture {

struct V4l2Range {
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
  std::int32_t step = 0;
  std::int32_t defaultValue = 0;
};

struct V4l2Input {
  std::string name;
  std::uint32_t type = 0;      // V4L2_INPUT_TYPE_*
  std::uint64_t standards = 0;  // the v4l2_std_id bits the input takes; 0 for digital inputs
};

class IV4l2Device {
 public:
  virtual ~IV4l2Device() = default;
  // EINVAL when the device has no such control (or it is disabled).
  virtual int QueryControl(std::uint32_t id, V4l2Range* range) = 0;
  virtual int GetControl(std::uint32_t id, std::int32_t* value) = 0;
  virtual int SetControl(std::uint32_t id, std::int32_t value) = 0;
  // The v4l2_std_id of every standard the current input offers (empty for digital devices).
  virtual int EnumStandards(std::vector<std::uint64_t>* standards) = 0;
  virtual int GetStandard(std::uint64_t* standard) = 0;
  virtual int SetStandard(std::uint64_t standard) = 0;
  virtual int EnumInputs(std::vector<V4l2Input>* inputs) = 0;
  virtual int GetInput(int* index) = 0;
  virtual int SetInput(int index) = 0;
  // The bus the device hangs on ("usb-0000:00:14.0-1", "PCI:0000:03:00.0").
  virtual std::string BusInfo() = 0;
};

// The device behind a running v4l2src (its own descriptor, duplicated, or its device path opened
// again); null for any other source or a device that cannot be opened.
std::unique_ptr<IV4l2Device> OpenV4l2Device(GstElement* source);
// The device on an open descriptor, which the object takes and closes.
std::unique_ptr<IV4l2Device> V4l2DeviceOnFd(int fd);

}  // namespace capture
