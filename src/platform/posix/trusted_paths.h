// The rule for a folder or file that the program writes into although it may not have made it (a
// log folder that was there already, a daily log or history file of an earlier run): it is not a
// symbolic link, it is what it claims to be (a folder; a regular file, not a FIFO or a device),
// it belongs to the user running the program or to root, and neither its group nor other users
// may write it. Another user who may write the folder could put a link or a file of their own in
// it; a file that belongs to another user is theirs to read.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Reasons, after "the folder PATH" or "the file".
inline constexpr std::string_view kIsALink = " is a symbolic link";
inline constexpr std::string_view kIsNotAFolder = " is not a folder";
inline constexpr std::string_view kIsNotARegularFile = " is not a regular file";
inline constexpr std::string_view kBelongsToAnotherUser = " belongs to another user (uid ";
inline constexpr std::string_view kWritableByOthers = " may be written by other users (mode ";

// Opens `folder` for openat, without following a link in its last component, and checks it.
// The descriptor (the caller closes it), or -1 with `reason` ("the folder /x is a symbolic link",
// or the system's reason when it cannot be opened).
int OpenTrustedFolder(const std::string& folder, std::string& reason);

// Checks a file opened with O_NOFOLLOW in a trusted folder: empty when the program may write
// it, else why not ("the file belongs to another user (uid 1000)").
std::string UntrustedFileReason(int fd);

// Opens (creating it owner-only when missing) the file `name` of the trusted folder `dirFd` for
// reading and writing, never through a link and never blocking on a FIFO; the file must pass
// UntrustedFileReason. -1 with `reason` (naming the file as `shown`) otherwise.
int OpenTrustedFileIn(int dirFd, const std::string& name, const std::string& shown,
                      std::string& reason);

}  // namespace tarnwick
