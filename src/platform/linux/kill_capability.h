// The capability to signal other users' processes (CAP_KILL). The headless program runs as a
// service that keeps it only while process termination is enabled.
#pragma once

namespace tarnwick {

// Gives up CAP_KILL for good: from the effective, permitted, inheritable and ambient sets, and
// from the bounding set where the process may change it. True when the process no longer holds
// it (also when it never did).
bool DropKillCapability();

}  // namespace tarnwick
