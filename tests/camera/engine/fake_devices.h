#pragma once
// Device interfaces the engine tests drive in place of a V4L2 device and a DV deck: a control set,
// standards and inputs held in memory, and an AV/C unit that records every command frame and
// answers from a small tape model.
#include <linux/videodev2.h>

#include <map>
#include <memory>
#include <vector>

#include "engine/device_settings.h"
#include "engine/dv_transport.h"

namespace cameratest {

struct FakeV4l2State {
  std::map<std::uint32_t, capture::V4l2Range> ranges;
  std::map<std::uint32_t, std::int32_t> values;
  std::vector<std::uint64_t> standards;
  std::uint64_t standard = 0;
  std::vector<capture::V4l2Input> inputs;
  int input = 0;
  std::string bus = "usb-0000:00:14.0-1";
};

class FakeV4l2Device final : public capture::IV4l2Device {
 public:
  explicit FakeV4l2Device(std::shared_ptr<FakeV4l2State> state) : s_(std::move(state)) {}
  int QueryControl(std::uint32_t id, capture::V4l2Range* r) override {
    auto it = s_->ranges.find(id);
    if (it == s_->ranges.end()) return EINVAL;
    *r = it->second;
    return 0;
  }
  int GetControl(std::uint32_t id, std::int32_t* v) override {
    if (!s_->ranges.count(id)) return EINVAL;
    *v = s_->values[id];
    return 0;
  }
  int SetControl(std::uint32_t id, std::int32_t v) override {
    if (!s_->ranges.count(id)) return EINVAL;
    s_->values[id] = v;
    return 0;
  }
  int EnumStandards(std::vector<std::uint64_t>* out) override {
    *out = s_->standards;
    return 0;
  }
  int GetStandard(std::uint64_t* id) override {
    if (s_->standards.empty()) return ENODATA;
    *id = s_->standard;
    return 0;
  }
  int SetStandard(std::uint64_t id) override {
    for (std::uint64_t offered : s_->standards)
      if (offered & id) {
        s_->standard = id;
        return 0;
      }
    return EINVAL;
  }
  int EnumInputs(std::vector<capture::V4l2Input>* out) override {
    *out = s_->inputs;
    return 0;
  }
  int GetInput(int* index) override {
    *index = s_->input;
    return 0;
  }
  int SetInput(int index) override {
    s_->input = index;
    return 0;
  }
  std::string BusInfo() override { return s_->bus; }

 private:
  std::shared_ptr<FakeV4l2State> s_;
};

struct FakeDeckState {
  bool tapeSubunit = true;
  bool tape = true;
  std::uint8_t signalMode = 0x00;  // SD 525-60
  std::uint32_t timecode = 0;      // BCD hh mm ss ff
  std::vector<std::vector<std::uint8_t>> commands;
};

class FakeAvcUnit final : public capture::IAvcUnit {
 public:
  explicit FakeAvcUnit(std::shared_ptr<FakeDeckState> state) : s_(std::move(state)) {}
  bool HasTapeSubunit() override { return s_->tapeSubunit; }
  com::HRESULT Transaction(const std::vector<std::uint8_t>& c, std::vector<std::uint8_t>* r) override {
    s_->commands.push_back(c);
    *r = c;
    (*r)[0] = c[0] == 0x00 ? 0x09 : 0x0C;  // accepted, stable
    if (c[2] == 0xDA) (*r)[3] = s_->tape ? 0x31 : 0x60;
    if (c[2] == 0x79) (*r)[3] = s_->signalMode;
    if (c[2] == 0x51)
      for (int i = 0; i < 4; ++i) (*r)[4 + i] = std::uint8_t(s_->timecode >> (24 - 8 * i));
    return com::S_OK;
  }

 private:
  std::shared_ptr<FakeDeckState> s_;
};

// Backends handing out the fakes for any source.
inline capture::DeviceBackends FakeBackends(std::shared_ptr<FakeV4l2State> video, std::shared_ptr<FakeDeckState> deck) {
  capture::DeviceBackends b;
  b.video = [video](GstElement*) -> std::unique_ptr<capture::IV4l2Device> {
    return video ? std::make_unique<FakeV4l2Device>(video) : nullptr;
  };
  b.avc = [deck](GstElement*) -> std::unique_ptr<capture::IAvcUnit> {
    return deck ? std::make_unique<FakeAvcUnit>(deck) : nullptr;
  };
  return b;
}

}  // namespace cameratest
