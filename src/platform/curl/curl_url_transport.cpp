#include "platform/curl/curl_url_transport.h"

#include <curl/curl.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "domain/url_rules.h"
#include "platform/curl/curl_ca_file.h"

namespace tarnwick {

namespace {

using SteadyClock = std::chrono::steady_clock;

CURLM* Multi(void* handle) {
  return static_cast<CURLM*>(handle);
}

// The list libcurl keeps for the request's extra headers.
struct HeaderList {
  curl_slist* list = nullptr;
  ~HeaderList() { curl_slist_free_all(list); }
};

}  // namespace

struct CurlUrlTransport::Read {
  std::string url;  // of this hop
  Completion done;
  SteadyClock::time_point deadline;
  int redirects = 0;
  std::size_t cap = 0;
  bool overflow = false;
  std::string body;
  CURL* easy = nullptr;
  HeaderList headers;

  ~Read() {
    if (easy != nullptr) curl_easy_cleanup(easy);
  }

  static size_t Write(char* data, size_t size, size_t count, void* user) {
    auto* read = static_cast<Read*>(user);
    const size_t n = size * count;
    if (read->body.size() + n > read->cap) {
      read->overflow = true;
      return 0;  // libcurl ends the transfer with CURLE_WRITE_ERROR
    }
    read->body.append(data, n);
    return n;
  }
};

CurlUrlTransport::CurlUrlTransport(Limits limits) : limits_(limits) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  multi_ = curl_multi_init();
}

CurlUrlTransport::~CurlUrlTransport() {
  for (auto& [easy, read] : reads_) curl_multi_remove_handle(Multi(multi_), easy);
  reads_.clear();
  if (multi_ != nullptr) curl_multi_cleanup(Multi(multi_));
}

void CurlUrlTransport::Get(const std::string& url, Completion done) {
  auto read = std::make_unique<Read>();
  read->url = url;
  read->done = std::move(done);
  read->deadline = SteadyClock::now() + limits_.deadline;
  read->cap = limits_.maxReplyBytes;
  const size_t schemeEnd = url.find("://");
  const std::string scheme = url.substr(0, schemeEnd == std::string::npos ? 0 : schemeEnd);
  const bool web =
      curl_strequal(scheme.c_str(), "http") != 0 || curl_strequal(scheme.c_str(), "https") != 0;
  if (!web || multi_ == nullptr) {
    ready_.push_back({std::move(read->done), false, {}});
    return;
  }
  StartHop(std::move(read));
}

// Starts the next request of the read; when it cannot start, the read fails.
void CurlUrlTransport::StartHop(std::unique_ptr<Read> read) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(read->deadline - SteadyClock::now());
  if (left.count() <= 0) {
    ready_.push_back({std::move(read->done), false, {}});
    return;
  }
  CURL* easy = curl_easy_init();
  if (easy == nullptr) {
    ready_.push_back({std::move(read->done), false, {}});
    return;
  }
  if (read->easy != nullptr) curl_easy_cleanup(read->easy);
  read->easy = easy;
  read->body.clear();
  read->overflow = false;
  curl_slist_free_all(read->headers.list);
  read->headers.list = curl_slist_append(nullptr, "Cache-Control: no-cache");
  read->headers.list = curl_slist_append(read->headers.list, "Pragma: no-cache");

  curl_easy_setopt(easy, CURLOPT_URL, read->url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, read->headers.list);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Read::Write);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, read.get());
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(read->cap));
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
  // Less than a byte a second for the silence allowed ends the read.
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits_.silence.count()));
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  UseCaFile(easy);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, read.get());

  if (curl_multi_add_handle(Multi(multi_), easy) != CURLM_OK) {
    ready_.push_back({std::move(read->done), false, {}});
    return;
  }
  reads_.emplace(easy, std::move(read));
}

void CurlUrlTransport::Finish(void* handle, int code) {
  CURL* easy = static_cast<CURL*>(handle);
  auto found = reads_.find(easy);
  if (found == reads_.end()) return;
  std::unique_ptr<Read> read = std::move(found->second);
  reads_.erase(found);
  curl_multi_remove_handle(Multi(multi_), easy);

  long status = 0;
  const auto result = static_cast<CURLcode>(code);
  if (result == CURLE_OK) curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  if (result == CURLE_OK && !read->overflow && status >= 200 && status <= 299) {
    ready_.push_back({std::move(read->done), true, std::move(read->body)});
    return;
  }
  if (result == CURLE_OK && status >= 300 && status <= 399) {
    const char* location = nullptr;
    curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location);
    if (location != nullptr && read->redirects < kUrlRedirectLimit &&
        RedirectAllowed(read->url, location)) {
      read->url = location;
      ++read->redirects;
      StartHop(std::move(read));
      return;
    }
  }
  ready_.push_back({std::move(read->done), false, {}});
}

void CurlUrlTransport::WaitFor(std::chrono::milliseconds limit) {
  if (multi_ == nullptr) return;
  long long ms = ready_.empty() ? std::max<long long>(0, limit.count()) : 0;
  ms = std::min<long long>(ms, INT_MAX);
  curl_multi_poll(Multi(multi_), nullptr, 0, static_cast<int>(ms), nullptr);
  int running = 0;
  curl_multi_perform(Multi(multi_), &running);
  std::vector<std::pair<CURL*, CURLcode>> finished;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(Multi(multi_), &queued)) {
    if (message->msg == CURLMSG_DONE)
      finished.emplace_back(message->easy_handle, message->data.result);
  }
  for (const auto& [easy, result] : finished) Finish(easy, static_cast<int>(result));
  RunReady();
}

void CurlUrlTransport::RunReady() {
  // A completion may start the next read; that one is answered by a later WaitFor.
  std::vector<Outcome> now;
  now.swap(ready_);
  for (Outcome& outcome : now) outcome.done(outcome.ok, std::move(outcome.bytes));
}

void CurlUrlTransport::Wake() {
  if (multi_ != nullptr) curl_multi_wakeup(Multi(multi_));
}

}  // namespace tarnwick
