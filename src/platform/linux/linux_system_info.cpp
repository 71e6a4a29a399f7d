#include "platform/linux/linux_system_info.h"

#include <pwd.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "domain/settings_location.h"

namespace tarnwick {
namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int LinuxSystemInfo::ProcessorCount() {
  // A fixed cpu_set_t holds 1024 processors; grow a dynamic set for bigger machines.
  for (int size = CPU_SETSIZE; size <= 64 * 1024; size *= 2) {
    cpu_set_t* set = CPU_ALLOC(size);
    if (set == nullptr) break;
    const size_t bytes = CPU_ALLOC_SIZE(size);
    CPU_ZERO_S(bytes, set);
    if (::sched_getaffinity(0, bytes, set) == 0) {
      const int count = CPU_COUNT_S(bytes, set);
      CPU_FREE(set);
      return count > 0 ? count : 1;
    }
    const int error = errno;
    CPU_FREE(set);
    if (error != EINVAL) break;
  }
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int>(online) : 1;
}

std::string LinuxSystemInfo::ComputerName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name) != 0) return {};
  name[HOST_NAME_MAX] = '\0';
  return name;
}

std::string LinuxSystemInfo::ProgramFolder() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return ".";
    if (static_cast<size_t>(n) < buffer.size()) {
      std::string path(buffer.data(), static_cast<size_t>(n));
      const size_t slash = path.rfind('/');
      if (slash == std::string::npos) return ".";
      if (slash == 0) return "/";
      return path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string LinuxSystemInfo::HomeFolder() {
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr && *env != '\0') {
    home = env;
  } else {
    std::vector<char> buffer(16 * 1024);
    struct passwd entry {};
    struct passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
        result != nullptr && result->pw_dir != nullptr) {
      home = result->pw_dir;
    }
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  if (home == "/") home.clear();
  return home;
}

std::string LinuxSystemInfo::LogFolder() {
  if (!logFolder_.empty()) return logFolder_;
  return HomeFolder() + "/monitor_log";
}

std::string LinuxSystemInfo::SettingsFolder() {
  if (!settingsFolder_.empty()) return settingsFolder_;
  SettingsPlaceFacts facts;
  facts.programFolder = ProgramFolder();
  // /usr belongs to the package manager even for root, who may write there.
  const bool system = facts.programFolder == "/usr" || facts.programFolder.rfind("/usr/", 0) == 0;
  facts.programFolderWritable = !system && ::access(facts.programFolder.c_str(), W_OK) == 0;
  if (const char* env = std::getenv("XDG_CONFIG_HOME"); env != nullptr) facts.configHome = env;
  facts.home = HomeFolder();
  return ChooseSettingsFolder(facts);
}

bool LinuxSystemInfo::EnsureFolder(const std::string& path) {
  if (path.empty()) return false;
  if (IsFolder(path)) return true;
  // Create every missing parent in turn, from the root down.
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    const std::string part = path.substr(0, pos);
    if (part.empty()) continue;
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) break;
  }
  return IsFolder(path);
}

void LinuxSystemInfo::RaisePriority() {
  // Linux keeps a nice value per thread: `who` 0 is the calling thread, the process id its main
  // thread (threads created later inherit the value). Without CAP_SYS_NICE both are refused and
  // the program runs at its normal priority.
  (void)::setpriority(PRIO_PROCESS, 0, -10);
  const auto tid = static_cast<pid_t>(::syscall(SYS_gettid));
  if (tid != ::getpid()) (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()), -10);
}

int LinuxSystemInfo::OwnProcessId() {
  return static_cast<int>(::getpid());
}

}  // namespace tarnwick
