// A file written as a stream and readable by its owner only from the moment it exists: an export
// of the usage history names processes and users.
#pragma once

#include <memory>
#include <ostream>
#include <string>

namespace tarnwick {

// Creates the file with the owner-only DACL (the current user, SYSTEM, Administrators). An
// existing file (the save dialog asked before it is replaced) is deleted first and made anew, so
// that it never keeps a DACL of its own; a link is removed, never followed. Null when the file
// cannot be made; a failed write or flush sets the stream's badbit.
std::unique_ptr<std::ostream> CreateOwnerOnlyFile(const std::string& path);

}  // namespace tarnwick
