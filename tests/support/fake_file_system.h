// The file service on the test's own temporary folder, with failures on demand: an unreadable
// file, a replace or append that fails with the system's reason, a disk that fills up.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <system_error>

#include "platform/file_system.h"

namespace tarnwick::testing {

class FakeFileSystem final : public IFileSystem {
 public:
  std::map<std::string, std::string> unreadable;    // path -> reason of ReadFile
  std::map<std::string, std::string> replaceFails;  // path -> reason of ReplaceFile
  std::optional<std::string> appendFails;           // reason of every AppendFile while set
  // Bytes the disk still takes while set: an append past them writes what fits and fails.
  std::optional<size_t> appendRoom;
  int replaces = 0;
  int appends = 0;
  int staleCleanups = 0;

  FileReadResult ReadFile(const std::string& path, size_t limit) override {
    FileReadResult result;
    if (const auto it = unreadable.find(path); it != unreadable.end()) {
      result.status = FileReadStatus::Unreadable;
      result.reason = it->second;
      return result;
    }
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return result;
    if (!std::filesystem::is_regular_file(path, error)) {
      result.status = FileReadStatus::Unreadable;
      result.reason = "Is a directory";
      return result;
    }
    std::ifstream in(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    result.status = FileReadStatus::Ok;
    result.truncated = content.size() > limit;
    if (result.truncated) content.resize(limit);
    result.content = std::move(content);
    return result;
  }

  FileResult ReplaceFile(const std::string& path, std::string_view content) override {
    ++replaces;
    if (const auto it = replaceFails.find(path); it != replaceFails.end()) {
      return FileResult::Failure(it->second);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return out.good() ? FileResult::Success() : FileResult::Failure("cannot write");
  }

  FileResult AppendFile(const std::string& path, std::string_view content) override {
    ++appends;
    if (appendFails) return FileResult::Failure(*appendFails);
    const size_t fits = appendRoom ? std::min(*appendRoom, content.size()) : content.size();
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(content.data(), static_cast<std::streamsize>(fits));
    if (!out.good()) return FileResult::Failure("cannot write");
    if (appendRoom) *appendRoom -= fits;
    if (fits < content.size()) return FileResult::Failure("No space left on device", fits);
    return FileResult::Success(fits);
  }

  FileResult MakeFolder(const std::string& path) override {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error) ? FileResult::Success()
                                                      : FileResult::Failure("cannot make");
  }

  int RemoveStaleTemporaries(const std::string&) override {
    ++staleCleanups;
    return 0;
  }

  bool Exists(const std::string& path) override {
    std::error_code error;
    return std::filesystem::exists(path, error);
  }
};

}  // namespace tarnwick::testing
