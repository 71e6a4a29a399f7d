// The dialog pgmSETUP, the settings of the program monitor, as a model: the state of its controls
// under their names and its event handlers. The Qt view renders it and forwards events to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "controls/form_controls.h"

namespace tarnwick {

class FormContext;
class ProcessControl;

inline constexpr std::string_view kPgmSetupCaption = "Setup to monitor a specific program";
inline constexpr std::string_view kPgmMonitorCaption = "Enable monitoring a specific program";
inline constexpr std::string_view kPgmKillCaption =
    "Kill the program when exceed the threshold limit";
inline constexpr std::string_view kPgmSoundCaption =
    "Play warning sound every time the usage exceed the threshold limit";
inline constexpr std::string_view kPgmNameCaption = "The name of prgormam to be monitored";
inline constexpr std::string_view kPgmCpuCaption = "CPU warning threshold (%)";
inline constexpr std::string_view kPgmMemCaption = "Memory warning threshold (%)";
inline constexpr std::string_view kPgmAlertCaption =
    "# of consecutive usage exceed threshold to trigger alert sending";
inline constexpr std::string_view kPgmSoundFileCaption = "Sound file name";

class PgmSetupModel : public DialogForm {
 public:
  struct TextBox {
    std::string text;
    bool enabled = true;
  };
  struct CheckBox {
    std::string caption;
    int16_t value = 0;  // 0 cleared, 1 set
    bool enabled = true;
  };

  // Both outlive the dialog.
  PgmSetupModel(FormContext& context, ProcessControl& control);

  // Shown by the mPGMSetup menu command; its load step is Form_Load.

  // ---- Event handlers ----
  // Centres the dialog and fills the boxes from the settings.
  void Form_Load();
  // The box was clicked (its value already changed): clearing it clears the kill and sound
  // boxes; those two are enabled exactly while it is set.
  void pgmMonitorF_Click();
  // A click into the example name empties the box.
  void pgmNameF_Click();
  // Picks a WAV file through the file picker; a cancel changes nothing.
  void pgmSelectMusic_Click();
  // Checks the boxes (one message box per failed check keeps the dialog open), then writes
  // pgmsetting.ini and puts the settings in force (a changed name clears the program monitor's
  // alert flags) and closes the dialog.
  void pgmSave_Click();
  void pgmCancel_Click() { Unload(); }

  // ---- Controls ----
  std::string caption = std::string(kPgmSetupCaption);
  FormGeometry geometry{0, 0, 520, 330};
  CheckBox pgmMonitorF{std::string(kPgmMonitorCaption)};
  TextBox pgmNameF;
  TextBox pgmCPUsetF;
  TextBox pgmMEMsetF;
  TextBox pgmAlertSetF;
  CheckBox pgmKillF{std::string(kPgmKillCaption)};
  CheckBox pgmSoundF{std::string(kPgmSoundCaption)};
  TextBox pgmFileSoundF;
  Button pgmSelectMusic{"....."};
  Button pgmSave{"Save"};
  Button pgmCancel{"Cancel"};
  // Captions of the boxes: name, CPU, memory, alert number, sound file.
  Label Label1{std::string(kPgmNameCaption)};
  Label Label2{std::string(kPgmCpuCaption)};
  Label Label3{std::string(kPgmMemCaption)};
  Label Label4{std::string(kPgmAlertCaption)};
  Label Label5{std::string(kPgmSoundFileCaption)};

 private:
  void Load() override { Form_Load(); }

  class Report;

  FormContext& context_;
  ProcessControl& control_;
};

}  // namespace tarnwick
