// The state of the web service account for the run; never stored.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

struct ServiceSession {
  bool loggedIn = false;    // the last login succeeded
  std::string apiId;        // from the last accepted login reply, lower case
  std::string reloginFlag;  // "1" asks for a fresh login every fifth midnight
  int32_t requestSeq = 0;   // makes request tags unique; wraps to 0 after 30000
  // The remaining credits as the service last reported them ("0" while logged out).
  std::string credits = "0";
};

}  // namespace tarnwick
