// The rule for a folder whose settings files the program reads and replaces although it may not
// have made it: it is not a link (a symbolic link or junction), it belongs to the user running the
// program, to SYSTEM or to the Administrators (or TrustedInstaller, which owns what Windows
// installs), and Everyone, Users and Authenticated Users may not write into it. Another user who
// could would put a file of their own there, kill rules and passwords included.
#pragma once

#include <windows.h>

#include <string>

namespace tarnwick::win {

// Empty when the folder may be trusted, else why not ("the folder C:\x may be written by other
// users (Users)"); the system's reason when it cannot be looked at. A folder that does not exist
// is trusted: nothing is read from it, and the program creates it owner-only.
std::string UntrustedFolderReason(const std::wstring& folder, const std::string& shown);

// For a file opened with FILE_FLAG_OPEN_REPARSE_POINT in such a folder: empty when it is a plain
// file, "the file X is a link or a folder" when it is not, or the system's reason when it cannot
// be looked at.
std::string LinkOrFolderReason(HANDLE file, const std::string& shown);

}  // namespace tarnwick::win
