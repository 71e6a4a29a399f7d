// The file service on Windows: wide paths from UTF-8, an explicit protected DACL (the current user,
// SYSTEM and Administrators, nothing inherited) on every file and folder it creates, CREATE_NEW
// for the temporary file, ReplaceFileW to put it in place of an existing file (it works while
// another process holds the file open with delete sharing, where a rename fails).
#pragma once

#include <string_view>

#include "platform/file_system.h"

namespace tarnwick {

class WindowsFileSystem final : public IFileSystem {
 public:
  // Infix of the temporary and backup files ReplaceFile creates beside a target
  // ("setting.ini.tmp123").
  static constexpr std::string_view kTempInfix = ".tmp";

  FileReadResult ReadFile(const std::string& path, size_t limit) override;
  FileResult ReplaceFile(const std::string& path, std::string_view content) override;
  FileResult AppendFile(const std::string& path, std::string_view content) override;
  FileResult MakeFolder(const std::string& path) override;
  int RemoveStaleTemporaries(const std::string& path) override;
  bool Exists(const std::string& path) override;
};

}  // namespace tarnwick
