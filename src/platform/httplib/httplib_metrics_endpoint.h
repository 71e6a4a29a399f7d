// The metrics endpoint on cpp-httplib's server.
#pragma once

#include <memory>

#include "platform/metrics_endpoint.h"

namespace tarnwick {

class HttplibMetricsEndpoint final : public IMetricsEndpoint {
 public:
  HttplibMetricsEndpoint();
  ~HttplibMetricsEndpoint() override;
  HttplibMetricsEndpoint(const HttplibMetricsEndpoint&) = delete;
  HttplibMetricsEndpoint& operator=(const HttplibMetricsEndpoint&) = delete;

  MetricsEndpointStart Start(const ListenAddress& address,
                             std::function<std::string()> render) override;
  void Stop() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarnwick
