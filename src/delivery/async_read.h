// The URL reader: fetches a URL in the background and reports the outcome as one event on the UI
// thread. The program keeps one reader per kind of request (login/send, credit update, mail
// alert); reads on one reader may overlap, and each completion names the read it belongs to.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/url_transport.h"

namespace tarnwick {

// StatusCode of a completion: all the data arrived (the read succeeded).
inline constexpr int kAsyncStatusEndOfData = 6;
// StatusCode of a completion: the read failed (no connection, time-out, error status, dropped
// connection, a reply longer than kUrlReplyLimit) or, in file mode, the received bytes could not be
// written to DestFileName.
inline constexpr int kAsyncStatusError = 0;

inline constexpr std::string_view kAsyncStatusEndOfDataText = "End of download data";
inline constexpr std::string_view kAsyncStatusErrorText = "Download failed";
inline constexpr std::string_view kAsyncStatusWriteFailedText = "Cannot write the destination file";

// The tag file-mode reads carry instead of PropName.
inline constexpr std::string_view kFileFromUrlTag = "FileFromURL";

struct AsyncProperty {
  // The tag the read was started with (PropName at that moment, or kFileFromUrlTag), not the one
  // set since.
  std::string PropertyName;
  // Text mode: the reply bytes as received. File mode: path of the temporary file holding them,
  // which exists only while the event runs. Empty when the read failed.
  std::string Value;
  std::string Status;
  int StatusCode = kAsyncStatusError;
};

class AsyncRead {
 public:
  // Raised once for every read started, on the UI thread, after DataFromURL (text mode) or
  // DestFileName (file mode) has been updated. The handler may start further reads.
  using CompleteHandler = std::function<void(AsyncRead& reader, const AsyncProperty& completion)>;

  // `transport` must outlive the reader. Reads still pending when the reader is destroyed end
  // without an event.
  explicit AsyncRead(IUrlTransport& transport);
  ~AsyncRead();
  AsyncRead(const AsyncRead&) = delete;
  AsyncRead& operator=(const AsyncRead&) = delete;

  // Tag of the next text-mode read.
  const std::string& PropName() const { return propName_; }
  void SetPropName(const std::string& name) { propName_ = name; }

  // Writing a URL starts a text-mode read tagged with PropName; an empty URL is stored and starts
  // nothing. After a successful read this holds the reply as text (TextFromBytes); after a failed
  // one it still holds the URL written last, which callers rely on to tell the two apart.
  const std::string& DataFromURL() const { return dataFromUrl_; }
  void SetDataFromURL(const std::string& url);

  // Writing a URL starts a file-mode read tagged kFileFromUrlTag; an empty URL starts nothing.
  const std::string& FileFromURL() const { return fileFromUrl_; }
  void SetFileFromURL(const std::string& url);

  // Where a successful file-mode read is copied. Read when the read completes, so it may be set
  // before or after FileFromURL.
  const std::string& DestFileName() const { return destFileName_; }
  void SetDestFileName(const std::string& path) { destFileName_ = path; }

  CompleteHandler AsyncReadComplete;

 private:
  enum class Mode { Text, File };

  void Start(const std::string& url, Mode mode, const std::string& tag);
  void Complete(Mode mode, const std::string& tag, bool ok, std::string bytes);
  void CompleteFileRead(AsyncProperty& completion, const std::string& bytes);
  void Raise(const AsyncProperty& completion);

  IUrlTransport& transport_;
  std::string propName_;
  std::string dataFromUrl_;
  std::string fileFromUrl_;
  std::string destFileName_;
  // Completions of pending reads hold a weak copy; once the reader is gone they find it expired
  // and drop the result.
  std::shared_ptr<AsyncRead*> self_;
};

}  // namespace tarnwick
