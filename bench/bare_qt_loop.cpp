// The least a Qt desktop program pays for the same cycle, for the whole-program benchmark
// (bench/program_cost.py) to set beside the bare loop: a window with one label, the bare loop's
// reads of /proc/stat and /proc/meminfo every second, and both percentages shown with the time.
//
//   tarnwick_bare_qt_loop shown    a 1-second QTimer does the reads; the window is shown and
//                                  its label changes on every tick: the floor of a Qt program
//                                  that paints a changing label
//   tarnwick_bare_qt_loop hidden   the same with the window never shown, as one hidden in the
//                                  tray: the floor of Qt's event loop and timer
//   tarnwick_bare_qt_loop thread   the window is never shown and Qt's event loop sleeps: a
//                                  thread of its own does the reads every second and hands the
//                                  figures to the label once a minute. It is the floor of any
//                                  Qt program, even one whose cycle runs outside Qt's loop: what
//                                  is left over the bare loop is the cost of waking a thread of
//                                  a large process.
//
// Runs until it is terminated.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMetaObject>
#include <QTime>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string_view>
#include <thread>

#include "bare_proc.h"

namespace {

struct Figures {
  unsigned long long cpu = 0;  // %
  unsigned long long mem = 0;  // %
};

class Sampler {
 public:
  Figures Next() {
    const bare::CpuTimes now = bare::ReadCpu();
    const unsigned long long total = now.total - last_.total;
    const unsigned long long cpu = total == 0 ? 0 : (now.busy - last_.busy) * 100 / total;
    last_ = now;
    return {cpu, bare::MemoryPercent()};
  }

 private:
  bare::CpuTimes last_ = bare::ReadCpu();
};

void Show(QLabel* label, Figures figures) {
  label->setText(QStringLiteral("%1 % / %2 %  %3")
                     .arg(figures.cpu)
                     .arg(figures.mem)
                     .arg(QTime::currentTime().toString(Qt::ISODate)));
}

// Samples every second on its own thread until destroyed; every 60th sample goes to the label.
class SamplingThread {
 public:
  explicit SamplingThread(QLabel* label) : thread_([this, label] { Run(label); }) {}
  ~SamplingThread() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

 private:
  void Run(QLabel* label) {
    Sampler sampler;
    auto next = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    for (int n = 1;; ++n) {
      next += std::chrono::seconds(1);
      if (wake_.wait_until(lock, next, [this] { return stop_; })) return;
      const Figures figures = sampler.Next();
      if (n % 60 == 0) {
        QMetaObject::invokeMethod(
            label, [label, figures] { Show(label, figures); }, Qt::QueuedConnection);
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "";
  if (mode != "shown" && mode != "hidden" && mode != "thread") {
    std::fprintf(stderr, "usage: %s shown|hidden|thread\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  QMainWindow window;
  auto* label = new QLabel(&window);
  window.setCentralWidget(label);
  window.resize(320, 120);
  if (mode == "shown") window.show();

  if (mode == "thread") {
    SamplingThread sampling(label);
    return QApplication::exec();
  }
  Sampler sampler;
  QTimer timer;
  timer.setInterval(1000);
  QObject::connect(&timer, &QTimer::timeout, [&] { Show(label, sampler.Next()); });
  timer.start();
  return QApplication::exec();
}
