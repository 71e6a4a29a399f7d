// Helpers of the mail tests: programs run from argument lists (posix_spawn, never a shell), a
// real SMTP server (tests/fixtures/smtp_server.py) with its own self-signed certificate, the
// mails it took, and this process's children as /proc shows them.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "settings/settings.h"
#include "support/loopback_port.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tarnwick::mailtest {

using namespace std::chrono_literals;

inline constexpr const char* kPython = "/usr/bin/python3";
inline constexpr const char* kOpenssl = "/usr/bin/openssl";
inline constexpr const char* kSmtpUser = "monitor@example.org";
inline constexpr const char* kSmtpPassword = "s3cret#%pw";
inline constexpr const char* kCaFileVariable = "SSL_CERT_FILE";

// Polls `done` every 50 ms until it holds or `limit` has passed; its last answer.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

struct RunResult {
  int exitCode = -1;  // -1: killed at the time limit or not started
  std::string out;
  std::string err;
};

// Runs `argv` (argv[0] a full path) to its end with `input` on standard input; killed after
// `limit`. Output goes through files in `scratch`, so no pipe can fill up and stall it.
inline RunResult Run(const std::vector<std::string>& argv, const std::string& input,
                     const testing::TempDir& scratch, std::chrono::milliseconds limit = 90s) {
  static int serial = 0;
  const std::string tag = std::to_string(++serial);
  const std::string inPath = scratch / ("run" + tag + ".in");
  const std::string outPath = scratch / ("run" + tag + ".out");
  const std::string errPath = scratch / ("run" + tag + ".err");
  testing::WriteFile(inPath, input);

  std::vector<std::string> args = argv;
  std::vector<char*> raw;
  for (std::string& a : args) raw.push_back(a.data());
  raw.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  RunResult result;
  if (spawned != 0) return result;

  int status = 0;
  const bool ended = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit);
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  } else if (WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
  }
  result.out = testing::ReadFile(outPath);
  result.err = testing::ReadFile(errPath);
  return result;
}

// One mail as the server took it; the texts are decoded by Python's email package.
struct ReceivedMail {
  std::string from;
  std::vector<std::string> rcpt;
  std::string content;  // raw, as it came after DATA
  std::string subject;
  std::string body;
  std::vector<std::string> headers;  // names, in order
};

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

enum class TlsMode { kImplicit, kStartTls };

// The SMTP server of a test, started in the constructor and stopped (SIGTERM) at the end. It
// wants AUTH with kSmtpUser / kSmtpPassword. Its certificate is made for this one server; the
// constructor points SSL_CERT_FILE at it, so clients in this process and its children trust it
// with verification on.
class SmtpServer {
 public:
  // Implicit TLS listens on port 465, as a provider does. Several tests may run at once, so each
  // takes a loopback address of its own (127.x.y.z) for it. STARTTLS takes a free port. The
  // Windows mailer under Wine (TARNWICK_WINDOWS_BIN, one test at a time) must reach the server by
  // the name "localhost", so there it listens on 127.0.0.1.
  explicit SmtpServer(TlsMode mode) : mode_(mode) {
    std::mt19937 random(std::random_device{}());
    const bool ownAddress = std::getenv("TARNWICK_WINDOWS_BIN") == nullptr;
    for (int attempt = 0; attempt < 5 && port_ == 0; ++attempt) {
      if (mode == TlsMode::kImplicit && ownAddress) {
        host_ = "127." + std::to_string(random() % 200 + 20) + "." +
                std::to_string(random() % 250 + 1) + "." + std::to_string(random() % 250 + 1);
      } else {
        host_ = "127.0.0.1";
      }
      if (!MakeCertificate()) return;
      Start(mode == TlsMode::kImplicit ? 465 : 0);
    }
    if (port_ != 0) setenv(kCaFileVariable, (dir_ / "cert.pem").c_str(), 1);
  }
  ~SmtpServer() { Stop(); }
  SmtpServer(const SmtpServer&) = delete;
  SmtpServer& operator=(const SmtpServer&) = delete;

  bool ready() const { return port_ != 0; }
  pid_t pid() const { return pid_; }
  const std::string& host() const { return host_; }
  std::string port() const { return std::to_string(port_); }
  std::string certificate() const { return dir_ / "cert.pem"; }
  // Why the server did not start, for the failure message.
  std::string log() const { return startOutput_ + testing::ReadFile(dir_ / "server.err"); }

  std::vector<ReceivedMail> Mails() const {
    std::vector<ReceivedMail> mails;
    for (int n = 1;; ++n) {
      const std::filesystem::path folder = dir_.path() / "mails" / std::to_string(n);
      if (!std::filesystem::is_directory(folder)) break;
      auto read = [&](const char* name) { return testing::ReadFile((folder / name).string()); };
      ReceivedMail mail;
      mail.from = read("from");
      if (!mail.from.empty() && mail.from.back() == '\n') mail.from.pop_back();
      mail.rcpt = Lines(read("rcpt"));
      mail.content = read("content");
      mail.subject = read("subject");
      mail.body = read("body");
      mail.headers = Lines(read("headers"));
      mails.push_back(std::move(mail));
    }
    return mails;
  }

  // The first mail, once it has come within `limit`.
  std::optional<ReceivedMail> WaitForMail(std::chrono::milliseconds limit = 60s) const {
    if (!WaitFor([&] { return !Mails().empty(); }, limit)) return std::nullopt;
    return Mails().front();
  }

 private:
  bool MakeCertificate() {
    const std::string san = "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:" + host_;
    const RunResult made =
        Run({kOpenssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost",
             "-addext", san, "-days", "2", "-keyout", dir_ / "key.pem", "-out", dir_ / "cert.pem"},
            "", dir_, 60s);
    startOutput_ = made.err;
    return made.exitCode == 0;
  }

  void Start(int port) {
    std::vector<std::string> args = {
        kPython,      TARNWICK_SMTP_SERVER_SCRIPT,
        "--host",     host_,
        "--port",     std::to_string(port),
        "--tls",      mode_ == TlsMode::kImplicit ? "implicit" : "starttls",
        "--cert",     dir_ / "cert.pem",
        "--key",      dir_ / "key.pem",
        "--user",     kSmtpUser,
        "--password", kSmtpPassword,
        "--outdir",   dir_ / "mails"};
    std::vector<char*> raw;
    for (std::string& a : args) raw.push_back(a.data());
    raw.push_back(nullptr);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return;
    const std::string errPath = dir_ / "server.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int spawned = posix_spawn(&pid_, kPython, &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (spawned != 0) {
      pid_ = -1;
      close(ends[0]);
      return;
    }
    // "READY <port>", or "FAILED ..." (the address is taken) and the end of the output.
    std::string seen;
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (seen.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
      pollfd p{ends[0], POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      char buffer[128];
      const ssize_t n = read(ends[0], buffer, sizeof buffer);
      if (n <= 0) break;
      seen.append(buffer, static_cast<size_t>(n));
    }
    close(ends[0]);
    startOutput_ += seen;
    if (seen.rfind("READY ", 0) == 0) {
      port_ = std::atoi(seen.c_str() + 6);
    } else {
      Stop();
    }
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    if (!WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 10s)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }

  TlsMode mode_;
  testing::TempDir dir_;
  std::string host_;
  int port_ = 0;
  pid_t pid_ = -1;
  std::string startOutput_;
};

// The settings' second SMTP server switched on and pointed at `server`, with the test's account
// as sender and login.
inline void UseAsSecondServer(Settings& s, const SmtpServer& server) {
  s.Enable_SMTP = 1;
  s.mailSvr = server.host();
  s.SMTPport = server.port();
  s.mailFrom = kSmtpUser;
  s.MailUser = kSmtpUser;
  s.MailPass = kSmtpPassword;
}

struct ChildState {
  pid_t pid;
  char state;  // as in /proc/<pid>/stat: R, S, Z, ...
};

// This process's children, found by their parent in /proc/<pid>/stat.
inline std::vector<ChildState> Children() {
  std::vector<ChildState> children;
  const pid_t self = getpid();
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = testing::ReadFile((entry.path() / "stat").string());
    // "pid (comm) state ppid ...": comm may hold blanks and parentheses, so read after the last
    // ')'.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    char state = 0;
    pid_t parent = 0;
    rest >> state >> parent;
    if (parent == self) children.push_back({std::atoi(name.c_str()), state});
  }
  return children;
}

// This process's children other than `except` (the test's SMTP server), once they are all gone
// or after `limit`.
inline std::vector<ChildState> ChildrenLeftAfter(std::chrono::milliseconds limit,
                                                 pid_t except = -1) {
  auto others = [except] {
    std::vector<ChildState> left;
    for (const ChildState& c : Children()) {
      if (c.pid != except) left.push_back(c);
    }
    return left;
  };
  WaitFor([&] { return others().empty(); }, limit);
  return others();
}

}  // namespace tarnwick::mailtest
