// The local stand-in of the web service for a benchmark, run by Debian's Python (which has the
// script's modules) on a loopback port the system picks; ended with the benchmark.
#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <cstdio>
#include <string>

namespace tarnwick::bench {

class StandIn {
 public:
  // `script` is textpost_standin.py; `options` follow "--port 0".
  StandIn(const std::string& script, const QStringList& options) {
    const QString python =
        QFile::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3") : "python3";
    process_.start(python, QStringList{QString::fromStdString(script), QStringLiteral("--port"),
                                       QStringLiteral("0")} +
                               options);
    // "READY <port>" once it listens.
    if (!process_.waitForReadyRead(10000)) return;
    const std::string ready = process_.readLine().trimmed().toStdString();
    port_ = ready.substr(ready.find(' ') + 1);
  }
  ~StandIn() {
    process_.terminate();
    process_.waitForFinished(3000);
  }
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  // Empty when it did not start.
  const std::string& port() const { return port_; }

 private:
  QProcess process_;
  std::string port_;
};

// The main of a benchmark against the stand-in: its only argument is the path of
// textpost_standin.py, which `run` gets; Qt's event loop is ready for it.
inline int StandInBenchMain(int argc, char* argv[], int (*run)(const std::string& script)) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <path of textpost_standin.py>\n", argv[0]);
    return 2;
  }
  return run(argv[1]);
}

}  // namespace tarnwick::bench
