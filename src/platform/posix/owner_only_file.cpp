#include "platform/posix/owner_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <streambuf>

namespace tarnwick {
namespace {

// Buffers the writes and hands them to the descriptor in large pieces.
class DescriptorBuffer final : public std::streambuf {
 public:
  explicit DescriptorBuffer(int fd) : fd_(fd) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  ~DescriptorBuffer() override {
    sync();
    ::close(fd_);
  }
  DescriptorBuffer(const DescriptorBuffer&) = delete;
  DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return Drain() ? 0 : -1; }

 private:
  bool Drain() {
    const char* next = pbase();
    while (next < pptr()) {
      const ssize_t n = ::write(fd_, next, static_cast<size_t>(pptr() - next));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      next += n;
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
  }

  int fd_;
  std::array<char, 64 * 1024> buffer_{};
};

class DescriptorStream final : public std::ostream {
 public:
  explicit DescriptorStream(int fd) : std::ostream(nullptr), buffer_(fd) { rdbuf(&buffer_); }

 private:
  DescriptorBuffer buffer_;
};

}  // namespace

std::unique_ptr<std::ostream> CreateOwnerOnlyFile(const std::string& path) {
  // Not emptied before it is checked; never waiting on a FIFO.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  struct stat st {};
  // Only a regular file of this user's is taken, and taken down to owner-only.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
      ::fchmod(fd, 0600) != 0 || ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<DescriptorStream>(fd);
}

}  // namespace tarnwick
