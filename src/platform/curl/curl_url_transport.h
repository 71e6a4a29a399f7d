// IUrlTransport on the libcurl multi interface, for programs without Qt: reads run while the
// program's one thread waits in WaitFor, and their completions run there too.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "domain/url_rules.h"
#include "platform/event_wait.h"
#include "platform/url_transport.h"

namespace tarnwick {

class CurlUrlTransport final : public IUrlTransport, public IEventWait {
 public:
  struct Limits {
    // Time from the start of a read to its last byte, redirects included. A server that trickles
    // its reply fails here as surely as a silent one.
    std::chrono::milliseconds deadline{kUrlReadDeadline};
    // Largest reply body; a longer one fails the read (no real reply comes near it).
    std::size_t maxReplyBytes = kUrlReplyLimit;
    // Time without a byte received (whole seconds) after which the read fails.
    std::chrono::seconds silence{kUrlSilenceLimit};
  };

  // The trusted CAs of https reads are the system's and those of the file SSL_CERT_FILE names
  // when it is set (as for the mailer; a file that cannot be read fails every https read).
  explicit CurlUrlTransport(Limits limits);
  CurlUrlTransport() : CurlUrlTransport(Limits{}) {}
  ~CurlUrlTransport() override;
  CurlUrlTransport(const CurlUrlTransport&) = delete;
  CurlUrlTransport& operator=(const CurlUrlTransport&) = delete;

  // Every read goes to the network (libcurl keeps no cache; "Cache-Control: no-cache" and
  // "Pragma: no-cache" ask proxies the same). The body is kept as received, never decompressed;
  // it is read only inside WaitFor, so a flood costs at most libcurl's buffer and the limit, also
  // while the waiting thread is busy elsewhere. A request is sent once per hop.
  // A 3xx reply is followed when it stays on the same host (RedirectAllowed), up to
  // kUrlRedirectLimit times; any other redirect fails the read. `done` runs inside a later WaitFor.
  void Get(const std::string& url, Completion done) override;

  // Waits in curl_multi_poll; a Wake ends the wait through curl_multi_wakeup.
  void WaitFor(std::chrono::milliseconds limit) override;
  void Wake() override;

  // Reads started and not yet completed.
  std::size_t Pending() const { return reads_.size() + ready_.size(); }

 private:
  struct Read;
  void StartHop(std::unique_ptr<Read> read);
  void Finish(void* easy, int result);
  void RunReady();

  Limits limits_;
  void* multi_ = nullptr;  // the CURLM handle; libcurl's header stays out of this one
  std::map<void*, std::unique_ptr<Read>> reads_;  // by easy handle
  // Outcomes decided without the network (a URL that is not http or https, a refused redirect),
  // delivered by the next WaitFor.
  struct Outcome {
    Completion done;
    bool ok = false;
    std::string bytes;
  };
  std::vector<Outcome> ready_;
};

}  // namespace tarnwick
