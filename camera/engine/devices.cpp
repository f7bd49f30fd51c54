#include "engine/devices.h"

#include "engine/compressor_check.h"
#include "engine/dv_provider.h"
#include "engine/gst_ptr.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <glib/gstdio.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <mutex>

namespace capture {

bool EnsureGstInit() {
  if (gst_is_initialized()) return RegisterDvProvider() || true;
  GError* error = nullptr;
  const bool ok = gst_init_check(nullptr, nullptr, &error);
  if (ok) RegisterDvProvider();  // DV camcorders are video input devices too
  if (error) {
    g_warning("GStreamer could not start: %s", error->message);
    g_error_free(error);
  }
  return ok;
}

namespace {

// A sound server's monitor of an output is listed as an audio source, but records no input.
bool IsMonitor(GstDevice* device) {
  GstStructure* props = gst_device_get_properties(device);
  const bool monitor = props && g_strcmp0(gst_structure_get_string(props, "device.class"), "monitor") == 0;
  if (props) gst_structure_free(props);
  return monitor;
}

// The caps the AVI multiplexer takes on a video input (empty when it is missing).
GstCaps* AviVideoCaps() {
  GstElementFactory* mux = gst_element_factory_find("avimux");
  GstCaps* caps = gst_caps_new_empty();
  if (!mux) return caps;
  for (const GList* l = gst_element_factory_get_static_pad_templates(mux); l; l = l->next) {
    auto* t = static_cast<GstStaticPadTemplate*>(l->data);
    if (t->direction == GST_PAD_SINK && g_str_has_prefix(t->name_template, "video"))
      caps = gst_caps_merge(caps, gst_static_pad_template_get_caps(t));
  }
  gst_object_unref(mux);
  return caps;
}

bool WritesInto(GstElementFactory* encoder, GstCaps* accepted) {
  for (const GList* l = gst_element_factory_get_static_pad_templates(encoder); l; l = l->next) {
    auto* t = static_cast<GstStaticPadTemplate*>(l->data);
    if (t->direction != GST_PAD_SRC) continue;
    GstCaps* caps = gst_static_pad_template_get_caps(t);
    const bool ok = gst_caps_can_intersect(caps, accepted);
    gst_caps_unref(caps);
    if (ok) return true;
  }
  return false;
}

}  // namespace

DeviceList::DeviceList(const char* deviceClass) {
  if (!EnsureGstInit()) return;
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, deviceClass, nullptr);
  GList* devices = gst_device_monitor_get_devices(monitor);  // probes; no start needed
  for (GList* l = devices; l; l = l->next) {
    GstDevice* device = GST_DEVICE(l->data);  // takes the refs
    if (IsMonitor(device)) gst_object_unref(device);
    else devices_.push_back(device);
  }
  g_list_free(devices);
  gst_object_unref(monitor);
}

DeviceList::~DeviceList() {
  for (GstDevice* d : devices_) gst_object_unref(d);
}

GstDevice* DeviceList::At(int index) const {
  return index >= 0 && index < Count() ? devices_[std::size_t(index)] : nullptr;
}

QString DeviceList::Name(int index) const {
  GstDevice* device = At(index);
  if (!device) return {};
  gchar* name = gst_device_get_display_name(device);
  QString result = QString::fromUtf8(name ? name : "");
  g_free(name);
  return result;
}

namespace {

// How long a list waits for the check at the most. The check of every encoder at a new format
// takes about a second on an idle machine and four to five under a load of 30 on eight cores;
// what it has not answered by then is not listed, and asked again later.
constexpr int kCheckLimitMs = 8000;
// How long after a check that ended without every answer (it ran out of time, it could not
// start) the same encoders at the same format are asked again: the lists meanwhile list only
// what was answered, without waiting. ORNIK_COMPRESSOR_CHECK_RETRY_MS sets it for tests.
constexpr int kRetryAfterMs = 5 * 60 * 1000;
// How many encoder sets and formats the cache file keeps answers for (programs with other plugin
// paths share it), and the largest file read (a few hundred bytes per set and format).
constexpr std::size_t kKeptSlots = 32;
constexpr std::size_t kCacheLimitBytes = 256 * 1024;

// A file's identity as the key knows it: its path, size and time (nothing is loaded).
std::string FileIdentity(const char* path) {
  // The file itself, whatever link it was found through (a folder of links made for one run is
  // the same plugins).
  char* file = path ? ::realpath(path, nullptr) : nullptr;
  struct stat st {};
  if (file && ::stat(file, &st) != 0) st = {};
  gchar* text = g_strdup_printf("%s %lld %lld", file ? file : "-", static_cast<long long>(st.st_size),
                                static_cast<long long>(st.st_mtime));
  std::string identity = text;
  g_free(text);
  std::free(file);
  return identity;
}

// A plugin's file as the registry knows it: its name, file and version.
std::string PluginFile(GstPlugin* plugin) {
  return std::string(gst_plugin_get_name(plugin)) + " " + FileIdentity(gst_plugin_get_filename(plugin)) + " " +
         gst_plugin_get_version(plugin) + "\n";
}

// The check's program: beside the library the control was loaded from, or beside the program the
// control is linked into.
std::string CheckProgram() {
  Dl_info info{};
  link_map* map = nullptr;
  std::string self;
  if (dladdr1(reinterpret_cast<void*>(&CheckProgram), &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) &&
      map && map->l_name && *map->l_name)
    self = map->l_name;
  else if (gchar* exe = g_file_read_link("/proc/self/exe", nullptr)) {
    self = exe;
    g_free(exe);
  }
  gchar* folder = g_path_get_dirname(self.c_str());
  std::string program = std::string(folder) + "/ornik-compressor-check";
  g_free(folder);
  return program;
}

// The encoders installed now whose output the AVI multiplexer takes (by factory name, sorted), and
// the key of their check: the control's version and check program, the encoders' names, those of
// the video decoders their recordings are played back with, and the plugin files of both, so that
// a new control, or an encoder or a decoder installed, removed or updated, is checked again. One
// walk over the registry's element factories.
struct Installed {
  std::vector<std::string> encoders;
  std::string key;
};

Installed InstalledEncoders() {
  Installed installed;
  GstCaps* accepted = AviVideoCaps();
  std::vector<std::string> lines;
  std::map<std::string, std::string> plugins;
  GList* factories = gst_registry_get_feature_list(gst_registry_get(), GST_TYPE_ELEMENT_FACTORY);
  for (GList* l = factories; l; l = l->next) {
    auto* factory = GST_ELEMENT_FACTORY(l->data);
    const bool encoder = gst_element_factory_list_is_type(factory, GST_ELEMENT_FACTORY_TYPE_VIDEO_ENCODER) &&
                         WritesInto(factory, accepted);
    if (!encoder && !gst_element_factory_list_is_type(
                        factory, GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO))
      continue;
    if (encoder) installed.encoders.emplace_back(GST_OBJECT_NAME(factory));
    const gchar* pluginName = gst_plugin_feature_get_plugin_name(GST_PLUGIN_FEATURE(factory));
    lines.push_back(std::string(encoder ? "encoder " : "decoder ") + GST_OBJECT_NAME(factory) + " " +
                    (pluginName ? pluginName : "-") + "\n");
    if (!pluginName || plugins.count(pluginName)) continue;
    GstPlugin* plugin = gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory));
    plugins[pluginName] = plugin ? PluginFile(plugin) : std::string(pluginName) + "\n";
    if (plugin) gst_object_unref(plugin);
  }
  gst_plugin_feature_list_free(factories);
  gst_caps_unref(accepted);
  std::sort(installed.encoders.begin(), installed.encoders.end());
  std::sort(lines.begin(), lines.end());
  std::string text = std::string("control " ORNIK_VERSION " ") + FileIdentity(CheckProgram().c_str()) + "\n";
  for (const std::string& line : lines) text += line;
  for (const auto& [name, file] : plugins) text += file;
  gchar* sum = g_compute_checksum_for_string(G_CHECKSUM_SHA256, text.c_str(), -1);
  installed.key = sum;
  g_free(sum);
  return installed;
}

// The cache file: lines "KEY FORMAT ENCODER yes|no", the latest set and format first. It is read
// only when it is what this control wrote: a regular file of the user's that nobody else may
// write, of a sane size (a FIFO, a link, a huge file or one another user could change are
// ignored, as if there were none).
struct CachedAnswer {
  std::string key, format, encoder;
  bool can = false;
};

std::vector<CachedAnswer> ReadCache() {
  std::vector<CachedAnswer> answers;
  const int fd = ::open(CompressorCheckFile().c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return answers;
  struct stat st {};
  std::string text;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && !(st.st_mode & (S_IWGRP | S_IWOTH)) &&
      std::size_t(st.st_size) <= kCacheLimitBytes) {
    text.resize(kCacheLimitBytes);
    std::size_t done = 0;
    for (ssize_t n; done < text.size() && ((n = ::read(fd, text.data() + done, text.size() - done)) > 0 ||
                                           (n < 0 && errno == EINTR));)
      if (n > 0) done += std::size_t(n);
    text.resize(done);
  }
  ::close(fd);
  gchar** lines = g_strsplit(text.c_str(), "\n", -1);
  for (gchar** line = lines; *line; ++line) {
    gchar** fields = g_strsplit(*line, " ", -1);
    if (g_strv_length(fields) == 4 && (g_str_equal(fields[3], "yes") || g_str_equal(fields[3], "no")))
      answers.push_back({fields[0], fields[1], fields[2], g_str_equal(fields[3], "yes") != 0});
    g_strfreev(fields);
  }
  g_strfreev(lines);
  return answers;
}

// Keeps the answers of one set at one format first, with those of a few others; the file is
// replaced whole (a reader sees the old file or the new one) and only its user may read it. A
// failure (a full disk, a folder that cannot be written) keeps nothing on disk: the process keeps
// its answers all the same.
void WriteCache(const std::string& key, const std::string& format, const std::map<std::string, bool>& answers) {
  std::string text;
  for (const auto& [encoder, can] : answers) text += key + " " + format + " " + encoder + (can ? " yes\n" : " no\n");
  std::vector<std::string> places{key + " " + format};
  for (const CachedAnswer& a : ReadCache()) {
    const std::string slot = a.key + " " + a.format;
    if (std::find(places.begin(), places.end(), slot) == places.end()) {
      if (places.size() == kKeptSlots) continue;
      places.push_back(slot);
    }
    if (slot != places.front()) text += slot + " " + a.encoder + (a.can ? " yes\n" : " no\n");
  }
  const std::string file = CompressorCheckFile();
  gchar* folder = g_path_get_dirname(file.c_str());
  const bool made = g_mkdir_with_parents(folder, 0700) == 0;
  g_free(folder);
  if (!made) return;
  std::string temporary = file + ".XXXXXX";
  const int fd = g_mkstemp_full(temporary.data(), O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return;
  bool ok = true;
  for (std::size_t done = 0; ok && done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += std::size_t(n);
  }
  ok = ::close(fd) == 0 && ok && ::rename(temporary.c_str(), file.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
}

// Starts the check program in a process group of its own, which ends with this process; null
// pid when it could not start.
pid_t StartCheck(const std::string& program, const std::string& format, const std::vector<std::string>& encoders,
                 int output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output, 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int signal : {SIGCHLD, SIGPIPE, SIGTERM, SIGINT, SIGHUP}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  const std::string host = std::to_string(::getpid());
  std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>("--host"),
                          const_cast<char*>(host.c_str()), const_cast<char*>(format.c_str())};
  for (const std::string& e : encoders) argv.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    static std::once_flag told;
    std::call_once(told, [&] { g_warning("the compressor check %s could not start: %s", program.c_str(), g_strerror(spawned)); });
    return 0;
  }
  return pid;
}

// Asks the check program about the encoders at the format: the answers it gave before it ended,
// died or ran out of time. Then its whole process group is ended, whatever child of it still holds
// its output.
std::map<std::string, bool> AskCheck(const std::string& format, const std::vector<std::string>& encoders) {
  std::map<std::string, bool> answers;
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return answers;
  const pid_t pid = StartCheck(CheckProgram(), format, encoders, out[1]);
  ::close(out[1]);
  if (pid <= 0) {
    ::close(out[0]);
    return answers;
  }
  // The program's end is seen even when a child of it keeps the output open.
  const int ended = int(::syscall(SYS_pidfd_open, pid, 0));
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCheckLimitMs);
  for (bool open = true, exited = false; open;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p[2] = {{out[0], POLLIN, 0}, {ended, POLLIN, 0}};
    const int ready = ::poll(p, ended >= 0 && !exited ? 2 : 1, exited ? 0 : int(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;  // out of time, or the program ended and its output is read
    exited = exited || (p[1].revents & POLLIN);
    if (!(p[0].revents & (POLLIN | POLLHUP))) continue;
    char buffer[4096];
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n > 0) text.append(buffer, std::size_t(n));
    open = n > 0;
  }
  ::close(out[0]);
  if (ended >= 0) ::close(ended);
  ::kill(-pid, SIGKILL);  // the group, while its leader is not yet reaped (its number is not reused)
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  // Whole lines only: "yes ENCODER" or "no ENCODER", for an encoder asked about.
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string word = line.substr(0, space), encoder = line.substr(space + 1);
    if ((word == "yes" || word == "no") && std::find(encoders.begin(), encoders.end(), encoder) != encoders.end())
      answers[encoder] = word == "yes";
  }
  return answers;
}

std::chrono::milliseconds RetryAfter() {
  const char* hook = std::getenv("ORNIK_COMPRESSOR_CHECK_RETRY_MS");
  return std::chrono::milliseconds(hook && *hook ? std::atoi(hook) : kRetryAfterMs);
}

// The answers of one encoder set at one format, kept in the process whether or not the cache file
// could keep them, and when its check last ended without every answer.
struct Slot {
  std::map<std::string, bool> answers;
  std::optional<std::chrono::steady_clock::time_point> incomplete;
};

// The check's answers for the encoders at the format: those this process keeps, those the cache
// file keeps, and for the others the program's, which are then kept. One list at a time asks (a
// second waits for and takes the first's answers). Encoders whose check left them unanswered are
// not asked again for a while.
std::map<std::string, bool> CheckAnswers(const std::string& key, const std::string& format,
                                         const std::vector<std::string>& encoders) {
  static auto* asking = new std::mutex;
  static auto* kept = new std::map<std::string, Slot>;
  std::lock_guard lock(*asking);
  Slot& slot = (*kept)[key + " " + format];
  const auto unanswered = [&] {
    std::vector<std::string> missing;
    for (const std::string& e : encoders)
      if (!slot.answers.count(e)) missing.push_back(e);
    return missing;
  };
  if (unanswered().empty()) return slot.answers;
  for (const CachedAnswer& a : ReadCache())  // another process may have asked
    if (a.key == key && a.format == format) slot.answers.emplace(a.encoder, a.can);
  const std::vector<std::string> missing = unanswered();
  if (missing.empty()) return slot.answers;
  if (slot.incomplete && std::chrono::steady_clock::now() - *slot.incomplete < RetryAfter()) return slot.answers;
  const std::map<std::string, bool> asked = AskCheck(format, missing);
  if (asked.size() < missing.size()) slot.incomplete = std::chrono::steady_clock::now();
  else slot.incomplete.reset();
  if (asked.empty()) return slot.answers;
  slot.answers.insert(asked.begin(), asked.end());
  WriteCache(key, format, slot.answers);
  return slot.answers;
}

}  // namespace

std::string CompressorCheckFile() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const std::string folder = cache && cache[0] == '/' ? std::string(cache) : std::string(g_get_home_dir()) + "/.cache";
  return folder + "/ornik/compressor-check";
}

CompressorList::CompressorList(const GstCaps* format) {
  if (!EnsureGstInit()) return;
  const std::string text = CheckFormatText(format);
  CapsPtr checked(gst_caps_from_string(text.c_str()));
  const Installed installed = InstalledEncoders();
  // Only encoders whose caps take the format are checked at it; only those that record are listed.
  std::vector<std::string> candidates;
  for (const std::string& name : installed.encoders) {
    GstElementFactory* factory = gst_element_factory_find(name.c_str());
    if (factory && TakesFormat(factory, checked.get())) candidates.push_back(name);
    if (factory) gst_object_unref(factory);
  }
  const std::map<std::string, bool> answers = CheckAnswers(installed.key, text, candidates);
  for (const std::string& name : candidates) {
    const auto answer = answers.find(name);
    if (answer == answers.end() || !answer->second) continue;
    if (GstElementFactory* factory = gst_element_factory_find(name.c_str())) factories_.push_back(factory);
  }
}

CompressorList::~CompressorList() {
  for (GstElementFactory* f : factories_) gst_object_unref(f);
}

GstElementFactory* CompressorList::At(int index) const {
  return index >= 0 && index < Count() ? factories_[std::size_t(index)] : nullptr;
}

int CompressorList::IndexOf(const char* factoryName) const {
  for (std::size_t i = 0; i < factories_.size(); ++i)
    if (g_str_equal(GST_OBJECT_NAME(factories_[i]), factoryName)) return int(i);
  return -1;
}

QString CompressorList::Name(int index) const {
  GstElementFactory* factory = At(index);
  if (!factory) return {};
  const gchar* name = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
  return QString::fromUtf8(name ? name : GST_OBJECT_NAME(factory));
}

}  // namespace capture
