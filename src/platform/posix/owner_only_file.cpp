#include "platform/owner_only_file.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <streambuf>

#include "platform/posix/posix_file_system.h"

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
  std::string reason;
  const int fd = PosixFileSystem::OpenOwnerOnlyForWriting(path, reason);
  if (fd < 0) return nullptr;
  return std::make_unique<DescriptorStream>(fd);
}

}  // namespace tarnwick
