// The local stand-in of the web service for a benchmark, run by Debian's Python (which has the
// script's modules) on a loopback port the system picks; ended with the benchmark.
#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
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

}  // namespace tarnwick::bench
