// The process lister, the killer and the mailer launcher against real Windows processes (copies of
// the hog under chosen names, a slow reader standing in for the mailer), under Wine in CI.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <thread>

#include "platform/windows/nt_process_lister.h"
#include "platform/windows/windows_mailer_launcher.h"
#include "platform/windows/windows_process_killer.h"
#include "support/environment.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "windows/windows_test_support.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::UiQueue;
using wintest::Child;

std::optional<ProcessInfo> Find(const ProcessSnapshot& snapshot, int pid) {
  for (const ProcessInfo& p : snapshot.processes) {
    if (p.pid == pid) return p;
  }
  return std::nullopt;
}

ProcessSnapshot Scan() {
  NtProcessLister lister;
  ProcessSnapshot snapshot;
  EXPECT_TRUE(lister.Snapshot(snapshot));
  return snapshot;
}

uint64_t CreationTicks(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(process, &created, &exited, &kernel, &user);
  return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

TEST(NtProcessListerOnRealProcesses, NamesCpuSharesWorkingSetsAndCreationTimes) {
  testing::TempDir dir;
  Child burner(wintest::CopyHog(dir, "tarnwick_burner.exe"), {"burn"});
  Child holder(wintest::CopyHog(dir, "tarnwick_holder.exe"), {"touch", "96"});
  Child sleeper(wintest::CopyHog(dir, "tarnwick_sleeper.exe"), {"sleep"});
  ASSERT_TRUE(burner.WaitReady());
  ASSERT_TRUE(holder.WaitReady());
  ASSERT_TRUE(sleeper.WaitReady());

  const ProcessSnapshot first = Scan();
  std::this_thread::sleep_for(1500ms);
  const ProcessSnapshot second = Scan();
  const double wallNs = static_cast<double>(second.takenAtNs - first.takenAtNs);
  ASSERT_GT(wallNs, 0);

  const auto share = [&](int pid) {
    const auto a = Find(first, pid);
    const auto b = Find(second, pid);
    EXPECT_TRUE(a && b) << pid;
    if (!a || !b) return 0.0;
    return static_cast<double>(b->cpuTimeNs - a->cpuTimeNs) / wallNs;
  };
  // Shares of one processor; other programs may load the machine, so the burner is only held
  // to clearly more than the sleeper.
  const double burning = share(burner.pid());
  const double sleeping = share(sleeper.pid());
  EXPECT_GT(burning, 0.05);
  EXPECT_LT(sleeping, burning / 4);

  const std::optional<ProcessInfo> b = Find(second, burner.pid());
  const std::optional<ProcessInfo> h = Find(second, holder.pid());
  const std::optional<ProcessInfo> s = Find(second, sleeper.pid());
  ASSERT_TRUE(b && h && s);
  EXPECT_EQ(b->name, "tarnwick_burner");
  EXPECT_EQ(h->name, "tarnwick_holder");
  EXPECT_EQ(s->name, "tarnwick_sleeper");
  EXPECT_GE(h->workingSetBytes, 96ull << 20);
  EXPECT_LT(s->workingSetBytes, 32ull << 20);
  EXPECT_EQ(s->startTicks, CreationTicks(sleeper.handle()));
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  EXPECT_NEAR(static_cast<double>(s->creationTime), static_cast<double>(now), 60.0);
}

TEST(WindowsProcessKiller, TerminatesOnlyTheProcessThatStartedAtTheGivenTime) {
  testing::TempDir dir;
  Child sleeper(wintest::CopyHog(dir, "tarnwick_sleeper.exe"), {"sleep"});
  ASSERT_TRUE(sleeper.WaitReady());
  const uint64_t started = CreationTicks(sleeper.handle());
  WindowsProcessKiller killer;

  // Another creation time means the pid now names another process.
  EXPECT_FALSE(killer.KillProcess(sleeper.pid(), started + 1));
  EXPECT_FALSE(sleeper.Ended(300ms));

  // Success is told only once the process has ended.
  EXPECT_TRUE(killer.KillProcess(sleeper.pid(), started));
  EXPECT_TRUE(sleeper.Ended(0ms));
  // Ended but still held open by this test: no longer listed.
  EXPECT_FALSE(Find(Scan(), sleeper.pid()).has_value());
  // Ended, while this test still holds its handle (so the pid is not reused): TerminateProcess
  // would report success, the killer does not.
  EXPECT_FALSE(killer.KillProcess(sleeper.pid(), started));
}

TEST(WindowsProcessKiller, NeverIdleSystemOrItself) {
  WindowsProcessKiller killer;
  const int self = static_cast<int>(GetCurrentProcessId());
  const std::optional<ProcessInfo> me = Find(Scan(), self);
  ASSERT_TRUE(me.has_value());
  EXPECT_FALSE(killer.KillProcess(self, me->startTicks));
  EXPECT_FALSE(killer.KillProcess(0, 0));
  EXPECT_FALSE(killer.KillProcess(4, 0));
  EXPECT_FALSE(killer.KillProcess(-1, 0));
}

std::string ReadBytes(const std::filesystem::path& path) {
  return testing::ReadFile(win::Utf8(path.wstring()));
}

TEST(WindowsMailerLauncher, HandsTheWholeTextToASlowReaderAndReturnsAtOnce) {
  testing::TempDir dir;
  const std::filesystem::path out = dir.path() / L"received.txt";
  testing::SetEnv("TARNWICK_SINK_OUT", win::Utf8(out.wstring()));
  // Every byte value, CR LF and Ctrl-Z among them (text mode would change or stop at them), in a
  // text larger than any pipe buffer.
  std::string text = "fields\r\nsecond line\x1a after ctrl-z\n";
  std::mt19937 random(7);
  while (text.size() < 600 * 1024) text.push_back(static_cast<char>(random() & 0xff));

  UiQueue uiThread;
  WindowsMailerLauncher launcher(uiThread.Poster());
  std::optional<MailerExit> exit;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(launcher.Start(TARNWICK_STDIN_SINK_PATH, text,
                             [&exit](const MailerExit& outcome) { exit = outcome; }));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);

  ASSERT_TRUE(uiThread.RunUntil([&] { return exit.has_value(); }, 60s));
  EXPECT_TRUE(exit->sent) << exit->reason;
  EXPECT_TRUE(ReadBytes(out) == text) << ReadBytes(out).size() << " of " << text.size();
  testing::UnsetEnv("TARNWICK_SINK_OUT");
}

TEST(WindowsMailerLauncher, TellsHowEachRunEndedOnTheUiThread) {
  testing::TempDir dir;
  struct Case {
    const char* name;  // the stand-in's mode
    bool sent;
    std::string reason;
  } cases[] = {
      {"sent.exe", true, ""},
      {"status7.exe", false, "the mailer ended with status 7"},
      {"complains.exe", false, "first line"},
      {"hangs.exe", false, "the mailer gave no answer within 1 s and was stopped"},
  };
  UiQueue uiThread;
  WindowsMailerLauncher launcher(uiThread.Poster(), 1);
  std::vector<MailerExit> exits(std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::filesystem::path program = dir.path() / win::Wide(cases[i].name);
    std::filesystem::copy_file(win::Wide(TARNWICK_FAKE_MAILER_PATH), program);
    ASSERT_TRUE(launcher.Start(win::Utf8(program.wstring()), "text",
                               [&exits, i](const MailerExit& outcome) { exits[i] = outcome; }));
  }
  EXPECT_EQ(uiThread.ran, 0u) << "an exit was told inside Start";
  ASSERT_TRUE(uiThread.RunUntil([&] { return uiThread.ran == std::size(cases); }, 60s));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(exits[i].sent, cases[i].sent);
    EXPECT_EQ(exits[i].reason, cases[i].reason);
  }
}

TEST(WindowsMailerLauncher, NothingToStartIsToldAtOnceAndNeverFinishes) {
  testing::TempDir dir;
  UiQueue uiThread;
  WindowsMailerLauncher launcher(uiThread.Poster());
  for (const std::string& program : {win::Utf8((dir.path() / L"mailcmdssl.exe").wstring()),
                                     win::Utf8(dir.path().wstring()), std::string()}) {
    SCOPED_TRACE(program);
    EXPECT_FALSE(launcher.Start(program, "x", [](const MailerExit&) {}));
  }
  EXPECT_FALSE(uiThread.RunUntil([&] { return uiThread.ran > 0; }, 500ms));
}

}  // namespace
}  // namespace tarnwick
