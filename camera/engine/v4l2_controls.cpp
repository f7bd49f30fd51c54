#include "engine/v4l2_controls.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace capture {

namespace {

class V4l2FdDevice final : public IV4l2Device {
 public:
  explicit V4l2FdDevice(int fd) : fd_(fd) {}
  ~V4l2FdDevice() override { ::close(fd_); }

  int QueryControl(std::uint32_t id, V4l2Range* range) override {
    v4l2_queryctrl q{};
    q.id = id;
    if (const int e = Io(VIDIOC_QUERYCTRL, &q)) return e;
    if (q.flags & V4L2_CTRL_FLAG_DISABLED) return EINVAL;
    *range = {q.minimum, q.maximum, q.step, q.default_value};
    return 0;
  }
  int GetControl(std::uint32_t id, std::int32_t* value) override {
    v4l2_control c{id, 0};
    const int e = Io(VIDIOC_G_CTRL, &c);
    if (!e) *value = c.value;
    return e;
  }
  int SetControl(std::uint32_t id, std::int32_t value) override {
    v4l2_control c{id, value};
    return Io(VIDIOC_S_CTRL, &c);
  }
  int EnumStandards(std::vector<std::uint64_t>* standards) override {
    standards->clear();
    for (std::uint32_t i = 0;; ++i) {
      v4l2_standard s{};
      s.index = i;
      const int e = Io(VIDIOC_ENUMSTD, &s);
      if (e == EINVAL || e == ENODATA || e == ENOTTY) return 0;  // the end of the list (or none)
      if (e) return e;
      standards->push_back(s.id);
    }
  }
  int GetStandard(std::uint64_t* standard) override {
    v4l2_std_id id = 0;
    const int e = Io(VIDIOC_G_STD, &id);
    if (!e) *standard = id;
    return e;
  }
  int SetStandard(std::uint64_t standard) override {
    v4l2_std_id id = standard;
    return Io(VIDIOC_S_STD, &id);
  }
  int EnumInputs(std::vector<V4l2Input>* inputs) override {
    inputs->clear();
    for (std::uint32_t i = 0;; ++i) {
      v4l2_input in{};
      in.index = i;
      const int e = Io(VIDIOC_ENUMINPUT, &in);
      if (e == EINVAL) return 0;
      if (e) return e;
      inputs->push_back({std::string(reinterpret_cast<const char*>(in.name), strnlen(reinterpret_cast<const char*>(in.name), sizeof in.name)),
                         in.type, in.std});
    }
  }
  int GetInput(int* index) override { return Io(VIDIOC_G_INPUT, index); }
  int SetInput(int index) override { return Io(VIDIOC_S_INPUT, &index); }
  std::string BusInfo() override {
    v4l2_capability cap{};
    if (Io(VIDIOC_QUERYCAP, &cap)) return {};
    const char* bus = reinterpret_cast<const char*>(cap.bus_info);
    return std::string(bus, strnlen(bus, sizeof cap.bus_info));
  }

 private:
  int Io(unsigned long request, void* arg) const {
    int r;
    do r = ::ioctl(fd_, request, arg);
    while (r < 0 && errno == EINTR);
    return r < 0 ? errno : 0;
  }
  int fd_;
};

}  // namespace

std::unique_ptr<IV4l2Device> V4l2DeviceOnFd(int fd) {
  return fd >= 0 ? std::make_unique<V4l2FdDevice>(fd) : nullptr;
}

std::unique_ptr<IV4l2Device> OpenV4l2Device(GstElement* source) {
  GstElementFactory* factory = source ? gst_element_get_factory(source) : nullptr;
  if (!factory || std::strcmp(GST_OBJECT_NAME(factory), "v4l2src") != 0) return nullptr;
  // The source's own descriptor while it is open; our copy stays valid when the source closes.
  int fd = -1;
  g_object_get(source, "device-fd", &fd, nullptr);
  if (fd >= 0) return V4l2DeviceOnFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
  gchar* path = nullptr;
  g_object_get(source, "device", &path, nullptr);
  const int opened = path ? ::open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC) : -1;
  g_free(path);
  return V4l2DeviceOnFd(opened);
}

}  // namespace capture
