// The local stand-in of the web service as a child of a test that runs the real programs: its
// command line, and the port it reports once it listens.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "app/program_runner.h"
#include "settings/settings.h"

namespace tarnwick::testing {

#ifdef TARNWICK_STANDIN_SCRIPT
// The stand-in on a loopback port the system picks, for one account, writing every request it
// gets to `log` as a JSON line; `extra` options follow (a mode, credits, a certificate).
inline std::vector<std::string> StandInCommand(const std::string& account,
                                               const std::string& password, const std::string& log,
                                               const std::vector<std::string>& extra = {}) {
  // Debian's own Python, which has the modules the script needs.
  std::vector<std::string> argv{"/usr/bin/python3",
                                TARNWICK_STANDIN_SCRIPT,
                                "--port",
                                "0",
                                "--account",
                                account,
                                "--password",
                                password,
                                "--log",
                                log};
  argv.insert(argv.end(), extra.begin(), extra.end());
  return argv;
}
#endif

// Settings whose every 1 s sample exceeds (CPU over 0%, memory never) and that alert after
// `numHigh` of them by SMS through the stand-in's account, naming `host`, with no daily SMS cap in
// the way.
inline Settings AlertingSettings(const std::string& host, const std::string& account,
                                 const std::string& password, const std::string& numHigh = "2") {
  Settings s;
  s.TimeInterval = "1";
  s.cpu_High = "0";
  s.mem_High = "101";
  s.num_High = numHigh;
  s.host_Name = host;
  s.Enable_alert = 1;
  s.smsEmail = account;
  s.smsPassword = password;
  s.smsPhone = "+15550100";
  s.max_SMS = "9999";
  return s;
}

// The port of the "READY <port>" line the stand-in writes once it listens; empty when no such
// line came within `limit`.
inline std::string WaitForReadyPort(RunningProgram& standIn,
                                    std::chrono::milliseconds limit = std::chrono::seconds(15)) {
  std::string port;
  standIn.WaitForOutput(
      [&](const std::string& out) {
        const size_t at = out.find("READY ");
        if (at == std::string::npos || out.find('\n', at) == std::string::npos) return false;
        port = out.substr(at + 6, out.find('\n', at) - at - 6);
        return true;
      },
      limit);
  return port;
}

}  // namespace tarnwick::testing
