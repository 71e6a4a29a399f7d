// Feeds arbitrary reply bytes through what the program does with a login or credit-update reply:
// the byte decoder, then the login reply's reading and the credit label's text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "delivery/service_requests.h"
#include "delivery/text_from_bytes.h"
#include "common/text.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = tarnwick::TextFromBytes(bytes);
  Check(text.size() <= bytes.size());
  const std::string reply = tarnwick::ToLower(text);
  const tarnwick::LoginReply parsed = tarnwick::ParseLoginReply(reply);
  if (parsed.kind == tarnwick::LoginReply::Kind::Accepted) {
    // Credits and identifier are pieces of the reply, never more.
    Check(parsed.credits.size() <= reply.size());
    Check(parsed.apiId.size() <= reply.size());
    Check(reply.find(parsed.apiId) != std::string::npos);
  }
  if (parsed.kind == tarnwick::LoginReply::Kind::Refused) Check(reply.rfind("-err", 0) == 0);
  // The credit label shows the trimmed reply.
  tarnwick::TrimCopy(text);
  return 0;
}
