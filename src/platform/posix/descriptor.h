// A file descriptor closed when its scope ends.
#pragma once

#include <unistd.h>

namespace tarnwick {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Hands the descriptor over; it is no longer closed here.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes now and reports the close's own failure (NFS and some disks report a full disk here).
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

}  // namespace tarnwick
