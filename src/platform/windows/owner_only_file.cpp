#include "platform/owner_only_file.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <streambuf>

#include "platform/windows/handle.h"
#include "platform/windows/owner_only.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

// Buffers the writes and hands them to the file in large pieces.
class HandleBuffer final : public std::streambuf {
 public:
  explicit HandleBuffer(win::Handle file) : file_(std::move(file)) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  ~HandleBuffer() override { sync(); }
  HandleBuffer(const HandleBuffer&) = delete;
  HandleBuffer& operator=(const HandleBuffer&) = delete;

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
      const auto chunk = static_cast<DWORD>(std::min<std::ptrdiff_t>(pptr() - next, 1 << 20));
      DWORD written = 0;
      if (!WriteFile(file_.get(), next, chunk, &written, nullptr) || written == 0) return false;
      next += written;
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
  }

  win::Handle file_;
  std::array<char, 64 * 1024> buffer_{};
};

class HandleStream final : public std::ostream {
 public:
  explicit HandleStream(win::Handle file) : std::ostream(nullptr), buffer_(std::move(file)) {
    rdbuf(&buffer_);
  }

 private:
  HandleBuffer buffer_;
};

win::Handle CreateNew(const std::wstring& path, SECURITY_ATTRIBUTES* security) {
  return win::Handle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, security, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

std::unique_ptr<std::ostream> CreateOwnerOnlyFile(const std::string& path) {
  const std::wstring wide = win::Wide(path);
  if (wide.empty()) return nullptr;
  win::OwnerOnly security(false);
  if (security.attributes() == nullptr) return nullptr;
  // CREATE_NEW: the descriptor applies only to a file this call creates.
  win::Handle file = CreateNew(wide, security.attributes());
  if (!file) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return nullptr;
    // DeleteFileW removes a link itself and refuses a folder; a file somebody made in between
    // makes the second CREATE_NEW fail.
    if (!DeleteFileW(wide.c_str())) return nullptr;
    file = CreateNew(wide, security.attributes());
    if (!file) return nullptr;
  }
  return std::make_unique<HandleStream>(std::move(file));
}

}  // namespace tarnwick
