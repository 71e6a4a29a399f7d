// The local stand-in of the web service (tests/fixtures/textpost_standin.py) as a child process
// of a Qt test, started from an argument list on a free port, its requests read back from its
// log; and the certificates an https stand-in is started with.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarnwick::testing {

inline QString Python() {
  if (QFile::exists("/usr/bin/python3")) return "/usr/bin/python3";
  return QStandardPaths::findExecutable("python3");
}

// A self-signed certificate for "localhost" and 127.0.0.1 with its key, made by openssl:
// `folder`/`name`.pem and `folder`/`name`.key. A client that trusts the .pem (SSL_CERT_FILE)
// trusts the server that shows it, and no other.
inline bool MakeCertificate(const TempDir& folder, const std::string& name) {
  QProcess openssl;
  openssl.setProcessChannelMode(QProcess::ForwardedChannels);
  openssl.start(
      "/usr/bin/openssl",
      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
       "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-days",
       "2", "-keyout", QString::fromStdString(folder / (name + ".key")), "-out",
       QString::fromStdString(folder / (name + ".pem"))});
  return openssl.waitForFinished(60'000) && openssl.exitStatus() == QProcess::NormalExit &&
         openssl.exitCode() == 0;
}

class StandIn {
 public:
  // Started with `args` after its own --port 0 and --log; every request it receives goes to
  // `logPath`, one JSON line each.
  StandIn(const std::string& logPath, const QStringList& args) : logPath_(logPath) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList all{TARNWICK_STANDIN_SCRIPT, "--port", "0", "--log",
                    QString::fromStdString(logPath)};
    all += args;
    process_.start(Python(), all);
    if (!process_.waitForStarted(10'000)) return;
    QElapsedTimer clock;
    clock.start();
    while (!process_.canReadLine() && clock.elapsed() < 10'000) process_.waitForReadyRead(500);
    const QString line = QString::fromUtf8(process_.readLine()).trimmed();
    if (line.startsWith("READY ")) port_ = line.mid(6).toInt();
  }
  ~StandIn() {
    if (process_.state() != QProcess::NotRunning) Stop();
  }
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  // SIGTERM, then the exit code (-1 when it had to be killed or crashed).
  int Stop() {
    process_.terminate();
    if (!process_.waitForFinished(5'000)) {
      process_.kill();
      process_.waitForFinished(5'000);
      return -1;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
  }

  int port() const { return port_; }
  // "http://127.0.0.1:PORT" + `pathAndQuery` (https:// with `secure`).
  std::string Url(const std::string& pathAndQuery, bool secure = false) const {
    return std::string(secure ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
           pathAndQuery;
  }

  // Every request logged so far, one JSON line each, oldest first.
  std::vector<std::string> Requests() const {
    std::vector<std::string> lines;
    std::istringstream log(ReadFile(logPath_));
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
  }

 private:
  std::string logPath_;
  QProcess process_;
  int port_ = 0;
};

}  // namespace tarnwick::testing
