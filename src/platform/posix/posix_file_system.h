// The file service on POSIX systems: open(2) with O_CREAT|O_EXCL and mode 0600 for every new
// file, mkdir(2) with 0700 for new folders, rename(2) for the atomic replace, and reads, replaces
// and appends only in folders and of files that pass the rule of trusted_paths.h (openat from the
// folder, never following a link).
#pragma once

#include "platform/file_system.h"

namespace tarnwick {

class PosixFileSystem final : public IFileSystem {
 public:
  // Infix of the temporary files ReplaceFile creates beside a target ("setting.ini.tmp123").
  static constexpr std::string_view kTempInfix = ".tmp";

  FileReadResult ReadFile(const std::string& path, size_t limit) override;
  FileResult ReplaceFile(const std::string& path, std::string_view content) override;
  FileResult AppendFile(const std::string& path, std::string_view content) override;
  FileResult MakeFolder(const std::string& path) override;
  int RemoveStaleTemporaries(const std::string& path) override;
  bool Exists(const std::string& path) override;

  // Opens a file the user named for writing from its start (the history export): created
  // owner-only, or an existing regular file of the user's, emptied and made owner-only, since
  // it is about to hold what the owner-only history holds. A link is not followed, and a file of
  // another user is left untouched. The descriptor, or -1 with `reason`.
  static int OpenOwnerOnlyForWriting(const std::string& path, std::string& reason);
};

}  // namespace tarnwick
