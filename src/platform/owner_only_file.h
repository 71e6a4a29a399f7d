// A file written as a stream and readable by its owner only from the moment it exists: an export
// of the usage history names processes and users.
#pragma once

#include <memory>
#include <ostream>
#include <string>

namespace tarnwick {

// Opens `path` for writing from its start, owner-only from the moment it exists: mode 0600 on
// POSIX (an existing regular file of this user's is emptied and taken down to 0600; a link, a
// file of another user or anything but a regular file is refused); on Windows the owner-only DACL
// of the current user, SYSTEM and Administrators (an existing file, which the save dialog asked
// about, is deleted and made anew, so that it never keeps a DACL of its own; a link is removed,
// never followed). Null when the file cannot be made; a failed write or flush sets the stream's
// badbit.
std::unique_ptr<std::ostream> CreateOwnerOnlyFile(const std::string& path);

}  // namespace tarnwick
