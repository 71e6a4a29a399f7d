// The state of the controls that the form models hold; the Qt views render them.
#pragma once

#include <string>

namespace tarnwick {

// Colours as the forms use them: 0x00BBGGRR.
inline constexpr int kColorBlack = 0;
inline constexpr int kColorRed = 255;
inline constexpr int kColorGreen = 65280;

struct Label {
  std::string caption;
  int foreColor = kColorBlack;
  bool visible = true;
  bool enabled = true;
  bool operator==(const Label&) const = default;
};

struct Button {
  std::string caption;
  int backColor = -1;  // -1: the platform's default
  bool enabled = true;
  bool operator==(const Button&) const = default;
};

struct MenuItem {
  std::string caption;
  bool visible = true;
  bool enabled = true;
  bool checkable = false;
  bool checked = false;
  bool operator==(const MenuItem&) const = default;
};

// A window timer as state: the view starts and stops a real timer from it.
struct Timer {
  bool enabled = false;
  int intervalMs = 1000;
};

struct FormGeometry {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// The size of a window as the user left it, in pixels.
struct FormSize {
  int width = 0;
  int height = 0;
};

enum class WindowState { Normal, Minimized };

// A dialog is not loaded, loaded without being shown (other parts read or fill its boxes), or
// shown. Closing it by Save or Cancel unloads it; the next showing loads it afresh.
enum class FormState { NotLoaded, LoadedHidden, Shown };

// The lifecycle of a dialog model: its load step runs when it comes into being; showing a dialog
// that is already loaded brings it up with its current contents.
class DialogForm {
 public:
  FormState state() const { return state_; }
  // Brings the dialog into being without showing it; the load step runs only the first time.
  void EnsureLoaded() {
    if (state_ != FormState::NotLoaded) return;
    state_ = FormState::LoadedHidden;
    Load();
  }
  // Loads the dialog if needed and shows it (modeless).
  void Show() {
    EnsureLoaded();
    state_ = FormState::Shown;
  }
  // Closing by Save or Cancel unloads it: the next showing loads it afresh.
  void Unload() { state_ = FormState::NotLoaded; }

 protected:
  ~DialogForm() = default;
  // The load step: fills the controls from the settings.
  virtual void Load() = 0;

 private:
  FormState state_ = FormState::NotLoaded;
};

}  // namespace tarnwick
