// tarnwick_history_bench [FOLDER]: the cost of the usage history on this machine.
//  - the recorder's cost per cycle and per day of samples at a 1 s cycle (30 s transactions and
//    the once-a-minute top list over the real processes);
//  - the database's size per day at 1 s and 5 s cycles;
//  - the time to open the History window (and switch spans) on 31 days of 1 s samples.
// The files go to FOLDER (default: a new folder under /tmp), removed at the end.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/clock.h"
#include "history/history_recorder.h"
#include "domain/history_time.h"
#include "history/history_window_model.h"
#include "history/top_scan.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "settings/settings.h"

namespace tarnwick {
namespace {

using Steady = std::chrono::steady_clock;

// Local time and the monotonic reading advance only when the benchmark says so.
class VirtualClock final : public IClock {
 public:
  int64_t seconds = ToHistorySeconds({2026, 12, 1, 0, 0, 0});
  LocalTime Now() override { return FromHistorySeconds(seconds); }
  std::string LocaleDateTime() override { return {}; }
  void Sleep(std::chrono::milliseconds) override {}
  long long MonotonicNs() override { return seconds * 1'000'000'000LL; }
};

double Ms(Steady::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

// One day of cycles every `interval` seconds through the recorder: the cost of recording and
// writing (the top list's process scan is measured on its own below).
void RecordDay(const std::string& path, int interval) {
  std::filesystem::remove(path);
  VirtualClock clock;
  {
    SqliteHistoryStore store(path);
    HistoryRecorder recorder(
        clock, store, [](const std::string& line) { std::printf("  log: %s\n", line.c_str()); });
    const int cycles = 86400 / interval;
    const auto start = Steady::now();
    for (int i = 0; i < cycles; ++i) {
      recorder.RecordCycle(10 + i % 7, 40 + i % 3, 3200);
      if (i % (60 / interval) == 0) {
        // The top list a minute, as the scan leaves it.
        for (int rank = 1; rank <= 5; ++rank) {
          recorder.RecordTop(TopKind::Cpu, "process" + std::to_string(rank), 1000 + rank, 9.5);
          recorder.RecordTop(TopKind::Memory, "process" + std::to_string(rank), 1000 + rank, 3);
        }
      }
      clock.seconds += interval;
    }
    recorder.Flush();
    const auto took = Steady::now() - start;
    std::printf("%d s cycle: a day of samples recorded and written in %.0f ms, %.1f us per cycle\n",
                interval, Ms(took), Ms(took) * 1000.0 / cycles);
  }
  // Closing the store folds the journal into the file.
  std::printf("%d s cycle: database %.2f MB per day\n", interval,
              static_cast<double>(FileSize(path)) / 1e6);
}

// The once-a-minute top list over the real processes of this machine.
void TopScan() {
  SystemClock clock;
  ProcProcessLister lister;
  ProcessTopScan scan(
      lister, clock, 2, [] { return int64_t{8} << 30; }, "");
  ProcessSnapshot count;
  lister.Snapshot(count);
  scan.TopProcesses(HistoryRecorder::kTopListSize);
  const int rounds = 20;
  const auto start = Steady::now();
  for (int i = 0; i < rounds; ++i) scan.TopProcesses(HistoryRecorder::kTopListSize);
  const double each = Ms(Steady::now() - start) / rounds;
  std::printf("top list over %zu processes: %.2f ms each, %.2f ms per hour of cycles\n",
              count.processes.size(), each, each * 60);
}

// 31 days of 1 s samples, a top list every minute and an alert every hour, written in large
// transactions (the recorder's cost is measured above).
void Fill31Days(const std::string& path, VirtualClock& clock) {
  std::filesystem::remove(path);
  SqliteHistoryStore store(path);
  store.Open();
  const int64_t start = clock.seconds;
  for (int day = 0; day < 31; ++day) {
    HistoryBatch b;
    for (int64_t s = 0; s < 86400; ++s) {
      const int64_t t = start + day * 86400 + s;
      b.samples.push_back({t, static_cast<int>(10 + (t * 7919) % 60), 45, 3600});
      if (s % 60 == 0) {
        for (int rank = 1; rank <= 5; ++rank) {
          b.tops.push_back({t, TopKind::Cpu, rank, "proc" + std::to_string((t / 60 + rank) % 40),
                            1000 + rank, 50.0 / rank});
          b.tops.push_back(
              {t, TopKind::Memory, rank, "mem" + std::to_string(rank), 2000 + rank, 20.0 / rank});
        }
      }
      if (s % 3600 == 1800) b.events.push_back({t, HistoryEventKind::AlertRaised, "alert", 0, 0});
    }
    store.Append(b);
  }
  clock.seconds = start + 31 * 86400;
}

void OpenWindow(const std::string& path) {
  VirtualClock clock;
  const auto fillStart = Steady::now();
  Fill31Days(path, clock);
  std::printf("31 days at 1 s: %.0f MB, written in %.1f s\n",
              static_cast<double>(FileSize(path)) / 1e6, Ms(Steady::now() - fillStart) / 1000);
  SqliteHistoryStore store(path);
  Settings settings;
  settings.cpu_High = "85";
  settings.mem_High = "85";
  HistoryWindowModel window(clock, settings, &store, nullptr);
  const auto open = Steady::now();
  window.Show();
  std::printf("History window opens (%s, %zu points): %.1f ms (goal: under 300 ms)\n",
              std::string(kHistorySpans[static_cast<size_t>(window.spanIndex)].caption).c_str(),
              window.points.size(), Ms(Steady::now() - open));
  for (int i = 0; i < static_cast<int>(kHistorySpans.size()); ++i) {
    const auto t0 = Steady::now();
    window.OnSpanClick(i);
    std::printf("  span %-12s %4zu points, %3zu top rows: %.1f ms\n",
                std::string(kHistorySpans[static_cast<size_t>(i)].caption).c_str(),
                window.points.size(), window.topRows.size(), Ms(Steady::now() - t0));
  }
  const auto hover = Steady::now();
  for (int i = 0; i < 100; ++i) window.OnHover(window.from + i * 6000);
  std::printf("  hover lookup: %.2f ms each\n", Ms(Steady::now() - hover) / 100);
  // Two hours of a long span, as a drag over the graph makes them: single samples again.
  const auto zoom = Steady::now();
  window.OnZoom(window.to - 10 * 86400, window.to - 10 * 86400 + 7200);
  std::printf("  zoom to 2 hours (%zu points): %.1f ms\n", window.points.size(),
              Ms(Steady::now() - zoom));
  const auto refresh = Steady::now();
  window.OnTmrRefreshTick();
  std::printf("  refresh of the open window (31 days, %zu events): %.1f ms\n",
              window.eventRows.size(), Ms(Steady::now() - refresh));
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char* argv[]) {
  namespace fs = std::filesystem;
  std::string folder;
  bool own = false;
  if (argc > 1) {
    folder = argv[1];
  } else {
    std::string pattern = (fs::temp_directory_path() / "tarnwick-history-bench-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    own = true;
  }
  tarnwick::RecordDay(folder + "/day1.sqlite", 1);
  tarnwick::RecordDay(folder + "/day5.sqlite", 5);
  tarnwick::TopScan();
  tarnwick::OpenWindow(folder + "/month.sqlite");
  if (own) fs::remove_all(folder);
  return 0;
}
