// The program's own files: settings files (they hold passwords), the daily log and its folder.
// Paths are UTF-8 text; each implementation converts them at this boundary (wide paths on
// Windows). Every file this service creates is readable and writable by its owner only from the
// moment it exists (mode 0600 / 0700 on POSIX; an explicit DACL for the current user, SYSTEM and
// Administrators on Windows), never narrowed afterwards.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick {

// Outcome of a file operation. `reason` is the system's own one-line text ("Permission denied",
// "No space left on device") or the rule a file or folder broke, empty on success.
struct FileResult {
  bool ok = false;
  std::string reason;
  // AppendFile: how many bytes of the content reached the file, also when the write failed
  // part-way (a disk that filled up in the middle of a line).
  size_t written = 0;

  static FileResult Success(size_t written = 0) { return {true, {}, written}; }
  static FileResult Failure(std::string why, size_t written = 0) {
    return {false, std::move(why), written};
  }
};

enum class FileReadStatus {
  Ok,          // `content` holds the file's first bytes, at most the limit
  Missing,     // no such file
  Unreadable,  // exists but could not be read (not a regular file, permission, I/O error)
};

struct FileReadResult {
  FileReadStatus status = FileReadStatus::Missing;
  std::string content;
  // The file was longer than the limit; `content` holds only its first `limit` bytes.
  bool truncated = false;
  // The system's reason when `status` is Unreadable.
  std::string reason;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  // Reads at most `limit` bytes of a regular file. Never blocks on a FIFO or a device: anything
  // but a regular file is Unreadable. The settings files it reads hold the kill rules and
  // passwords: a file is read only where no other user can have put it or a link in its place
  // (on POSIX systems the rule of AppendFile; on Windows a folder owned by the user, SYSTEM or the
  // Administrators that Everyone, Users and Authenticated Users may not write). Otherwise it is
  // Unreadable, and the reason says which rule was broken.
  virtual FileReadResult ReadFile(const std::string& path, size_t limit) = 0;

  // Replaces the file with `content` atomically: a temporary file beside it, created owner-only,
  // written and flushed, then put in place of the old one, in a folder that passes the rule of
  // ReadFile. On every failure the old file stays whole and no temporary file is left behind.
  virtual FileResult ReplaceFile(const std::string& path, std::string_view content) = 0;

  // Appends `content` to the file, creating it owner-only when it does not exist. A short write
  // (disk full) is a failure; `written` says how much of `content` reached the file either way.
  // On POSIX systems the file is written only where no other user can have put it: its folder is
  // a real folder (not a link), the folder and the file belong to the user running the program
  // (or to root) and nobody else may write them, and the file is a regular file, not a link.
  // Anything else is a failure whose reason says which rule was broken.
  virtual FileResult AppendFile(const std::string& path, std::string_view content) = 0;

  // Creates the folder (and missing parents) owner-only; success when it exists afterwards.
  // An existing folder keeps its permissions.
  virtual FileResult MakeFolder(const std::string& path) = 0;

  // Removes temporary files that ReplaceFile left beside `path` when a save was killed half-way.
  // Returns how many were removed.
  virtual int RemoveStaleTemporaries(const std::string& path) = 0;

  virtual bool Exists(const std::string& path) = 0;
};

}  // namespace tarnwick
