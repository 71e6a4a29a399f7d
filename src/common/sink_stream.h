// An output stream that buffers what is written and hands it to a sink in large pieces, for
// files that must be opened by hand (owner-only from their creation) rather than by std::ofstream.
#pragma once

#include <array>
#include <cstddef>
#include <ostream>
#include <streambuf>
#include <utility>

namespace tarnwick {

// `Sink` owns the open file and releases it when destroyed, after the buffer's last flush; its
// `std::ptrdiff_t Write(const char* data, size_t size)` writes some of `data` and returns how
// many bytes it wrote, 0 or less on failure. A failed write sets the stream's badbit.
template <class Sink>
class SinkBuffer final : public std::streambuf {
 public:
  explicit SinkBuffer(Sink sink) : sink_(std::move(sink)) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  ~SinkBuffer() override { sync(); }
  SinkBuffer(const SinkBuffer&) = delete;
  SinkBuffer& operator=(const SinkBuffer&) = delete;

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
      const std::ptrdiff_t n = sink_.Write(next, static_cast<size_t>(pptr() - next));
      if (n <= 0) return false;
      next += n;
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
  }

  Sink sink_;
  std::array<char, 64 * 1024> buffer_{};
};

template <class Sink>
class SinkStream final : public std::ostream {
 public:
  explicit SinkStream(Sink sink) : std::ostream(nullptr), buffer_(std::move(sink)) {
    rdbuf(&buffer_);
  }

 private:
  SinkBuffer<Sink> buffer_;
};

}  // namespace tarnwick
