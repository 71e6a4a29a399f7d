// Fakes of the platform services for tests of the core: a clock that stands where the test puts
// it, a UI recorder, and machines whose counters and processes the test scripts.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "platform/cpu_counters.h"
#include "platform/mailer_launcher.h"
#include "platform/memory_reader.h"
#include "platform/process_list.h"
#include "platform/sound_player.h"
#include "platform/system_info.h"
#include "platform/ui_services.h"
#include "platform/ui_thread.h"
#include "platform/url_transport.h"

namespace tarnwick::testing {

class FakeClock final : public IClock {
 public:
  LocalTime now{2026, 12, 4, 10, 15, 7};
  long long monotonicNs = 1'000'000'000;
  std::vector<long long> sleptMs;

  LocalTime Now() override { return now; }
  std::string LocaleDateTime() override { return "12/04/26 10:15:07"; }
  void Sleep(std::chrono::milliseconds d) override {
    sleptMs.push_back(d.count());
    monotonicNs += static_cast<long long>(d.count()) * 1'000'000;
  }
  long long MonotonicNs() override { return monotonicNs; }

  void Set(int h, int m, int s) {
    now.hour = h;
    now.minute = m;
    now.second = s;
  }
  // Moves the wall clock on by whole seconds, across midnight into the next day.
  void Advance(int seconds) {
    monotonicNs += static_cast<long long>(seconds) * 1'000'000'000;
    int total = now.hour * 3600 + now.minute * 60 + now.second + seconds;
    while (total >= 86400) {
      total -= 86400;
      ++now.day;
    }
    now.hour = total / 3600;
    now.minute = total / 60 % 60;
    now.second = total % 60;
  }
};

struct RecordedMessage {
  std::string text;
  MessageButtons buttons;
  std::string title;
};

class RecordingUi final : public IUiServices {
 public:
  std::vector<RecordedMessage> messages;
  std::deque<MessageAnswer> answers;  // next answers; the default button when empty
  int doEvents = 0;
  std::vector<std::string> opened;
  std::vector<FilePickRequest> picks;
  std::optional<std::string> pickResult;
  ScreenSize screen{1920, 1080};

  // Runs while the box is open, as the events of a modal box's own loop would (timer ticks, a
  // monitor cycle).
  std::function<void(const RecordedMessage&)> onMessageBox;

  MessageAnswer MessageBox(const std::string& text, MessageButtons buttons,
                           const std::string& title) override {
    messages.push_back({text, buttons, title});
    // A copy: the hook may open another box, which grows `messages`.
    if (onMessageBox) onMessageBox(RecordedMessage(messages.back()));
    if (!answers.empty()) {
      MessageAnswer a = answers.front();
      answers.pop_front();
      return a;
    }
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
  }
  std::function<void()> onDoEvents;  // runs as a pending event would

  void DoEvents() override {
    ++doEvents;
    if (onDoEvents) onDoEvents();
  }
  std::function<void()> onShowNow;  // runs when a handler puts its state on the screen
  void ShowNow() override {
    if (onShowNow) onShowNow();
  }
  void OpenWithViewer(const std::string& path) override { opened.push_back(path); }
  std::optional<std::string> PickFile(const FilePickRequest& request) override {
    picks.push_back(request);
    return pickResult;
  }
  std::vector<FilePickRequest> saves;
  std::optional<std::string> saveResult;  // nullopt: the user cancels
  std::optional<std::string> PickSaveFile(const FilePickRequest& request) override {
    saves.push_back(request);
    return saveResult;
  }
  ScreenSize Screen() override { return screen; }

  struct Input {
    std::string prompt;
    std::string title;
  };
  std::vector<Input> inputs;
  std::optional<std::string> inputResult;  // nullopt: the user cancels
  std::vector<std::string> urls;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string&) override {
    inputs.push_back({prompt, title});
    return inputResult;
  }
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
};

class FakeSystemInfo final : public ISystemInfo {
 public:
  int processors = 4;
  std::string computerName = "WEB01";
  std::string programFolder;
  std::string settingsFolder;  // empty: the program's folder
  std::string logFolder;
  std::string suffix = ".exe";
  std::string ownName = "tarnwick";
  int ownPid = 4242;
  int priorityRaised = 0;

  int ProcessorCount() override { return processors; }
  std::string ComputerName() override { return computerName; }
  std::string ProgramFolder() override { return programFolder; }
  std::string SettingsFolder() override {
    return settingsFolder.empty() ? programFolder : settingsFolder;
  }
  std::string LogFolder() override { return logFolder; }
  std::string PathSeparator() override { return "/"; }
  std::string ExecutableSuffix() override { return suffix; }
  std::string OwnExecutableName() override { return ownName; }
  int OwnProcessId() override { return ownPid; }
  bool EnsureFolder(const std::string&) override { return true; }
  void RaisePriority() override { ++priorityRaised; }
};

// CPU counters that follow a script of busy percentages: each Read advances the counters by one
// second of four processors at the next percentage; -1 makes that read fail.
class FakeCpuCounters final : public ICpuCounterSource {
 public:
  std::deque<int> busy;
  uint32_t processors = 4;
  CpuTimes times{0, 0, 4};

  bool Read(CpuTimes& out) override {
    if (!busy.empty()) {
      int b = busy.front();
      busy.pop_front();
      if (b < 0) return false;
      const uint64_t step = 100ull * processors;  // one second of ticks on every processor
      times.total += step;
      times.idle += step * static_cast<uint64_t>(100 - b) / 100;
    }
    times.processors = processors;
    out = times;
    return true;
  }
};

class FakeMemory final : public IMemoryReader {
 public:
  int64_t total = 8192ll * 1024 * 1024;
  int64_t available = 4096ll * 1024 * 1024;
  int64_t GetRamAmount() override { return total; }
  int64_t GetAvailableBytes() override { return available; }
};

// Processes whose CPU time grows by `sharePct` of one processor per second of the fake clock,
// on top of the time in info.cpuTimeNs they had already used.
class FakeProcessLister final : public IProcessLister {
 public:
  struct Proc {
    ProcessInfo info;
    double sharePct = 0;
  };
  explicit FakeProcessLister(FakeClock& clock) : clock_(clock) {}
  std::vector<Proc> procs;
  bool fail = false;
  int scans = 0;

  void Add(int pid, std::string name, double sharePct, uint64_t workingSetBytes) {
    Proc p;
    p.info.pid = pid;
    p.info.name = std::move(name);
    p.info.workingSetBytes = workingSetBytes;
    p.info.startTicks = static_cast<uint64_t>(pid);
    p.sharePct = sharePct;
    procs.push_back(p);
  }
  bool Snapshot(ProcessSnapshot& snapshot) override {
    ++scans;
    if (fail) return false;
    // CPU time grows at each process's current share since the previous scan.
    const double elapsed = static_cast<double>(clock_.monotonicNs - lastScanNs_);
    lastScanNs_ = clock_.monotonicNs;
    snapshot.processes.clear();
    for (Proc& p : procs) {
      p.info.cpuTimeNs += static_cast<uint64_t>(p.sharePct / 100.0 * elapsed);
      snapshot.processes.push_back(p.info);
    }
    return true;
  }

 private:
  FakeClock& clock_;
  long long lastScanNs_ = 0;
};

class RecordingSound final : public ISoundPlayer {
 public:
  std::vector<std::string> played;
  void PlayWav(const std::string& path) override { played.push_back(path); }
};

// A transport that keeps every read pending until the test completes it.
class FakeUrlTransport final : public IUrlTransport {
 public:
  struct Pending {
    std::string url;
    Completion done;
  };
  std::vector<Pending> pending;
  std::vector<std::string> urls;  // every URL asked for, in order

  void Get(const std::string& url, Completion done) override {
    urls.push_back(url);
    pending.push_back({url, std::move(done)});
  }
  // Completes the oldest pending read.
  void CompleteNext(bool ok, const std::string& body) {
    ASSERT_FALSE(pending.empty());
    Pending p = std::move(pending.front());
    pending.erase(pending.begin());
    p.done(ok, body);
  }
};

// Records each start; the test ends a run with Finish, as the UI thread would hear of it.
class RecordingLauncher final : public IMailerLauncher {
 public:
  struct Started {
    std::string program;
    std::string input;
    MailerFinished finished;
  };
  std::vector<Started> started;
  bool startable = true;
  bool Start(const std::string& program, const std::string& input,
             MailerFinished finished) override {
    if (!startable) return false;
    started.push_back({program, input, std::move(finished)});
    return true;
  }
  // Ends run `index` the way the mailer would.
  void Finish(size_t index, bool sent, const std::string& reason = "") {
    ASSERT_LT(index, started.size());
    started[index].finished(MailerExit{sent, reason});
  }
};

// The UI thread's queue for tests without an event loop: workers post into it from any thread,
// the test runs what arrived on its own thread.
class UiQueue {
 public:
  PostToUiThread Poster() const {
    return [state = state_](std::function<void()> work) {
      const std::lock_guard<std::mutex> lock(state->mutex);
      state->work.push_back(std::move(work));
      state->arrived.notify_all();
    };
  }
  size_t ran = 0;  // pieces of work run so far
  // Runs everything posted so far; returns how much that was.
  size_t RunPending() {
    std::deque<std::function<void()>> work;
    {
      const std::lock_guard<std::mutex> lock(state_->mutex);
      work.swap(state_->work);
    }
    for (auto& w : work) w();
    ran += work.size();
    return work.size();
  }
  // Runs posted work as it arrives until `done` holds or `limit` has passed; true when it holds.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      {
        std::unique_lock<std::mutex> lock(state_->mutex);
        if (!state_->arrived.wait_until(lock, deadline, [&] { return !state_->work.empty(); })) {
          return done();
        }
      }
      RunPending();
    }
    return true;
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<std::function<void()>> work;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace tarnwick::testing
