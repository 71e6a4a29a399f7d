#include "program.h"

#include <commctrl.h>

#include <string>

#include "common/clock.h"
#include "engine/engine.h"
#include "forms/main_window_model.h"
#include "forms/window_places.h"
#include "history/history_listener.h"
#include "history/history_recorder.h"
#include "history/history_window_model.h"
#include "history/top_scan.h"
#include "history_window.h"
#include "main_window.h"
#include "platform/curl/background_smtp_client.h"
#include "platform/curl/worker_url_transport.h"
#include "platform/owner_only_file.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "platform/windows/nt_process_lister.h"
#include "platform/windows/windows_autostart.h"
#include "platform/windows/windows_clock.h"
#include "platform/windows/windows_counters.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_mailer_launcher.h"
#include "platform/windows/windows_process_killer.h"
#include "platform/windows/windows_sound_player.h"
#include "platform/windows/windows_system_info.h"
#include "processes/processes_window_model.h"
#include "processes_window.h"
#include "ui_services.h"
#include "ui_thread.h"

namespace tarnwick::win32 {

// Declared in the order they are made: each part outlives the parts made after it.
struct Program::Parts {
  WindowsClock clock;
  Win32UiServices ui;
  WindowsSystemInfo system;
  WindowsCpuCounters cpuCounters;
  WindowsMemoryReader memory;
  NtProcessLister processes;
  WindowsSoundPlayer sound;
  WindowsFileSystem files;
  // URL completions, mailer exits and test mail answers come back through the message loop.
  Win32UiThread uiThread;
  WorkerUrlTransport transport{uiThread.Poster()};
  WindowsMailerLauncher mailerLauncher{uiThread.Poster()};
  BackgroundSmtpClient smtpClient{uiThread.Poster()};
  WindowsProcessKiller killer;
  // File > Start with the session: the HKCU Run entry of this program.
  WindowsAutostart autostart;
  std::unique_ptr<Engine> engine;
  std::unique_ptr<MainWindowModel> model;
  // The usage history; made after the engine, so that its last write still has the log.
  std::unique_ptr<ProcessTopScan> topScan;
  std::unique_ptr<SqliteHistoryStore> historyStore;
  std::unique_ptr<HistoryRecorder> history;
  std::unique_ptr<HistoryListener> historyListener;
  std::unique_ptr<Listening> historyListening;
  std::unique_ptr<MainWindow> window;
  // Where the History and Processes windows were left, per monitor; outlives both views.
  std::unique_ptr<WindowPlaces> windowPlaces;
  std::unique_ptr<HistoryWindowModel> historyModel;
  std::unique_ptr<HistoryWindow> historyWindow;
  // Windows has no user ids for processes: the lists' user column stays empty.
  std::unique_ptr<ProcessesWindowModel> processesModel;
  std::unique_ptr<Listening> processesListening;
  std::unique_ptr<ProcessesWindow> processesWindow;
  bool monitoringEnded = false;
};

Program::Program() : parts_(std::make_unique<Parts>()) {
  Parts& p = *parts_;
  p.system.SetUserSettingsFallback(true);
  EngineDeps deps{p.clock, p.system, p.cpuCounters, p.memory, p.processes, p.sound, p.files};
  // The Login menu is there for a refused password; a lost connection is tried again.
  deps.loginRetry = LoginRetry::AfterConnectionFailure;
  deps.events = &p.ui;
  deps.urlTransport = &p.transport;
  deps.mailerLauncher = &p.mailerLauncher;
  deps.processKiller = &p.killer;
  p.engine = std::make_unique<Engine>(deps);
  Engine& engine = *p.engine;
  p.model = std::make_unique<MainWindowModel>(
      engine, MainWindowServices{p.ui, &p.smtpClient, &p.autostart});
  MainWindowModel& model = *p.model;

  p.topScan = std::make_unique<ProcessTopScan>(
      p.processes, p.clock, p.system.ProcessorCount(), [&engine] { return engine.totalMemory; },
      p.system.ExecutableSuffix());
  p.historyStore = std::make_unique<SqliteHistoryStore>(
      p.system.LogFolder() + p.system.PathSeparator() + std::string(kHistoryFileName));
  p.history = std::make_unique<HistoryRecorder>(
      p.clock, *p.historyStore, [&engine](const std::string& line) { engine.WriteLog(line); },
      p.topScan.get(),
      [&engine](const std::string& line) {
        engine.ReportFailure(FailureResult::Kind::History, line);
      });
  p.historyListener = std::make_unique<HistoryListener>(*p.history);
  p.historyListening = std::make_unique<Listening>(engine, *p.historyListener);

  p.window = std::make_unique<MainWindow>(model);
  p.windowPlaces = std::make_unique<WindowPlaces>(
      p.files,
      p.system.SettingsFolder() + p.system.PathSeparator() + std::string(kWindowPlacesFileName),
      [&engine](const std::string& line) { engine.WriteLog(line); });
  p.windowPlaces->Load();
  p.historyModel = std::make_unique<HistoryWindowModel>(
      p.clock, engine.settings, p.historyStore.get(), p.history.get(),
      HistoryExport{&p.ui, &CreateOwnerOnlyFile, p.system.LogFolder()});
  p.historyWindow = std::make_unique<HistoryWindow>(*p.historyModel);
  HistoryWindow& historyView = *p.historyWindow;
  historyView.UsePlaces(*p.windowPlaces);
  p.window->SetHistoryCommand([&historyView] { historyView.Open(); });
  p.window->SetNoteCommand(
      [&historyView](int64_t t, HistoryEventKind kind) { historyView.OpenOn(t, kind); });
  p.processesModel = std::make_unique<ProcessesWindowModel>(engine.processSampler(), engine,
                                                            p.system.ExecutableSuffix(), nullptr);
  p.processesListening = std::make_unique<Listening>(engine, *p.processesModel);
  p.processesWindow = std::make_unique<ProcessesWindow>(*p.processesModel);
  ProcessesWindow& processesView = *p.processesWindow;
  processesView.UsePlaces(*p.windowPlaces);
  p.window->SetProcessesCommand([&processesView] { processesView.Open(); });

  MainWindow& window = *p.window;
  // Letting events run inside a handler shows the model's state as it is at that moment (the
  // busy caption while the CPU is sampled, for one).
  p.ui.SetBeforeEvents([&window] { window.Render(); });
  p.ui.SetPump([this] { PumpMessages(); });
  p.uiThread.SetAfterWork([&window] { window.Render(); });
  p.window->SetSessionEnding([this] { EndMonitoring(); });
}

Program::~Program() {
  EndMonitoring();
}

void Program::EndMonitoring() {
  Parts& p = *parts_;
  // Ending the program ends monitoring; the history says so and writes what it holds.
  if (p.engine->MonitoringOn() && !p.monitoringEnded) {
    p.history->RecordEvent(HistoryEventKind::MonitoringStopped, std::string(kMonitoringStopped));
  }
  p.monitoringEnded = true;
  p.history->Flush();
}

void Program::Start() {
  parts_->model->OnLoad();
  parts_->window->Render();
}

void Program::Dispatch(MSG& message) {
  if (parts_->window->DialogMessage(message)) return;
  if (parts_->historyWindow->KeyMessage(message)) return;
  if (parts_->processesWindow->KeyMessage(message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void Program::PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The quit belongs to the loop of Run: it is handed back for that loop to see.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Dispatch(message);
  }
}

int Program::Run() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) Dispatch(message);
  return static_cast<int>(message.wParam);
}

MainWindowModel& Program::model() {
  return *parts_->model;
}
MainWindow& Program::window() {
  return *parts_->window;
}
HistoryWindowModel& Program::historyModel() {
  return *parts_->historyModel;
}
HistoryWindow& Program::historyWindow() {
  return *parts_->historyWindow;
}
ProcessesWindowModel& Program::processesModel() {
  return *parts_->processesModel;
}
ProcessesWindow& Program::processesWindow() {
  return *parts_->processesWindow;
}
Win32UiServices& Program::ui() {
  return parts_->ui;
}

}  // namespace tarnwick::win32
