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

// How long a list waits for the check at the most; an encoder not answered by then stays listed.
constexpr int kCheckLimitMs = 60000;
// How long after a check that ended without every answer (it ran out of time, it died) the same
// encoder set is asked again: the lists meanwhile keep its unanswered encoders without waiting.
// ORNIK_COMPRESSOR_CHECK_RETRY_MS sets it for tests.
constexpr int kRetryAfterMs = 5 * 60 * 1000;
// The format a list without a live graph is made for: the preview's, which a camera is asked for.
constexpr const char* kPreviewFormat = "video/x-raw,format=I420,width=320,height=240,framerate=30/1";
// How many encoder sets' answers the cache keeps (programs with other plugin paths share it).
constexpr std::size_t kKeptSets = 8;

// A plugin's file as the registry knows it (nothing is loaded): its path, version, size and time.
std::string PluginFile(GstPlugin* plugin) {
  // The file itself, whatever link the registry found it through (a folder of links made for one
  // run is the same plugins).
  const gchar* path = gst_plugin_get_filename(plugin);
  char* file = path ? ::realpath(path, nullptr) : nullptr;
  struct stat st {};
  if (file && ::stat(file, &st) != 0) st = {};
  gchar* text = g_strdup_printf("%s %s %s %lld %lld\n", gst_plugin_get_name(plugin), file ? file : "-",
                                gst_plugin_get_version(plugin), static_cast<long long>(st.st_size),
                                static_cast<long long>(st.st_mtime));
  std::string line = text;
  g_free(text);
  std::free(file);
  return line;
}

// The encoders installed now whose output the AVI multiplexer takes (by factory name, sorted), and
// the key of their check: their names, those of the video decoders their recordings are played
// back with, and the plugin files of both, so that an encoder or a decoder installed, removed or
// updated is checked again. One walk over the registry's element factories.
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
  std::string text;
  for (const std::string& line : lines) text += line;
  for (const auto& [name, file] : plugins) text += file;
  gchar* sum = g_compute_checksum_for_string(G_CHECKSUM_SHA256, text.c_str(), -1);
  installed.key = sum;
  g_free(sum);
  return installed;
}

// The cache file: lines "KEY ENCODER yes|no", the latest set's first.
struct CachedAnswer {
  std::string key, encoder;
  bool can = false;
};

std::vector<CachedAnswer> ReadCache() {
  std::vector<CachedAnswer> answers;
  gchar* text = nullptr;
  if (!g_file_get_contents(CompressorCheckFile().c_str(), &text, nullptr, nullptr)) return answers;
  gchar** lines = g_strsplit(text, "\n", -1);
  for (gchar** line = lines; *line; ++line) {
    gchar** fields = g_strsplit(*line, " ", -1);
    if (g_strv_length(fields) == 3 && (g_str_equal(fields[2], "yes") || g_str_equal(fields[2], "no")))
      answers.push_back({fields[0], fields[1], g_str_equal(fields[2], "yes") != 0});
    g_strfreev(fields);
  }
  g_strfreev(lines);
  g_free(text);
  return answers;
}

// Keeps the set's answers first, with those of a few other sets; the file is replaced whole (a
// reader sees the old file or the new one) and only its user may read it. A failure (a full disk)
// keeps nothing: the answers are asked for again.
void WriteCache(const std::string& key, const std::map<std::string, bool>& answers) {
  std::string text;
  for (const auto& [encoder, can] : answers) text += key + " " + encoder + (can ? " yes\n" : " no\n");
  std::vector<std::string> keys{key};
  for (const CachedAnswer& a : ReadCache()) {
    if (std::find(keys.begin(), keys.end(), a.key) == keys.end()) {
      if (keys.size() == kKeptSets) continue;
      keys.push_back(a.key);
    }
    if (a.key != key) text += a.key + " " + a.encoder + (a.can ? " yes\n" : " no\n");
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

// Asks the check program about the encoders: the answers it gave before it ended, died or ran out
// of time (then it is ended).
std::map<std::string, bool> AskCheck(const std::vector<std::string>& encoders) {
  std::map<std::string, bool> answers;
  const std::string program = CheckProgram();
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return answers;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& e : encoders) argv.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawned != 0) {
    ::close(out[0]);
    static std::once_flag told;
    std::call_once(told, [&] { g_warning("the compressor check %s could not start: %s", program.c_str(), g_strerror(spawned)); });
    return answers;
  }
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCheckLimitMs);
  for (bool open = true; open;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{out[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, int(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char buffer[4096];
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n > 0) text.append(buffer, std::size_t(n));
    open = n > 0;
  }
  ::close(out[0]);
  ::kill(pid, SIGKILL);  // ended or not: it has nothing more to say
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

// The check's answers for the encoders installed: those kept, and for the others the program's,
// which are then kept. One list at a time asks (a second waits for and reads the first's answers).
// A set whose check left encoders unanswered is not asked again for a while.
std::map<std::string, bool> CheckAnswers(const Installed& installed) {
  static auto* asking = new std::mutex;
  static auto* incomplete = new std::map<std::string, std::chrono::steady_clock::time_point>;
  std::lock_guard lock(*asking);
  std::map<std::string, bool> answers;
  for (const CachedAnswer& a : ReadCache())
    if (a.key == installed.key) answers[a.encoder] = a.can;
  std::vector<std::string> unanswered;
  for (const std::string& e : installed.encoders)
    if (!answers.count(e)) unanswered.push_back(e);
  if (unanswered.empty()) return answers;
  const auto now = std::chrono::steady_clock::now();
  const auto last = incomplete->find(installed.key);
  if (last != incomplete->end() && now - last->second < RetryAfter()) return answers;
  const std::map<std::string, bool> asked = AskCheck(unanswered);
  if (asked.size() < unanswered.size()) (*incomplete)[installed.key] = std::chrono::steady_clock::now();
  else incomplete->erase(installed.key);
  if (asked.empty()) return answers;
  answers.insert(asked.begin(), asked.end());
  WriteCache(installed.key, answers);
  return answers;
}

}  // namespace

std::string CompressorCheckFile() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const std::string folder = cache && cache[0] == '/' ? std::string(cache) : std::string(g_get_home_dir()) + "/.cache";
  return folder + "/ornik/compressor-check";
}

CompressorList::CompressorList(const GstCaps* format) {
  if (!EnsureGstInit()) return;
  CapsPtr preview(format ? nullptr : gst_caps_from_string(kPreviewFormat));
  if (!format) format = preview.get();
  const Installed installed = InstalledEncoders();
  const std::map<std::string, bool> answers = CheckAnswers(installed);
  for (const std::string& name : installed.encoders) {
    const auto answer = answers.find(name);
    if (answer != answers.end() && !answer->second) continue;  // unanswered ones stay listed
    GstElementFactory* factory = gst_element_factory_find(name.c_str());
    if (factory && TakesFormat(factory, format)) factories_.push_back(factory);
    else if (factory) gst_object_unref(factory);
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
