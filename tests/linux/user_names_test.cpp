// Owners' names for the Processes window: from the user database, the number where it knows no
// name, nothing where the platform has no user id.
#include <gtest/gtest.h>

#include "platform/posix/posix_user_names.h"

namespace tarnwick {
namespace {

TEST(PosixUserNames, NamesNumbersAndNothing) {
  PosixUserNames names;
  const struct {
    int64_t uid;
    std::string name;
  } cases[] = {{0, "root"}, {3999999, "3999999"}, {-1, ""}, {0, "root"}};
  for (const auto& c : cases) EXPECT_EQ(names.UserName(c.uid), c.name) << c.uid;
}

}  // namespace
}  // namespace tarnwick
