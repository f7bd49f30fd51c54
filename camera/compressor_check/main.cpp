// ornik-compressor-check: the camera control's check of the video encoders installed, in a process
// of the control's own (the control starts it; see --help). Each encoder is checked in a process of
// its own, so that one that ends its process (some libraries call exit() on a size they refuse, or
// crash) is told apart from the others and answered "no".
//
// For tests, ORNIK_COMPRESSOR_CHECK_FAULT=ENCODER:abort makes that encoder's check abort its
// process, ENCODER:endless feeds that encoder frames without end, and :hang makes the program
// itself start a child holding its output and never answer. ORNIK_COMPRESSOR_CHECK_RUNS=FILE
// appends the format of each run to FILE.
#include <gst/gst.h>

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <vector>

#include "engine/compressor_check.h"

namespace {

constexpr const char* kHelp =
    "Usage: ornik-compressor-check --host PID FORMAT ENCODER...\n"
    "\n"
    "The camera control (libOrnik.so) starts this program to learn which video encoders can record\n"
    "at the camera's live format: each ENCODER (a GStreamer element name) records a few frames of\n"
    "FORMAT (raw video caps, such as video/x-raw,format=YUY2,width=321,height=241,framerate=30/1)\n"
    "into an AVI file in memory, which is then played back. One line is printed per encoder as soon\n"
    "as it is known: \"yes ENCODER\" (it records at that format) or \"no ENCODER\" (it cannot, or its\n"
    "check ended its process); an encoder whose check runs out of time gets no line. The control\n"
    "keeps the answers in ~/.cache/ornik/compressor-check. The program ends with the host PID.\n"
    "There is no need to run it by hand.\n";

// How long one stage of a check (recording, playing back) may take, how long one encoder's process
// may live, and how many are checked at once. The control waits a few seconds at the most.
constexpr std::chrono::milliseconds kStageLimit{4000};
constexpr std::chrono::milliseconds kEncoderLimit{8000};
constexpr std::size_t kChecksAtOnce = 8;
// An encoder's process tells its answer by its exit status; any other end means "no".
constexpr int kExitRecords = 0, kExitCannot = 10, kExitNone = 11;

// Ends this process with `parent`: at once when it is already gone.
void EndWith(pid_t parent) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) _exit(kExitNone);
}

[[noreturn]] void CheckOne(const std::string& format, const char* encoder, const std::string& fault) {
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) ::dup2(null, 1);  // what an encoder prints is not an answer
  if (!gst_init_check(nullptr, nullptr, nullptr)) _exit(kExitNone);
  GstElementFactory* factory = gst_element_factory_find(encoder);
  if (!factory) _exit(kExitCannot);
  if (fault == "abort") std::abort();
  const capture::CheckResult result = capture::CheckCompressor(factory, format, kStageLimit, fault == "endless");
  _exit(result == capture::CheckResult::Records ? kExitRecords
        : result == capture::CheckResult::Cannot ? kExitCannot
                                                 : kExitNone);
}

[[noreturn]] void Hang() {
  if (::fork() == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (;;) ::pause();
  }
  for (;;) ::pause();
}

struct Running {
  pid_t pid;
  const char* encoder;
  std::chrono::steady_clock::time_point deadline;
  bool killed = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc < 4 || std::strcmp(argv[1], "--host") != 0) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  EndWith(pid_t(std::atol(argv[2])));
  ::close_range(3, ~0U, 0);  // what the host left open is none of the check's
  const std::string format = argv[3];
  std::string faulty, fault;
  if (const char* hook = std::getenv("ORNIK_COMPRESSOR_CHECK_FAULT")) {
    const std::string text = hook;
    faulty = text.substr(0, text.find(':'));
    fault = text.find(':') == std::string::npos ? std::string() : text.substr(text.find(':') + 1);
  }
  if (const char* runs = std::getenv("ORNIK_COMPRESSOR_CHECK_RUNS")) {
    if (FILE* log = std::fopen(runs, "ae")) {
      std::fprintf(log, "%s\n", format.c_str());
      std::fclose(log);
    }
  }
  if (faulty.empty() && fault == "hang") Hang();

  const pid_t self = ::getpid();
  std::vector<Running> running;
  for (int next = 4; next < argc || !running.empty();) {
    for (; running.size() < kChecksAtOnce && next < argc; ++next) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        EndWith(self);
        CheckOne(format, argv[next], faulty == argv[next] ? fault : std::string());
      }
      if (pid > 0) running.push_back({pid, argv[next], std::chrono::steady_clock::now() + kEncoderLimit});
    }
    int status = 0;
    const pid_t done = ::waitpid(-1, &status, WNOHANG);
    if (done <= 0) {
      const auto now = std::chrono::steady_clock::now();
      for (Running& r : running)
        if (!r.killed && now >= r.deadline) r.killed = ::kill(r.pid, SIGKILL) == 0;
      ::poll(nullptr, 0, 5);
      continue;
    }
    for (auto r = running.begin(); r != running.end(); ++r) {
      if (r->pid != done) continue;
      const bool records = WIFEXITED(status) && WEXITSTATUS(status) == kExitRecords;
      const bool none = r->killed || (WIFEXITED(status) && WEXITSTATUS(status) == kExitNone);
      if (!none) std::printf("%s %s\n", records ? "yes" : "no", r->encoder);
      std::fflush(stdout);
      running.erase(r);
      break;
    }
  }
  return 0;
}
