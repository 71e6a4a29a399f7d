#include "platform/owner_only_file.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <utility>

#include "common/sink_stream.h"
#include "platform/windows/handle.h"
#include "platform/windows/owner_only.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

// Callers tell the user why a file could not be made or written from errno, as on POSIX; the
// Windows error of the failed call is put there in its nearest errno form.
void SetErrnoFrom(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      errno = EACCES;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      errno = EINVAL;
      break;
    case ERROR_FILENAME_EXCED_RANGE:
      errno = ENAMETOOLONG;
      break;
    default:
      errno = EIO;
      break;
  }
}

// The new file, closed with the stream.
class FileSink {
 public:
  explicit FileSink(win::Handle file) : file_(std::move(file)) {}

  std::ptrdiff_t Write(const char* data, size_t size) {
    const auto chunk = static_cast<DWORD>(std::min<size_t>(size, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(file_.get(), data, chunk, &written, nullptr)) {
      SetErrnoFrom(GetLastError());
      return -1;
    }
    return static_cast<std::ptrdiff_t>(written);
  }

 private:
  win::Handle file_;
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
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      SetErrnoFrom(error);
      return nullptr;
    }
    // DeleteFileW removes a link itself and refuses a folder; a file somebody made in between
    // makes the second CREATE_NEW fail.
    if (!DeleteFileW(wide.c_str())) {
      SetErrnoFrom(GetLastError());
      return nullptr;
    }
    file = CreateNew(wide, security.attributes());
    if (!file) {
      SetErrnoFrom(GetLastError());
      return nullptr;
    }
  }
  return std::make_unique<SinkStream<FileSink>>(FileSink(std::move(file)));
}

}  // namespace tarnwick
