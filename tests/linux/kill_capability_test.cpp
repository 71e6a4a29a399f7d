// Giving up CAP_KILL: a root process without it can no longer signal another user's process.
#include "platform/linux/kill_capability.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick {
namespace {

TEST(KillCapabilityTest, WithoutItAnotherUsersProcessCannotBeSignalled) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a process of another user";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t other = ::fork();
  ASSERT_GE(other, 0);
  if (other == 0) {
    if (::setuid(1000) != 0) ::_exit(1);
    (void)!::write(ready[1], "u", 1);
    ::pause();
    ::_exit(0);
  }
  // The other process must be of the other user before the check starts.
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  // The check runs in a child of its own, so this test process keeps its capabilities.
  const pid_t checker = ::fork();
  ASSERT_GE(checker, 0);
  if (checker == 0) {
    if (::kill(other, 0) != 0) ::_exit(10);  // with CAP_KILL root reaches any process
    if (!DropKillCapability()) ::_exit(11);
    if (::kill(other, 0) == 0 || errno != EPERM) ::_exit(12);
    if (::kill(::getpid(), 0) != 0) ::_exit(13);  // its own processes stay reachable
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(checker, &status, 0), checker);
  ::kill(other, SIGKILL);
  ::waitpid(other, nullptr, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace tarnwick
