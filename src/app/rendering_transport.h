// Replies of the web service change the window's labels outside any window event; this
// transport renders the window after each of them.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform/url_transport.h"

namespace tarnwick {

class RenderingTransport final : public IUrlTransport {
 public:
  RenderingTransport(IUrlTransport& inner, std::function<void()> render)
      : inner_(inner), render_(std::move(render)) {}

  void Get(const std::string& url, Completion done) override {
    inner_.Get(url, [this, done = std::move(done)](bool ok, std::string bytes) {
      done(ok, std::move(bytes));
      render_();
    });
  }

 private:
  IUrlTransport& inner_;
  std::function<void()> render_;
};

}  // namespace tarnwick
