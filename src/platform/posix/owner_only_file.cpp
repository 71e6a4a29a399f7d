#include "platform/owner_only_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <utility>

#include "common/sink_stream.h"
#include "platform/posix/posix_file_system.h"

namespace tarnwick {
namespace {

// An open descriptor, closed with the stream.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }

  std::ptrdiff_t Write(const char* data, size_t size) {
    for (;;) {
      const ssize_t n = ::write(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      return n;
    }
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<std::ostream> CreateOwnerOnlyFile(const std::string& path) {
  std::string reason;
  const int fd = PosixFileSystem::OpenOwnerOnlyForWriting(path, reason);
  if (fd < 0) return nullptr;
  return std::make_unique<SinkStream<Descriptor>>(Descriptor(fd));
}

}  // namespace tarnwick
