#include "platform/posix/trusted_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarnwick {
namespace {

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Empty when `info` may be trusted as `what` ("the folder /x", "the file"), else why not.
std::string Distrust(const struct stat& info, const std::string& what) {
  if (info.st_uid != ::geteuid() && info.st_uid != 0) {
    return what + std::string(kBelongsToAnotherUser) + std::to_string(info.st_uid) + ")";
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return what + std::string(kWritableByOthers) + Octal(info.st_mode) + ")";
  }
  return {};
}

}  // namespace

int OpenTrustedFolder(const std::string& folder, std::string& reason) {
  const std::string what = "the folder " + folder;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    struct stat info {};
    if ((error == ENOTDIR || error == ELOOP) && ::lstat(folder.c_str(), &info) == 0) {
      reason = what + std::string(S_ISLNK(info.st_mode) ? kIsALink : kIsNotAFolder);
    } else {
      reason = std::strerror(error);
    }
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    reason = std::strerror(errno);
  } else {
    reason = Distrust(info, what);
  }
  if (reason.empty()) return fd;
  ::close(fd);
  return -1;
}

std::string UntrustedFileReason(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return std::strerror(errno);
  if (!S_ISREG(info.st_mode)) return "the file" + std::string(kIsNotARegularFile);
  return Distrust(info, "the file");
}

int OpenTrustedFileIn(int dirFd, const std::string& name, const std::string& shown,
                      std::string& reason) {
  // O_NONBLOCK: a FIFO put in the file's place must not hang the open.
  const int fd =
      ::openat(dirFd, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) {
    const int error = errno;
    reason = "the file " + shown +
             (error == ELOOP ? std::string(kIsALink) : ": " + std::string(std::strerror(error)));
    return -1;
  }
  if (const std::string untrusted = UntrustedFileReason(fd); !untrusted.empty()) {
    ::close(fd);
    reason = untrusted + " (" + shown + ")";
    return -1;
  }
  return fd;
}

}  // namespace tarnwick
