// Small pieces the Win32 views share: text across the UTF-8/UTF-16 boundary, child controls with
// their IDs, the font and measures of a window at its DPI, and bringing a control in line with a
// model control without disturbing what the user is doing in it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "controls/dialog_controls.h"

namespace tarnwick::win32 {

std::wstring W(std::string_view utf8);
std::string U8(std::wstring_view wide);
std::wstring WindowText(HWND window);
std::string WindowTextUtf8(HWND window);

// Sets the text only when it differs: the caret of a box being typed in stays where it is.
void SetText(HWND window, const std::string& utf8);
void SetEnabled(HWND window, bool enabled);
void SetChecked(HWND button, bool checked);
bool Checked(HWND button);
void SetVisible(HWND window, bool visible);
// The items and the choice of a drop-down list.
void ApplyCombo(HWND combo, const ComboBox& model);

// Registers the class of one of the program's own top-level windows: the arrow cursor, the face
// colour of dialogs and the program's icon (resource 1), with the class `style` given. A class
// that is registered already stays as it is, so each window of a class may call it.
void RegisterTopWindowClass(const wchar_t* name, WNDPROC procedure, UINT style = 0);

// A window opened again while it is open comes back in front, restored when it was minimised.
void BringToFront(HWND window);
// Escape or Ctrl+W pressed in `window` or any of its controls asks the window to close, as its
// close box does; true when `message` was such a key (the message loop then drops it).
bool CloseOnKey(HWND window, const MSG& message);

// The window procedure's work for a window run by an object of class T, which CreateWindowExW
// gets as its last argument: WM_NCCREATE keeps the object with the window and gives it the
// window's handle (its member `handle`); from then on the object's `onMessage` answers the
// window's messages. Messages before that, or of a window that is not the object's own, get the
// default handling.
template <class T>
LRESULT ObjectWindowMessage(HWND T::*handle, LRESULT (T::*onMessage)(UINT, WPARAM, LPARAM),
                            HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<T*>(create->lpCreateParams);
    self->*handle = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || self->*handle != window) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return (self->*onMessage)(message, wParam, lParam);
}

// The message font of the system at a window's DPI, and measures in that font. A view makes one
// when it lays itself out and again when its DPI changes.
class Metrics {
 public:
  explicit Metrics(HWND window);
  ~Metrics();
  Metrics(const Metrics&) = delete;
  Metrics& operator=(const Metrics&) = delete;

  HFONT font() const { return font_; }
  HFONT bold() const { return bold_; }
  int dpi() const { return dpi_; }
  // Pixels at this DPI for a length at 96 DPI.
  int Px(int at96) const { return MulDiv(at96, dpi_, 96); }
  // Width of a text in the message font.
  int TextWidth(std::string_view utf8) const;
  int TextWidth(const std::wstring& text) const;
  // Height of a line of text, and of the controls that hold one.
  int LineHeight() const { return lineHeight_; }
  int EditHeight() const { return lineHeight_ + Px(8); }
  int ButtonHeight() const { return lineHeight_ + Px(10); }
  int CheckHeight() const { return lineHeight_ + Px(4); }
  // Width of a check box or option button with its caption.
  int CheckWidth(std::string_view caption) const { return TextWidth(caption) + Px(24); }
  // Width of a push button with its caption.
  int ButtonWidth(std::string_view caption) const { return TextWidth(caption) + Px(24); }
  // Width of a box for `digits` digits.
  int DigitBox(int digits) const { return digitWidth_ * digits + Px(12); }
  // The gap between controls and the margin of a window or frame.
  int Gap() const { return Px(6); }
  int Margin() const { return Px(10); }

 private:
  int dpi_ = 96;
  HFONT font_ = nullptr;
  HFONT bold_ = nullptr;
  int lineHeight_ = 16;
  int digitWidth_ = 7;
};

// A child control with its ID, in `font`. Labels never read "&" as a mnemonic: their texts
// come from outside too.
HWND Child(HWND parent, const wchar_t* windowClass, std::string_view text, DWORD style, int id,
           DWORD exStyle = 0);
HWND Label(HWND parent, std::string_view text, int id, DWORD extraStyle = 0);
HWND Edit(HWND parent, int id, DWORD extraStyle = 0);
HWND CheckBox(HWND parent, std::string_view caption, int id);
HWND RadioButton(HWND parent, std::string_view caption, int id, bool firstOfGroup);
HWND PushButton(HWND parent, std::string_view caption, int id);
HWND GroupBox(HWND parent, std::string_view caption, int id);
HWND DropDown(HWND parent, int id);
// Gives every child of `parent` the font.
void SetFonts(HWND parent, HFONT font);
void Put(HWND window, int x, int y, int width, int height);

// The rectangle that keeps the centre of the model's rectangle for a window of another size: the
// models centre their forms on the screen for a size of their own.
RECT KeepCentre(int left, int top, int modelWidth, int modelHeight, int width, int height);

}  // namespace tarnwick::win32

namespace tarnwick::win32 {

// An in-memory dialog template without controls (the views create their controls themselves),
// for CreateDialogIndirectParamW and DialogBoxIndirectParamW. The dialog manager gives the window
// Enter as IDOK, Escape and the close box as IDCANCEL, and Tab between the controls.
std::vector<WORD> DialogTemplate(DWORD style, std::wstring_view title);

}  // namespace tarnwick::win32
