// The widgets of the main window under the names of the model's controls, and their layout.
// Each widget's objectName is the control's name ("lblCPUValue[0]"), so tests and tools find
// them the way the model names them.
#pragma once

#include <QString>

class QAction;
class QGroupBox;
class QLabel;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;

namespace tarnwick {

class LogPane;

// Fixed texts of the view that the model does not hold.
inline constexpr char kFileMenuTitle[] = "&File";
inline constexpr char kLogMenuTitle[] = "&Log";
// The program row's heading, "Curremt(%) / Set     Exceed Counts / Alert Set", stands in two
// halves, each above its pair of values.
inline constexpr char kProgramValueHeading[] = "Curremt(%) / Set";
inline constexpr char kProgramCountHeading[] = "Exceed Counts / Alert Set";
inline constexpr char kExceedCountCaption[] = "Exceed count:";
inline constexpr char kThresholdCaption[] = "Threshold:";

struct MainWindowForm {
  QMenu* fileMenu = nullptr;
  QMenu* logMenu = nullptr;
  QAction* Setup = nullptr;
  QAction* mPGMSetup = nullptr;
  QAction* SMTPsetup = nullptr;
  QAction* Login = nullptr;
  QAction* mStart = nullptr;
  QAction* mAutostart = nullptr;
  QAction* mNotify = nullptr;
  QAction* mnuQuit = nullptr;
  QAction* mViewLog = nullptr;

  QGroupBox* Frame1 = nullptr;
  QGroupBox* Frame3 = nullptr;
  QProgressBar* CPU_Progress = nullptr;
  QProgressBar* RAM_Progress = nullptr;
  QLabel* lblCPUValue[2] = {};
  QLabel* lblRamValue[3] = {};
  QLabel* lblRamDisp[3] = {};
  QLabel* lblCPU_count = nullptr;
  QLabel* lblmem_Count = nullptr;
  QLabel* lblNum_count[2] = {};
  QLabel* lbl_Threshold[2] = {};
  // Program monitor rows: the name in the CPU frame is Label6[0], in the memory frame Label6[2];
  // Label6[1] has no widget.
  QLabel* Label6[3] = {};
  QLabel* pgmCPU = nullptr;
  QLabel* pgmCPU_Setting = nullptr;
  QLabel* pgmCPU_count = nullptr;
  QLabel* pgmCPU_Warn = nullptr;
  QLabel* pgmMEM = nullptr;
  QLabel* pgmMEM_Setting = nullptr;
  QLabel* pgmMEM_Count = nullptr;
  QLabel* pgmMEM_Alert = nullptr;

  QPushButton* Command1 = nullptr;
  QLabel* lblTimeinterval = nullptr;
  QLabel* lblNum = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* lbl_lastTime = nullptr;
  LogPane* txtLog = nullptr;
};

// Creates the menus and the central widget of `window` and returns its widgets.
MainWindowForm BuildMainWindowForm(QMainWindow& window);

}  // namespace tarnwick
