// IUrlTransport for a program whose UI thread runs a window system's message loop: the libcurl
// transport runs on a worker thread of its own, and each read's completion is posted to the UI
// thread. The rules of a read (time limits, reply size, redirects) are CurlUrlTransport's.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/curl/curl_url_transport.h"
#include "platform/ui_thread.h"
#include "platform/url_transport.h"

namespace tarnwick {

class WorkerUrlTransport final : public IUrlTransport {
 public:
  // `post` runs a completion on the UI thread.
  explicit WorkerUrlTransport(PostToUiThread post,
                              CurlUrlTransport::Limits limits = CurlUrlTransport::Limits{});
  // Ends the worker; reads still pending never complete.
  ~WorkerUrlTransport() override;
  WorkerUrlTransport(const WorkerUrlTransport&) = delete;
  WorkerUrlTransport& operator=(const WorkerUrlTransport&) = delete;

  // Returns at once; `done` runs later on the UI thread, never inside Get.
  void Get(const std::string& url, Completion done) override;

 private:
  struct Request {
    std::string url;
    Completion done;
  };
  void Run();

  PostToUiThread post_;
  CurlUrlTransport curl_;
  std::mutex mutex_;
  std::deque<Request> requests_;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace tarnwick
