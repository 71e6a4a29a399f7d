// The sample machine both picture tools show: its settings, its watched program and a history
// with a night of alerts, spelled with the process names of the platform the pictures are
// taken on. Plain C++ without Qt or OS calls, so the Qt and the Win32 pictures share it.
#pragma once

#include <cstdint>
#include <string>

#include "history/history_window_model.h"
#include "platform/file_system.h"
#include "platform/history_store.h"
#include "platform/process_killer.h"
#include "platform/sound_player.h"
#include "platform/system_info.h"
#include "platform/ui_services.h"
#include "settings/settings_store.h"

namespace tarnwick::pictures {

// What differs between a Linux and a Windows sample machine.
struct SampleMachine {
  // Folder of alert.wav and alert1.wav as the settings name it, without a trailing separator.
  std::string soundFolder;
  std::string separator;
  // The kill rule's list of programs that may be terminated.
  std::string killList;
  // The program the program monitor watches: one that runs while the pictures are taken.
  std::string watchedProgram;
  // The nightly backup, on top of the CPU list at 3 a.m.
  std::string backup;
  // The database, on top of the memory list all day.
  std::string database;
  // The afternoon's heavy run.
  std::string afternoon;
  // On top of the CPU list in quiet hours, and second there.
  std::string daytime;
  std::string second;
};

// The machine's facts, with the program and log folders of the pictures' own.
class PictureSystemInfo final : public ISystemInfo {
 public:
  PictureSystemInfo(ISystemInfo& real, std::string folder)
      : real_(real), folder_(std::move(folder)) {}
  int ProcessorCount() override { return real_.ProcessorCount(); }
  std::string ComputerName() override { return real_.ComputerName(); }
  std::string ProgramFolder() override { return folder_; }
  std::string LogFolder() override { return folder_ + real_.PathSeparator() + "monitor_log"; }
  std::string PathSeparator() override { return real_.PathSeparator(); }
  std::string ExecutableSuffix() override { return real_.ExecutableSuffix(); }
  std::string OwnExecutableName() override { return "tarnwick"; }
  int OwnProcessId() override { return real_.OwnProcessId(); }
  bool EnsureFolder(const std::string& path) override { return real_.EnsureFolder(path); }
  // A picture needs no priority.
  void RaisePriority() override {}

 private:
  ISystemInfo& real_;
  std::string folder_;
};

class Silence final : public ISoundPlayer {
 public:
  void PlayWav(const std::string&) override {}
};

// Nothing is ever terminated for a picture.
class RefusingKiller final : public IProcessKiller {
 public:
  bool KillProcess(int, uint64_t) override { return false; }
};

// Settings as an administrator would have them: alerts, the kill rule and the warning sound on,
// and a second SMTP server with the "I am alive" notice.
void WriteSampleSettings(const SampleMachine& machine, SettingsStore& store, IUiServices& ui);

// The program monitor's settings, in `folder`.
void WriteSampleProgramSettings(const SampleMachine& machine, IFileSystem& files,
                                const std::string& folder);

// Two days of history ending at `now`, with the nightly backup at 3 a.m. that raised a CPU and a
// memory alert in the last night that is over. Returns the time of that night's first CPU alert.
int64_t WriteSampleHistory(const SampleMachine& machine, IHistoryStore& store, int64_t now);

// The settings in force for the Processes window's picture: every sample over the thresholds,
// and a kill rule that would terminate the top process (the pictures' killer refuses every
// kill). Nothing of it is saved.
void UseProcessesPictureSettings(Settings& settings);

// The night, as an administrator looking into it would zoom in on it, with its first alert
// picked from the list. `history` is shown already.
void ShowSampleNight(HistoryWindowModel& history, int64_t alertAt, int64_t now);

}  // namespace tarnwick::pictures
