// The engine with the main window's form model on it, wired as the desktop programs wire them,
// on whatever services a test gives.
#pragma once

#include <memory>

#include "engine/engine.h"
#include "forms/main_window_model.h"

namespace tarnwick::testing {

// The engine's services and the window's, as one list.
struct DeskDeps {
  IClock& clock;
  IUiServices& ui;
  ISystemInfo& system;
  ICpuCounterSource& cpuCounters;
  IMemoryReader& memory;
  IProcessLister& processes;
  ISoundPlayer& sound;
  IFileSystem& files;
  IUrlTransport* urlTransport = nullptr;
  IMailerLauncher* mailerLauncher = nullptr;
  IProcessKiller* processKiller = nullptr;
  IAsyncSmtpClient* smtpClient = nullptr;
  IAutostart* autostart = nullptr;
  LoginRetry loginRetry = LoginRetry::Off;
  std::function<double()> random = {};
};

inline EngineDeps EngineDepsOf(const DeskDeps& d) {
  EngineDeps deps{d.clock, d.system, d.cpuCounters, d.memory, d.processes, d.sound, d.files};
  deps.events = &d.ui;
  deps.urlTransport = d.urlTransport;
  deps.mailerLauncher = d.mailerLauncher;
  deps.processKiller = d.processKiller;
  deps.loginRetry = d.loginRetry;
  deps.random = d.random;
  return deps;
}

class Desk {
 public:
  explicit Desk(const DeskDeps& d)
      : engine(EngineDepsOf(d)),
        form(engine, MainWindowServices{d.ui, d.smtpClient, d.autostart}) {}

  Engine engine;
  MainWindowModel form;
};

}  // namespace tarnwick::testing
