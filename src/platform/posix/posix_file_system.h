// The file service on POSIX systems: open(2) with O_CREAT|O_EXCL and mode 0600 for every new
// file, mkdir(2) with 0700 for new folders, rename(2) for the atomic replace.
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
};

}  // namespace tarnwick
