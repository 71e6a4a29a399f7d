// One signal's handler, set the way the program's handlers want it: no signal blocked while it
// runs, and system calls it interrupts restarted.
#pragma once

#include <csignal>

namespace tarnwick {

inline void SetSignalAction(int signalNumber, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(signalNumber, &action, nullptr);
}

}  // namespace tarnwick
