// ornik-compressor-check ENCODER...: checks each named encoder factory and prints, as soon as it is
// known, "yes ENCODER" (its recordings play back) or "no ENCODER". An encoder whose check runs out
// of time gets no line. The camera control runs it and keeps its answers.
//
// For tests, ORNIK_COMPRESSOR_CHECK_FAULT=ENCODER:abort makes the program abort instead of giving
// that encoder's answer, and ENCODER:endless feeds that encoder frames without end.
#include <gst/gst.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/compressor_check.h"

namespace {

// How long one stage of a check (recording, playing back) may take; a few frames of the preview's
// size take milliseconds on an idle machine.
constexpr std::chrono::milliseconds kStageLimit{5000};

}  // namespace

int main(int argc, char** argv) {
  ::close_range(3, ~0U, 0);  // what the host left open is none of the check's
  if (!gst_init_check(nullptr, nullptr, nullptr)) return 1;
  std::string faulty, fault;
  if (const char* hook = std::getenv("ORNIK_COMPRESSOR_CHECK_FAULT")) {
    const std::string text = hook;
    faulty = text.substr(0, text.find(':'));
    fault = text.find(':') == std::string::npos ? std::string() : text.substr(text.find(':') + 1);
  }
  std::vector<GstElementFactory*> encoders;
  for (int i = 1; i < argc; ++i)
    if (GstElementFactory* factory = gst_element_factory_find(argv[i])) encoders.push_back(factory);
  capture::CheckCompressors(
      encoders, kStageLimit,
      [&](std::size_t index, bool can) {
        const char* name = GST_OBJECT_NAME(encoders[index]);
        if (fault == "abort" && faulty == name) std::abort();
        std::printf("%s %s\n", can ? "yes" : "no", name);
        std::fflush(stdout);
      },
      fault == "endless" ? faulty : std::string());
  for (GstElementFactory* factory : encoders) gst_object_unref(factory);
  return 0;
}
