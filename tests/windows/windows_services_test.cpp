// The Windows platform services against this machine (under Wine in CI), and the parts of their
// logic Wine cannot show, on fakes: Wine lists only its own processes (no Idle, no System, no
// other users) and runs every process as one user, so the service-account rule and the parsing
// of records it never produces are tested with built records and a fake owner query.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

#include "platform/windows/nt_process_lister.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_counters.h"
#include "platform/windows/windows_system_info.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

TEST(WindowsCpuCounters, TotalGrowsWithElapsedTimeOfEveryProcessor) {
  WindowsCpuCounters counters;
  CpuTimes before, after;
  ASSERT_TRUE(counters.Read(before));
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(500ms);
  ASSERT_TRUE(counters.Read(after));
  const auto elapsed100ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
          .count() /
      100;
  EXPECT_GE(after.processors, 1u);
  EXPECT_LE(after.idle, after.total);
  const double perProcessor = static_cast<double>(after.total - before.total) / after.processors;
  EXPECT_GT(perProcessor, 0.5 * static_cast<double>(elapsed100ns));
  EXPECT_LT(perProcessor, 2.0 * static_cast<double>(elapsed100ns));
  EXPECT_LE(after.idle - before.idle, after.total - before.total);
}

TEST(WindowsMemoryReader, AvailableIsPartOfInstalled) {
  WindowsMemoryReader memory;
  const int64_t total = memory.GetRamAmount();
  const int64_t available = memory.GetAvailableBytes();
  EXPECT_GT(total, 64LL << 20);
  EXPECT_GT(available, 0);
  EXPECT_LE(available, total);
}

TEST(WindowsSystemInfo, DescribesThisProgramAndMachine) {
  WindowsSystemInfo system;
  EXPECT_GE(system.ProcessorCount(), 1);
  EXPECT_FALSE(system.ComputerName().empty());
  EXPECT_EQ(system.ExecutableSuffix(), ".exe");
  EXPECT_EQ(system.OwnExecutableName() + system.ExecutableSuffix(), "tarnwick.exe");
  EXPECT_EQ(system.LogFolder(), "c:\\monitor_log");
  const std::string folder = system.ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(
      win::Wide(folder + system.PathSeparator() + "windows_services_tests.exe"))));
}

TEST(WindowsSystemInfo, EnsureFolderCreatesNestedFoldersWithUtf8Names) {
  testing::TempDir dir;
  WindowsSystemInfo system;
  const std::string base = win::Utf8(dir.path().wstring());
  const std::string nested = base +
                             "\\Tarnw\xc3\xbc"
                             "ck\\monitor_log";
  EXPECT_TRUE(system.EnsureFolder(nested));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / L"Tarnw\u00fcck" / L"monitor_log"));
  EXPECT_TRUE(system.EnsureFolder(nested));  // already there
  EXPECT_FALSE(system.EnsureFolder(""));
}

TEST(WideText, RoundTripsNamesOutsideTheAnsiCodePage) {
  const std::string utf8 =
      "Tarnw\xc3\xbc"
      "ck \xe2\x82\xac \xf0\x9f\x98\x80";
  EXPECT_EQ(win::Wide(utf8), L"Tarnw\u00fcck \u20ac \U0001F600");
  EXPECT_EQ(win::Utf8(win::Wide(utf8)), utf8);
  EXPECT_EQ(win::Utf8(L""), "");
}

// A SystemProcessInformation buffer as Windows lays it out on x64: records of 256 bytes with their
// UTF-16 names behind them.
class RecordBuffer {
 public:
  static constexpr size_t kRecord = 256;

  struct Entry {
    uint64_t pid;
    std::wstring name;
    int64_t createTime;
    int64_t userTime;
    int64_t kernelTime;
    uint64_t workingSet;
    uint32_t threads;  // none: the process has ended
  };

  explicit RecordBuffer(const std::vector<Entry>& entries) : bytes_(entries.size() * kRecord) {
    for (size_t i = 0; i < entries.size(); ++i) {
      std::byte* record = bytes_.data() + i * kRecord;
      const Entry& e = entries[i];
      Put<uint32_t>(record, 0, i + 1 < entries.size() ? kRecord : 0);
      Put<uint32_t>(record, 4, e.threads);
      Put(record, 32, e.createTime);
      Put(record, 40, e.userTime);
      Put(record, 48, e.kernelTime);
      Put<uint16_t>(record, 56, static_cast<uint16_t>(e.name.size() * 2));
      Put<uint16_t>(record, 58, static_cast<uint16_t>(e.name.size() * 2));
      std::byte* name = record + 160;
      std::memcpy(name, e.name.data(), e.name.size() * 2);
      Put<uint64_t>(record, 64, e.name.empty() ? 0 : reinterpret_cast<uintptr_t>(name));
      Put(record, 80, e.pid);
      Put(record, 144, e.workingSet);
    }
  }

  template <typename T>
  void Put(std::byte* record, size_t offset, T value) {
    std::memcpy(record + offset, &value, sizeof value);
  }
  std::byte* data() { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }

 private:
  std::vector<std::byte> bytes_;
};

constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

TEST(ParseProcessRecords, ReadsTheX64LayoutWithShownNamesAndLeavesEndedProcessesOut) {
  const int64_t created = kUnixEpochTicks + 1700000000LL * 10000000;
  RecordBuffer buffer({
      {0, L"", 0, 0, 50000000, 8192, 2},
      {1234, L"Firefox.EXE", created, 30000000, 20000000, 300ull << 20, 40},
      {77, L"Tarnw\u00fcck.exe", created, 0, 0, 4096, 1},
      {78, L"run.exe.bat", created, 0, 0, 4096, 1},
      {79, L"ended.exe", created, 0, 0, 0, 0},
      {80, L"fake\nline\x1b[1m.exe", created, 0, 0, 4096, 1},
      {4, L"System", created, 0, 90000000, 4096, 150},
      {81, L"System.exe", created, 0, 0, 4096, 1},
  });
  const std::vector<ProcessInfo> list = ParseProcessRecords(buffer.data(), buffer.size());
  ASSERT_EQ(list.size(), 7u);
  // Idle and System are known by their pids; a program of either name is one like any other.
  for (const ProcessInfo& p : list) EXPECT_EQ(p.pseudoProcess, p.pid == 0 || p.pid == 4) << p.pid;
  EXPECT_EQ(list[6].name, "System");
  EXPECT_EQ(list[0].pid, 0);
  EXPECT_EQ(list[0].name, "Idle");
  EXPECT_EQ(list[1].pid, 1234);
  EXPECT_EQ(list[1].name, "Firefox");
  EXPECT_EQ(list[1].cpuTimeNs, 5000000000u);
  EXPECT_EQ(list[1].workingSetBytes, 300ull << 20);
  EXPECT_EQ(list[1].startTicks, static_cast<uint64_t>(created));
  EXPECT_EQ(list[1].creationTime, 1700000000);
  EXPECT_EQ(list[2].name,
            "Tarnw\xc3\xbc"
            "ck");
  EXPECT_EQ(list[3].name, "run.exe.bat");
  // The process without threads (ended, held open by someone) is not listed.
  EXPECT_EQ(list[4].pid, 80);
  EXPECT_EQ(list[4].name, "fake?line?[1m");
}

TEST(ParseProcessRecords, StopsAtRecordsAndNamesOutsideTheBuffer) {
  RecordBuffer buffer({{10, L"a.exe", 1, 0, 0, 0, 1}, {11, L"b.exe", 1, 0, 0, 0, 1}});
  // The first record's name pointing behind the buffer is left out, not read.
  buffer.Put<uint64_t>(buffer.data(), 64,
                       reinterpret_cast<uintptr_t>(buffer.data()) + buffer.size() - 4);
  // A next-record offset past the end stops the list after the second record.
  buffer.Put<uint32_t>(buffer.data() + RecordBuffer::kRecord, 0, 4096);
  const std::vector<ProcessInfo> list = ParseProcessRecords(buffer.data(), buffer.size());
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, "");
  EXPECT_EQ(list[1].name, "b");
  // A buffer shorter than one record holds none.
  EXPECT_TRUE(ParseProcessRecords(buffer.data(), 100).empty());
}

TEST(ServiceOwnerRule, ServiceAccountsAndUnreadableOwnersCountAsServices) {
  const std::map<ProcessOwner, bool> cases = {
      {ProcessOwner::Unknown, true},      {ProcessOwner::LocalSystem, true},
      {ProcessOwner::LocalService, true}, {ProcessOwner::NetworkService, true},
      {ProcessOwner::User, false},
  };
  for (const auto& [owner, service] : cases) {
    EXPECT_EQ(IsServiceOwner(owner), service) << static_cast<int>(owner);
  }
}

class FakeOwners final : public IProcessOwnerQuery {
 public:
  explicit FakeOwners(int servicePid) : servicePid_(servicePid) {}
  ProcessOwner OwnerOf(int pid) override {
    return pid == servicePid_ ? ProcessOwner::NetworkService : ProcessOwner::User;
  }

 private:
  int servicePid_;
};

TEST(NtProcessLister, ListsThisProcessWithItsOwnerRule) {
  const int self = static_cast<int>(GetCurrentProcessId());
  NtProcessLister lister(std::make_unique<FakeOwners>(self));
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  bool found = false;
  for (const ProcessInfo& p : snapshot.processes) {
    if (p.pid != self) {
      EXPECT_FALSE(p.systemAccount) << p.name;
      continue;
    }
    found = true;
    EXPECT_EQ(p.name, "windows_services_tests");
    EXPECT_TRUE(p.systemAccount);
    EXPECT_GT(p.workingSetBytes, 0u);
  }
  EXPECT_TRUE(found);
}

TEST(TokenOwnerQuery, ThisProcessRunsAsAUser) {
  // Under Wine every process runs as the one user; the service accounts cannot be shown here.
  TokenOwnerQuery owners;
  EXPECT_EQ(owners.OwnerOf(static_cast<int>(GetCurrentProcessId())), ProcessOwner::User);
  EXPECT_EQ(owners.OwnerOf(0x7ffffff0), ProcessOwner::Unknown);
}

}  // namespace
}  // namespace tarnwick
