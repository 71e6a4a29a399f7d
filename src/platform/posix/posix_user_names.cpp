#include "platform/posix/posix_user_names.h"

#include <pwd.h>
#include <sys/types.h>

#include <cerrno>
#include <vector>

#include "common/text.h"

namespace tarnwick {
namespace {

// A user database entry is a few hundred bytes; a larger one is not taken.
constexpr size_t kEntryLimit = 16 * 1024;

std::string LookUp(int64_t uid) {
  std::vector<char> buffer(1024);
  struct passwd entry {};
  struct passwd* found = nullptr;
  for (;;) {
    const int rc =
        ::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE && buffer.size() < kEntryLimit) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    break;
  }
  if (found == nullptr || found->pw_name == nullptr || *found->pw_name == '\0') {
    return std::to_string(uid);
  }
  return PrintableText(found->pw_name);
}

}  // namespace

std::string PosixUserNames::UserName(int64_t uid) {
  if (uid < 0) return {};
  auto it = names_.find(uid);
  if (it == names_.end()) it = names_.emplace(uid, LookUp(uid)).first;
  return it->second;
}

}  // namespace tarnwick
