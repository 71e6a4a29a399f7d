// The least a Qt desktop program pays for the same cycle, for the whole-program benchmark
// (bench/program_cost.py) to set beside the bare loop: a window with one label and a 1-second
// QTimer that reads /proc/stat and /proc/meminfo the bare loop's way and shows both percentages
// with the time, so the label's text changes on every tick.
//
//   tarnwick_bare_qt_loop shown    the window is shown: the floor of a Qt program that paints
//                                  a changing label
//   tarnwick_bare_qt_loop hidden   the window is never shown, as one hidden in the tray: the
//                                  floor of Qt's event loop and timer
//
// Runs until it is terminated.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTime>
#include <QTimer>
#include <cstdio>
#include <string_view>

#include "bare_proc.h"

int main(int argc, char** argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "";
  if (mode != "shown" && mode != "hidden") {
    std::fprintf(stderr, "usage: %s shown|hidden\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  QMainWindow window;
  auto* label = new QLabel(&window);
  window.setCentralWidget(label);
  window.resize(320, 120);
  if (mode == "shown") window.show();

  bare::CpuTimes last = bare::ReadCpu();
  QTimer timer;
  timer.setInterval(1000);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    const bare::CpuTimes now = bare::ReadCpu();
    const unsigned long long total = now.total - last.total;
    const unsigned long long cpu = total == 0 ? 0 : (now.busy - last.busy) * 100 / total;
    last = now;
    label->setText(QStringLiteral("%1 % / %2 %  %3")
                       .arg(cpu)
                       .arg(bare::MemoryPercent())
                       .arg(QTime::currentTime().toString(Qt::ISODate)));
  });
  timer.start();
  return QApplication::exec();
}
