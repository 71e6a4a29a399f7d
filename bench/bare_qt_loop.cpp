// The least a Qt desktop program pays for the same cycle, for the whole-program benchmark
// (bench/program_cost.py) to set beside the bare loop: a window with one label and a 1-second
// QTimer that reads /proc/stat and /proc/meminfo the bare loop's way and shows both percentages
// with the time, so the label's text changes on every tick. Minimised by the benchmark, it is
// the floor of a hidden Qt program; shown, the floor of one that paints a changing label.
// Runs until it is terminated.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTime>
#include <QTimer>

#include "bare_proc.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  auto* label = new QLabel(&window);
  window.setCentralWidget(label);
  window.resize(320, 120);
  window.show();

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
