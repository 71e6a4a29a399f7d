#include "platform/linux/xdg_autostart.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tarnwick {
namespace {

constexpr const char* kEntryName = "tarnwick.desktop";

// An Exec value: a path with blanks or reserved characters goes in double quotes, with `"`, `` `
// ``,
// `$` and `\` escaped by a backslash; a "%" is doubled (field codes). Line breaks cannot be
// expressed and become blanks.
std::string QuotedExec(const std::string& path) {
  bool needsQuotes = false;
  std::string escaped;
  for (char c : path) {
    if (c == '\n' || c == '\r') c = ' ';
    if (std::strchr(" \t\"'\\><~|&;$*?#()`", c) != nullptr) needsQuotes = true;
    if (c == '"' || c == '`' || c == '$' || c == '\\') escaped += '\\';
    if (c == '%') escaped += '%';
    escaped += c;
  }
  if (!needsQuotes) return escaped;
  // Inside a desktop entry value a backslash is itself escaped once more.
  std::string value = "\"";
  for (char c : escaped) {
    if (c == '\\') value += '\\';
    value += c;
  }
  return value + "\"";
}

}  // namespace

XdgAutostart::XdgAutostart(IFileSystem& files, std::string configFolder, std::string program)
    : files_(files), configFolder_(std::move(configFolder)), program_(std::move(program)) {}

std::string XdgAutostart::EntryPath() const {
  return configFolder_ + "/autostart/" + kEntryName;
}

std::string XdgAutostart::EntryText() const {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Tarnwick system-load monitor\n"
         "Comment=Watches CPU and memory and sends alerts\n"
         "Exec=" +
         QuotedExec(program_) +
         "\n"
         "Icon=tarnwick\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool XdgAutostart::IsEnabled() {
  return !configFolder_.empty() && files_.Exists(EntryPath());
}

FileResult XdgAutostart::SetEnabled(bool on) {
  if (configFolder_.empty()) return FileResult::Failure("No home folder");
  if (!on) {
    if (::unlink(EntryPath().c_str()) != 0 && errno != ENOENT) {
      return FileResult::Failure(std::strerror(errno));
    }
    return FileResult::Success();
  }
  const FileResult folder = files_.MakeFolder(configFolder_ + "/autostart");
  if (!folder.ok) return folder;
  return files_.ReplaceFile(EntryPath(), EntryText());
}

std::string XdgConfigFolder() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    return config;
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/' && home[1] != 0) {
    return std::string(home) + "/.config";
  }
  return {};
}

}  // namespace tarnwick
