// The platform services the engine works with.
#pragma once

#include "common/clock.h"
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
};

}  // namespace tarnwick
