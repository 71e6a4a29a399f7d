// A security descriptor whose DACL grants full access to the current user, SYSTEM and the
// Administrators group and to no one else, and inherits nothing from the folder: what every file
// and folder holding settings, logs or the history is created with.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

namespace tarnwick::win {

class OwnerOnly {
 public:
  // `folder`: files and folders created inside it inherit the same three entries.
  explicit OwnerOnly(bool folder);
  OwnerOnly(const OwnerOnly&) = delete;
  OwnerOnly& operator=(const OwnerOnly&) = delete;

  // Null when the descriptor could not be built: then nothing is created at all.
  SECURITY_ATTRIBUTES* attributes() { return ok_ ? &attributes_ : nullptr; }

 private:
  bool CurrentUser();
  static bool Known(WELL_KNOWN_SID_TYPE type, std::vector<std::byte>& sid);

  std::vector<std::byte> user_, system_, admins_, acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
  bool ok_ = false;
};

}  // namespace tarnwick::win
