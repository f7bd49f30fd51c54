#pragma once
// DV camcorders and decks on IEEE 1394 as video input devices: a device provider of our own (the
// device monitor has none for the bus) whose devices create dv1394src for their node's GUID and
// send a DV system stream.
#include <gst/gst.h>

#include <cstdint>
#include <string>

namespace capture {

// Registers the provider in this process; idempotent (EnsureGstInit calls it).
bool RegisterDvProvider();
// The device for one node (floating, as a provider's probe hands it out).
GstDevice* NewDvDevice(std::uint64_t guid, const std::string& name);

}  // namespace capture
