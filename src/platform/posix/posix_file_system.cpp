#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "platform/posix/descriptor.h"
#include "platform/posix/trusted_paths.h"

namespace tarnwick {
namespace {

constexpr mode_t kOwnerFile = S_IRUSR | S_IWUSR;
constexpr mode_t kOwnerFolder = S_IRWXU;
constexpr int kTempNameAttempts = 16;

std::string Reason(int error) {
  return std::strerror(error);
}

// Writes all of `content`, retrying short writes; the errno of the failure, or 0. `done` counts
// the bytes that reached the file.
int WriteAll(int fd, std::string_view content, size_t& done) {
  done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    done += static_cast<size_t>(n);
  }
  return 0;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The folder of a settings file, opened under the rule of trusted_paths.h; -1 with `reason`, or
// with `missing` set when there is no such folder.
int OpenSettingsFolder(const std::string& path, std::string& reason, bool& missing) {
  const std::string folder = FolderOf(path);
  struct stat info {};
  missing = ::lstat(folder.c_str(), &info) != 0 && errno == ENOENT;
  if (missing) return -1;
  return OpenTrustedFolder(folder, reason);
}

// Opens `name` in a trusted folder without following a link, and checks it under the rule of
// trusted_paths.h. O_NONBLOCK: a FIFO put in place of the file fails at once instead of waiting
// for the other end. The descriptor, or -1 with `reason` and `error`, the open's errno (0 when the
// file was opened but is not to be trusted).
int OpenTrustedFile(int folderFd, const std::string& name, int flags, std::string& reason,
                    int& error) {
  error = 0;
  const int fd = ::openat(folderFd, name.c_str(),
                          flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, kOwnerFile);
  if (fd < 0) {
    error = errno;
    reason = error == ELOOP ? "the file" + std::string(kIsALink) : Reason(error);
    return -1;
  }
  reason = UntrustedFileReason(fd);
  if (reason.empty()) return fd;
  ::close(fd);
  return -1;
}

}  // namespace

FileReadResult PosixFileSystem::ReadFile(const std::string& path, size_t limit) {
  FileReadResult result;
  // Only from a folder no other user can have put a file or a link into: a file of another user
  // could say anything, a link could lead to any file root may read.
  std::string reason;
  bool missing = false;
  const int folderFd = OpenSettingsFolder(path, reason, missing);
  if (folderFd < 0) {
    if (missing) return result;
    result.status = FileReadStatus::Unreadable;
    result.reason = reason;
    return result;
  }
  Descriptor folder(folderFd);
  int error = 0;
  const int fd = OpenTrustedFile(folderFd, NameOf(path), O_RDONLY, reason, error);
  if (fd < 0) {
    if (error == ENOENT || error == ENOTDIR) return result;
    result.status = FileReadStatus::Unreadable;
    result.reason = reason;
    return result;
  }
  Descriptor file(fd);
  // One byte past the limit tells a file of exactly `limit` bytes from a longer one.
  std::string content(limit + 1, '\0');
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::read(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      result.status = FileReadStatus::Unreadable;
      result.reason = Reason(errno);
      return result;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  result.truncated = done > limit;
  content.resize(result.truncated ? limit : done);
  result.status = FileReadStatus::Ok;
  result.content = std::move(content);
  return result;
}

FileResult PosixFileSystem::ReplaceFile(const std::string& path, std::string_view content) {
  static std::atomic<unsigned long long> counter{0};
  std::string reason;
  bool missing = false;
  const int folderFd = OpenSettingsFolder(path, reason, missing);
  if (folderFd < 0) return FileResult::Failure(missing ? Reason(ENOENT) : reason);
  Descriptor folder(folderFd);
  const std::string name = NameOf(path);
  const auto ticks =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::string temp;
  int fd = -1;
  int error = 0;
  for (int attempt = 0; attempt < kTempNameAttempts && fd < 0; ++attempt) {
    temp = name + std::string(kTempInfix) + std::to_string(ticks + counter.fetch_add(1));
    // Created owner-only: no other user can open it between its creation and the rename.
    fd = ::openat(folderFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                  kOwnerFile);
    error = errno;
    if (fd < 0 && error != EEXIST) break;
  }
  if (fd < 0) return FileResult::Failure(Reason(error));
  Descriptor file(fd);
  size_t written = 0;
  error = WriteAll(fd, content, written);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (file.Close() != 0 && error == 0) error = errno;
  // Within the folder it was checked as: a link in its place is replaced, never followed.
  if (error == 0 && ::renameat(folderFd, temp.c_str(), folderFd, name.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlinkat(folderFd, temp.c_str(), 0);
    return FileResult::Failure(Reason(error));
  }
  return FileResult::Success();
}

FileResult PosixFileSystem::AppendFile(const std::string& path, std::string_view content) {
  std::string reason;
  const int folderFd = OpenTrustedFolder(FolderOf(path), reason);
  if (folderFd < 0) return FileResult::Failure(reason);
  Descriptor folder(folderFd);
  int error = 0;
  const int fd =
      OpenTrustedFile(folderFd, NameOf(path), O_WRONLY | O_APPEND | O_CREAT, reason, error);
  if (fd < 0) return FileResult::Failure(reason);
  Descriptor file(fd);
  size_t written = 0;
  error = WriteAll(fd, content, written);
  if (file.Close() != 0 && error == 0) error = errno;
  if (error != 0) return FileResult::Failure(Reason(error), written);
  return FileResult::Success(written);
}

int PosixFileSystem::OpenOwnerOnlyForWriting(const std::string& path, std::string& reason) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY,
             kOwnerFile);
  if (fd < 0) {
    const int error = errno;
    reason = error == ELOOP ? "the file" + std::string(kIsALink) : Reason(error);
    return -1;
  }
  Descriptor file(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    reason = Reason(errno);
  } else if (!S_ISREG(info.st_mode)) {
    reason = "the file" + std::string(kIsNotARegularFile);
  } else if (info.st_uid != ::geteuid()) {
    reason = "the file" + std::string(kBelongsToAnotherUser) + std::to_string(info.st_uid) + ")";
  } else if (::fchmod(fd, kOwnerFile) != 0 || ::ftruncate(fd, 0) != 0) {
    reason = Reason(errno);
  } else {
    return file.Release();
  }
  return -1;
}

FileResult PosixFileSystem::MakeFolder(const std::string& path) {
  if (path.empty()) return FileResult::Failure(Reason(ENOENT));
  // Parents first, each owner-only when this call creates it.
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string parent = path.substr(0, slash);
    if (::mkdir(parent.c_str(), kOwnerFolder) != 0 && errno != EEXIST) {
      return FileResult::Failure(Reason(errno));
    }
  }
  if (::mkdir(path.c_str(), kOwnerFolder) != 0 && errno != EEXIST) {
    return FileResult::Failure(Reason(errno));
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return FileResult::Failure(Reason(errno));
  if (!S_ISDIR(info.st_mode)) return FileResult::Failure(Reason(ENOTDIR));
  return FileResult::Success();
}

int PosixFileSystem::RemoveStaleTemporaries(const std::string& path) {
  // Only in a folder of this user's (or root's) that nobody else may write.
  std::string reason;
  bool missing = false;
  const int folderFd = OpenSettingsFolder(path, reason, missing);
  if (folderFd < 0) return 0;
  DIR* dir = ::fdopendir(folderFd);
  if (dir == nullptr) {
    ::close(folderFd);
    return 0;
  }
  const std::string prefix = NameOf(path) + std::string(kTempInfix);
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
    if (!AllDigits(name.substr(prefix.size()))) continue;
    if (::unlinkat(::dirfd(dir), std::string(name).c_str(), 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

bool PosixFileSystem::Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace tarnwick
