// Small helpers shared by the /proc readers: whole-file reads with plain system calls and
// number parsing without locale or allocation.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick::proc {

// Reads up to `size` bytes of the file at `dirFd`/`path` (dirFd may be AT_FDCWD) with
// open/read/close; the number of bytes read, or -1 when the file cannot be opened or read.
// Stops at end of file or when the buffer is full.
inline ptrdiff_t ReadFile(int dirFd, const char* path, char* buffer, size_t size) {
  const int fd = ::openat(dirFd, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  size_t used = 0;
  while (used < size) {
    const ssize_t n = ::read(fd, buffer + used, size - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return -1;
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  ::close(fd);
  return static_cast<ptrdiff_t>(used);
}

// Reads the file with a single read(2): procfs files such as /proc/[pid]/stat hand over their
// whole text in one read when the buffer is large enough, which saves the read that would only
// report the end of the file. The number of bytes read, or -1.
inline ptrdiff_t ReadFileOnce(int dirFd, const char* path, char* buffer, size_t size) {
  const int fd = ::openat(dirFd, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  ssize_t n;
  do {
    n = ::read(fd, buffer, size);
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  return n;
}

// One pread(2) from the start of a descriptor held open: procfs hands over fresh figures with
// every read from offset 0. The number of bytes read, or -1; ESRCH once the process the file
// belongs to has been collected.
inline ptrdiff_t PreadOnce(int fd, char* buffer, size_t size) {
  ssize_t n;
  do {
    n = ::pread(fd, buffer, size, 0);
  } while (n < 0 && errno == EINTR);
  return n;
}

// A /proc file held open between reads: every read starts again at offset 0 (pread), which the
// kernel answers with fresh figures, and the cycle spares an open and a close. A file that
// cannot be opened is tried again at the next read; a failed read closes it for a fresh start.
class HeldFile {
 public:
  explicit HeldFile(std::string path) : path_(std::move(path)) {}
  ~HeldFile() { Close(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // Up to `size` bytes from the start of the file; the number read, or -1. A short read is the
  // end of the file (procfs hands over its text whole when the buffer holds it).
  ptrdiff_t Read(char* buffer, size_t size) {
    if (fd_ < 0) fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return -1;
    size_t used = 0;
    while (used < size) {
      const size_t asked = size - used;
      const ssize_t n = ::pread(fd_, buffer + used, asked, static_cast<off_t>(used));
      if (n < 0) {
        if (errno == EINTR) continue;
        Close();
        return -1;
      }
      used += static_cast<size_t>(n);
      if (static_cast<size_t>(n) < asked) break;
    }
    return static_cast<ptrdiff_t>(used);
  }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  std::string path_;
  int fd_ = -1;
};

// Parses an unsigned decimal number at `pos`, advancing it past the digits; false when no digit
// stands there or the value overflows 64 bits.
inline bool ParseU64(std::string_view text, size_t& pos, uint64_t& value) {
  const size_t start = pos;
  uint64_t v = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    const auto digit = static_cast<uint64_t>(text[pos] - '0');
    if (v > (UINT64_MAX - digit) / 10) return false;
    v = v * 10 + digit;
    ++pos;
  }
  if (pos == start) return false;
  value = v;
  return true;
}

// Skips blanks (spaces and tabs) at `pos`.
inline void SkipBlanks(std::string_view text, size_t& pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
}

}  // namespace tarnwick::proc
