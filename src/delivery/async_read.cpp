#include "delivery/async_read.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#endif

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

#include "common/utf8_path.h"
#include "delivery/text_from_bytes.h"
#include "domain/url_rules.h"

namespace tarnwick {
namespace {

// Creates the file for writing and fails when it exists already. The C runtime of Windows ignores
// fopen's "x" and would open a file planted under that name; _O_EXCL creates with CREATE_NEW.
std::FILE* OpenNewFile(const std::filesystem::path& path) {
#ifdef _WIN32
  int fd = -1;
  if (_wsopen_s(&fd, path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                _SH_DENYWR, _S_IREAD | _S_IWRITE) != 0) {
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) _close(fd);
  return file;
#else
  return std::fopen(path.c_str(), "wbx");
#endif
}

// A file-mode read lands in a fresh temporary file first, the way a browser download does; its
// path is the completion's Value. Empty when no file could be created.
std::string WriteTempFile(const std::string& bytes) {
  static std::atomic<unsigned> sequence{0};
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) return {};
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string name = "tarnwick-read-" + std::to_string(random()) + "-" +
                             std::to_string(sequence.fetch_add(1)) + ".tmp";
    const std::filesystem::path path = folder / PathFromUtf8(name);
    // Never reuse a file that is already there.
    std::FILE* file = OpenNewFile(path);
    if (file == nullptr) continue;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return Utf8FromPath(path);
    std::filesystem::remove(path, error);
    return {};
  }
  return {};
}

}  // namespace

AsyncRead::AsyncRead(IUrlTransport& transport)
    : transport_(transport), self_(std::make_shared<AsyncRead*>(this)) {}

AsyncRead::~AsyncRead() = default;

void AsyncRead::SetDataFromURL(const std::string& url) {
  dataFromUrl_ = url;
  if (!url.empty()) Start(url, Mode::Text, propName_);
}

void AsyncRead::SetFileFromURL(const std::string& url) {
  fileFromUrl_ = url;
  if (!url.empty()) Start(url, Mode::File, std::string(kFileFromUrlTag));
}

void AsyncRead::Start(const std::string& url, Mode mode, const std::string& tag) {
  // The tag is captured now: by the time the reply comes, PropName may name a newer read.
  std::weak_ptr<AsyncRead*> weak = self_;
  transport_.Get(url, [weak, mode, tag](bool ok, std::string bytes) {
    if (const std::shared_ptr<AsyncRead*> self = weak.lock()) {
      (*self)->Complete(mode, tag, ok, std::move(bytes));
    }
  });
}

void AsyncRead::Complete(Mode mode, const std::string& tag, bool ok, std::string bytes) {
  AsyncProperty completion;
  completion.PropertyName = tag;
  // Whatever the transport let through, a reply past the limit never reaches a label.
  if (bytes.size() > kUrlReplyLimit) ok = false;
  if (!ok) {
    // Nothing is stored: DataFromURL keeps the URL, which is how callers see the failure.
    completion.Status = std::string(kAsyncStatusErrorText);
    completion.StatusCode = kAsyncStatusError;
    Raise(completion);
    return;
  }
  if (mode == Mode::Text) {
    dataFromUrl_ = TextFromBytes(bytes);
    completion.Value = std::move(bytes);
    completion.Status = std::string(kAsyncStatusEndOfDataText);
    completion.StatusCode = kAsyncStatusEndOfData;
    Raise(completion);
    return;
  }
  CompleteFileRead(completion, bytes);
}

void AsyncRead::CompleteFileRead(AsyncProperty& completion, const std::string& bytes) {
  completion.Value = WriteTempFile(bytes);
  std::error_code error;
  bool copied = false;
  if (!completion.Value.empty() && !destFileName_.empty()) {
    copied = std::filesystem::copy_file(completion.Value, destFileName_,
                                        std::filesystem::copy_options::overwrite_existing, error);
  }
  if (copied) {
    completion.Status = std::string(kAsyncStatusEndOfDataText);
    completion.StatusCode = kAsyncStatusEndOfData;
  } else {
    completion.Status = std::string(kAsyncStatusWriteFailedText);
    completion.StatusCode = kAsyncStatusError;
  }
  const std::string tempPath = completion.Value;
  Raise(completion);
  if (!tempPath.empty()) std::filesystem::remove(tempPath, error);
}

void AsyncRead::Raise(const AsyncProperty& completion) {
  // A copy runs, so a handler that replaces the event, or destroys this reader, does not pull the
  // running function from under itself.
  const CompleteHandler handler = AsyncReadComplete;
  if (handler) handler(*this, completion);
}

}  // namespace tarnwick
