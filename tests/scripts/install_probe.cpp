// Run as the Velmor of a program folder: loads libOrnik.so from its own folder, prints "ready" and
// keeps calling the library's DllCanUnloadNow until the file named by its argument exists, then a
// little longer. Exits 0 when every call answered S_OK or S_FALSE, 1 when it cannot start or
// a call answered anything else; a library changed under it ends it with a signal instead.
#include <dlfcn.h>
#include <linux/limits.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  char self[PATH_MAX] = {};
  if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 1;
  std::string library(self);
  library = library.substr(0, library.rfind('/') + 1) + "libOrnik.so";
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  using CanUnloadNow = std::int32_t (*)();
  auto call = reinterpret_cast<CanUnloadNow>(dlsym(handle, "DllCanUnloadNow"));
  if (!call) return 1;
  const auto check = [&] { const std::int32_t hr = call(); return hr == 0 || hr == 1; };
  if (!check()) return 1;
  std::printf("ready\n");
  std::fflush(stdout);

  using Clock = std::chrono::steady_clock;
  const auto giveUp = Clock::now() + std::chrono::seconds(60);
  auto end = giveUp;
  while (Clock::now() < end) {
    if (!check()) return 1;
    if (end == giveUp && access(argv[1], F_OK) == 0) end = Clock::now() + std::chrono::milliseconds(500);
    usleep(1000);
  }
  return end == giveUp ? 1 : 0;
}
