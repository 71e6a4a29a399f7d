#include "platform/curl/background_smtp_client.h"

#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/curl/curl_smtp_client.h"

namespace tarnwick {

namespace {

constexpr std::string_view kNoThread = "The mail could not be sent: no thread to send it on";

}  // namespace

BackgroundSmtpClient::BackgroundSmtpClient(PostToUiThread post) : post_(std::move(post)) {}

void BackgroundSmtpClient::SendHtmlMailAsync(const SmtpMail& mail, SmtpSent sent) {
  try {
    std::thread([mail, sent, post = post_] {
      CurlSmtpClient client;
      std::string error = client.SendHtmlMail(mail);
      post([sent, error = std::move(error)] { sent(error); });
    }).detach();
  } catch (const std::system_error&) {
    post_([sent] { sent(std::string(kNoThread)); });
  }
}

}  // namespace tarnwick
