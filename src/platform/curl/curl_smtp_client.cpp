#include "platform/curl/curl_smtp_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "common/text.h"
#include "platform/curl/curl_ca_file.h"
#include "platform/curl/smtp_message.h"

namespace tarnwick {

namespace {

constexpr std::string_view kImplicitTlsPort = "465";
constexpr long kConnectTimeoutSeconds = 15;
constexpr long kTotalTimeoutSeconds = 60;
constexpr std::string_view kCurlInitError = "cannot start libcurl";

struct EasyDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The message handed to curl piece by piece as it asks for upload data.
struct UploadSource {
  std::string data;
  size_t offset = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* userdata) {
  auto* source = static_cast<UploadSource*>(userdata);
  const size_t n = std::min(size * count, source->data.size() - source->offset);
  std::memcpy(buffer, source->data.data() + source->offset, n);
  source->offset += n;
  return n;
}

std::string ServerUrl(const SmtpMail& mail) {
  std::string host(TrimSpacesAndTabs(mail.server));
  // An IPv6 address needs brackets in a URL.
  if (Contains(host, ":") && !StartsWith(host, "[")) host = "[" + host + "]";
  const std::string port(TrimSpacesAndTabs(mail.port));
  return (port == kImplicitTlsPort ? "smtps://" : "smtp://") + host + ":" + port;
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return TrimCopy(text);
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

std::string CurlSmtpClient::SendHtmlMail(const SmtpMail& mail) {
  // A recipient or sender with a line break would add SMTP commands of its own to the envelope.
  const std::vector<std::string> recipients = EnvelopeRecipients(mail.recipients);
  if (recipients.empty()) return std::string(kNoRecipientsError);
  const std::optional<std::string> sender = EnvelopeSender(mail.sender);
  if (!sender) return std::string(kUnsafeSenderError);

  InitCurlOnce();
  std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
  if (!curl) return std::string(kCurlInitError);
  CURL* h = curl.get();

  std::unique_ptr<curl_slist, SlistDeleter> rcpt;
  for (const std::string& recipient : recipients) {
    const std::string address = "<" + recipient + ">";
    curl_slist* grown = curl_slist_append(rcpt.get(), address.c_str());
    if (grown == nullptr) return std::string(kCurlInitError);
    rcpt.release();
    rcpt.reset(grown);
  }

  UploadSource source{ComposeHtmlMessage(mail, std::time(nullptr)), 0};
  char errorBuffer[CURL_ERROR_SIZE] = {};
  const std::string url = ServerUrl(mail);
  // A whole string first: GCC 12 at -O3 reports a false overlap (-Wrestrict) otherwise.
  std::string from(1, '<');
  from += *sender;
  from += '>';

  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  // Port 465 speaks TLS from the start (smtps://); elsewhere STARTTLS must succeed, so the
  // password never crosses the network in the clear.
  curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  UseCaFile(h);
  if (!mail.user.empty()) {
    curl_easy_setopt(h, CURLOPT_USERNAME, mail.user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, mail.password.c_str());
  }
  curl_easy_setopt(h, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(h, CURLOPT_MAIL_RCPT, rcpt.get());
  curl_easy_setopt(h, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(h, CURLOPT_READDATA, &source);
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, kTotalTimeoutSeconds);
  // Signals would reach the whole program (the test mail runs on a thread of the monitor).
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);

  const CURLcode result = curl_easy_perform(h);
  if (result == CURLE_OK) return {};
  std::string error = curl_easy_strerror(result);
  const std::string detail = OneLine(errorBuffer);
  if (!detail.empty() && detail != error) error += ": " + detail;
  return error;
}

}  // namespace tarnwick
