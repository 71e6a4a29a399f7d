// A file written as a stream and readable by its owner only from the moment it exists: an export
// of the usage history names processes and users.
#pragma once

#include <memory>
#include <ostream>
#include <string>

namespace tarnwick {

// Creates the file (mode 0600) or empties an existing one and takes its permissions down to
// 0600, never through a symbolic link. Null when it cannot be opened; a failed write or flush
// sets the stream's badbit.
std::unique_ptr<std::ostream> CreateOwnerOnlyFile(const std::string& path);

}  // namespace tarnwick
