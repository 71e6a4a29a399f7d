// The platform services the engine works with.
#pragma once

#include <functional>
#include <string_view>

#include "common/clock.h"
#include "engine/login_recovery.h"
#include "platform/cpu_counters.h"
#include "platform/file_system.h"
#include "platform/mailer_launcher.h"
#include "platform/memory_reader.h"
#include "platform/process_killer.h"
#include "platform/process_list.h"
#include "platform/sound_player.h"
#include "platform/system_info.h"
#include "platform/ui_services.h"
#include "platform/url_transport.h"

namespace tarnwick {

struct EngineDeps {
  IClock& clock;
  ISystemInfo& system;
  ICpuCounterSource& cpuCounters;
  IMemoryReader& memory;
  IProcessLister& processes;
  ISoundPlayer& sound;
  // The settings files and the daily log.
  IFileSystem& files;
  // Lets pending window events run at the start of each cycle; none without a window.
  IEventPump* events = nullptr;
  // The web service's transport and the mailer's launcher. Without them (the bare core, as in
  // benchmarks) no alert leaves the program and every login takes the no-account path.
  IUrlTransport* urlTransport = nullptr;
  IMailerLauncher* mailerLauncher = nullptr;
  // Terminates processes; without it no process is ever terminated and the program monitor is
  // off.
  IProcessKiller* processKiller = nullptr;
  // Which failed logins are tried again in the background.
  LoginRetry loginRetry = LoginRetry::Off;
  // Random numbers in [0, 1) that spread the retries; a generator seeded from the clock without.
  std::function<double()> random = {};
  // The log's line when no account is set up: it says where this program sets one up.
  std::string_view noAccountLine = {};
};

}  // namespace tarnwick
