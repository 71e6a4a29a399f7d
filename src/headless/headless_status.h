// Without a desktop nobody sees the window; the headless program prints the account status and
// the credits whenever they change, next to the log lines.
#pragma once

#include <functional>
#include <string>

namespace tarnwick {

class MainWindowModel;

class HeadlessStatus {
 public:
  explicit HeadlessStatus(std::function<void(const std::string&)> print)
      : print_(std::move(print)) {}
  // Prints "Account status: " + Label4 and "SMS credits: " + Label7 when they changed.
  void Report(const MainWindowModel& model);

 private:
  std::function<void(const std::string&)> print_;
  std::string account_;
  std::string credits_;
};

}  // namespace tarnwick
