// The names of the users that own processes.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

class IUserNames {
 public:
  virtual ~IUserNames() = default;
  // The account name of the user id (ProcessInfo::uid), shown as plain text; the number itself
  // when the system knows no name for it, and empty for -1 (no user id on this platform).
  virtual std::string UserName(int64_t uid) = 0;
};

}  // namespace tarnwick
