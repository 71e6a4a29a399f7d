// The minute's top processes through the real lister on a crafted proc root: CPU shares over the
// minute since the previous scan, a pid taken over by a new process counted from its start, and
// the memory list.
#include "history/top_scan.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "linux_test_support.h"
#include "platform/linux/proc_process_lister.h"

namespace tarnwick {
namespace {

using linuxtest::TempFolder;

const uint64_t kTicks = static_cast<uint64_t>(sysconf(_SC_CLK_TCK));
const uint64_t kPage = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
constexpr long long kMinuteNs = 60'000'000'000LL;

class SteppedClock final : public IClock {
 public:
  long long monotonicNs = 1'000'000'000;
  LocalTime Now() override { return {}; }
  std::string LocaleDateTime() override { return {}; }
  void Sleep(std::chrono::milliseconds) override {}
  long long MonotonicNs() override { return monotonicNs; }
};

class FakeRoot {
 public:
  FakeRoot() { root_.Write("stat", "cpu  1 1 1 1 1 1 1 1 0 0\nbtime 1700000000\n"); }
  // A process with `cpuSeconds` of CPU time and `rssMb` resident.
  void Set(int pid, const std::string& comm, uint64_t start, uint64_t cpuSeconds, uint64_t rssMb) {
    const std::string dir = std::to_string(pid) + "/";
    root_.Write(dir + "stat", std::to_string(pid) + " (" + comm +
                                  ") S 1 1 1 0 -1 4194560 0 0 0 0 " +
                                  std::to_string(cpuSeconds * kTicks) + " 0 0 0 20 0 1 0 " +
                                  std::to_string(start) + " 1000 " +
                                  std::to_string(rssMb * 1024 * 1024 / kPage) + " 0\n");
    root_.Write(dir + "status", "Name:\t" + comm + "\nUid:\t0\t0\t0\t0\n");
  }
  std::string path() const { return root_.path().string(); }

 private:
  TempFolder root_;
};

std::vector<std::string> Listed(const std::vector<TopEntry>& entries, TopKind kind) {
  std::vector<std::string> out;
  for (const TopEntry& e : entries) {
    if (e.kind == kind)
      out.push_back(e.name + ":" + std::to_string(e.pid) + ":" +
                    std::to_string(static_cast<int>(e.share + 0.5)));
  }
  return out;
}

TEST(ProcessTopScanTest, CpuSharesAreTheMinutesAndAReusedPidCountsFromItsStart) {
  FakeRoot root;
  root.Set(10, "steady", 100, 1000, 10);
  root.Set(20, "quiet", 100, 5000, 300);
  root.Set(30, "ending", 100, 100, 20);
  ProcProcessLister lister(root.path());
  SteppedClock clock;
  // Two processors; 1000 MB of memory.
  ProcessTopScan scan(
      lister, clock, 2, [] { return int64_t{1000} * 1024 * 1024; }, "");
  std::vector<TopEntry> first = scan.TopProcesses(5);
  EXPECT_TRUE(Listed(first, TopKind::Cpu).empty()) << "no interval yet";
  EXPECT_EQ(Listed(first, TopKind::Memory),
            (std::vector<std::string>{"quiet:20:30", "ending:30:2", "steady:10:1"}));

  // A minute later: steady used 60 s of one processor (50 % of two), quiet nothing, and pid 30
  // ended and was taken over by a process started since, which used 30 s: all of its time counts,
  // never as the difference to the ended one's.
  clock.monotonicNs += kMinuteNs;
  root.Set(10, "steady", 100, 1060, 10);
  root.Set(30, "ending", 9000, 30, 20);
  const std::vector<TopEntry> second = scan.TopProcesses(5);
  EXPECT_EQ(Listed(second, TopKind::Cpu),
            (std::vector<std::string>{"steady:10:50", "ending:30:25"}));
  for (const TopEntry& e : second) EXPECT_GE(e.rank, 1);

  // The next minute counts from this scan, not the first.
  clock.monotonicNs += kMinuteNs;
  root.Set(20, "quiet", 100, 5012, 300);
  EXPECT_EQ(Listed(scan.TopProcesses(1), TopKind::Cpu), (std::vector<std::string>{"quiet:20:10"}));
}

}  // namespace
}  // namespace tarnwick
