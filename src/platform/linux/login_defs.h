// The range of uids that belong to people, from the shadow suite's /etc/login.defs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// Login accounts have real uids in [min, max]; every other uid (root, system accounts, nobody,
// systemd's dynamic users) runs services.
struct LoginUidRange {
  static constexpr uint64_t kDefaultMin = 1000;
  static constexpr uint64_t kDefaultMax = 60000;
  uint64_t min = kDefaultMin;
  uint64_t max = kDefaultMax;

  bool IsLoginUid(uint64_t uid) const { return uid >= min && uid <= max; }
};

// UID_MIN and UID_MAX of a login.defs text: "NAME value" lines, "#" comments, blanks and tabs
// between. A value that is missing or not a decimal number keeps its default; a range whose
// minimum lies above its maximum gives both defaults.
LoginUidRange ParseLoginDefs(std::string_view text);

// Reads the file (at most its first 64 KiB); the defaults when it cannot be read.
LoginUidRange ReadLoginDefs(const std::string& path);

}  // namespace tarnwick
