// The mark a running tarnwickd leaves in its settings folder, so that `tarnwickd --set` can say
// that the new settings reach it. It is the file "tarnwickd.pid": owner-only, holding the pid in
// decimal, and locked while held (flock on POSIX; on Windows a handle that shares no writing and
// deletes the file when closed). The lock, not the file, tells that the process runs: a file left
// by a killed process is stale, and the system released its lock.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kInstanceMarkerFileName = "tarnwickd.pid";
// Reason of HoldInstanceMarker when another process holds the marker, followed by its pid and ")".
inline constexpr std::string_view kInstanceMarkerHeld =
    "another tarnwickd runs on this settings folder (pid ";

// Held by a running tarnwickd for its lifetime: "tarnwickd.pid" in the settings folder,
// owner-only, holding the pid, locked (flock / a Windows handle without share-write) while held.
// Destroying it removes the file.
class HeldInstanceMarker {
 public:
  virtual ~HeldInstanceMarker() = default;
};

// Null, with `reason`, when it cannot be held (another process holds it, untrusted folder).
std::unique_ptr<HeldInstanceMarker> HoldInstanceMarker(const std::string& folder,
                                                       std::string& reason);

// The pid of a running process that holds the folder's marker, or 0 when none does
// (a stale file left by a killed process is not a running one). A link in the file's place, a
// folder that cannot be looked at or a file this user may not read also give 0.
long RunningInstance(const std::string& folder);

}  // namespace tarnwick
