// tarnwick.exe as one object: the Windows services, the libcurl transport on a worker thread,
// the mailer launcher and the test mail's SMTP client with their answers posted to the UI thread,
// the usage history, the main window's model and the Win32 views (the main window, History and
// Processes), and the message loop. The
// program's main and the tests of the whole program build the same object.
#pragma once

#include <windows.h>

#include <memory>

namespace tarnwick {
class MainWindowModel;
class HistoryWindowModel;
class ProcessesWindowModel;
}  // namespace tarnwick

namespace tarnwick::win32 {

class MainWindow;
class HistoryWindow;
class ProcessesWindow;
class Win32UiServices;

class Program {
 public:
  // Builds everything on the calling thread, which becomes the UI thread; no window shows yet.
  Program();
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The main window's load: settings, tray entry, login; the window shows.
  void Start();
  // The message loop until the model ends the program; its exit code.
  int Run();
  // Runs the messages waiting now, as the message loop would, and returns.
  void PumpMessages();

  MainWindowModel& model();
  MainWindow& window();
  HistoryWindowModel& historyModel();
  HistoryWindow& historyWindow();
  ProcessesWindowModel& processesModel();
  ProcessesWindow& processesWindow();
  Win32UiServices& ui();

 private:
  // Hands one message to the dialogs' keyboard handling or to its window.
  void Dispatch(MSG& message);
  // The end of monitoring in the history, written at once (the program's end, or the end of the
  // Windows session, after which the process gets no further turn).
  void EndMonitoring();

  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace tarnwick::win32
