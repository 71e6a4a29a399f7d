// User names from the system's user database (getpwuid_r, which may ask a directory service),
// each user id looked up once per run.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/user_names.h"

namespace tarnwick {

class PosixUserNames final : public IUserNames {
 public:
  std::string UserName(int64_t uid) override;

 private:
  std::unordered_map<int64_t, std::string> names_;
};

}  // namespace tarnwick
