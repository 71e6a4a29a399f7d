#include "ui_services.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "control_ids.h"
#include "widgets.h"

namespace tarnwick::win32 {
namespace {

// The longest file name the file dialog takes.
constexpr DWORD kFileNameLimit = 10240;
constexpr char kOkCaption[] = "OK";
constexpr char kCancelCaption[] = "Cancel";

HWND ActiveOwner() {
  HWND active = GetActiveWindow();
  return active != nullptr && IsWindowVisible(active) ? active : nullptr;
}

// The common file dialog's request: the filter is pairs of NUL-ended texts, ended by one more
// NUL; the name box starts with the proposed name.
class FileDialog : public OPENFILENAMEW {
 public:
  explicit FileDialog(const FilePickRequest& request)
      : OPENFILENAMEW{},
        filter_(W(request.filterDescription)),
        folder_(W(request.initialFolder)),
        title_(W(request.title)),
        name_(kFileNameLimit, L'\0') {
    filter_.push_back(L'\0');
    const std::wstring pattern = W(request.filterPattern);
    filter_ += pattern;
    filter_.push_back(L'\0');
    filter_.push_back(L'\0');
    // "*.csv": a name typed without an extension gets ".csv".
    if (const size_t dot = pattern.rfind(L"*.");
        dot != std::wstring::npos && pattern.find_first_of(L"*?;", dot + 2) == std::wstring::npos) {
      extension_ = pattern.substr(dot + 2);
    }
    const std::wstring initial = W(request.initialName);
    std::copy_n(initial.begin(), std::min(initial.size(), name_.size() - 1), name_.begin());
    lStructSize = sizeof(OPENFILENAMEW);
    hwndOwner = ActiveOwner();
    lpstrFilter = filter_.c_str();
    nFilterIndex = 1;
    lpstrFile = name_.data();
    nMaxFile = kFileNameLimit;
    lpstrInitialDir = folder_.empty() ? nullptr : folder_.c_str();
    lpstrTitle = title_.empty() ? nullptr : title_.c_str();
    lpstrDefExt = extension_.empty() ? nullptr : extension_.c_str();
    Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  }
  FileDialog(const FileDialog&) = delete;
  FileDialog& operator=(const FileDialog&) = delete;

  std::string Path() const { return U8(name_.data()); }

 private:
  std::wstring filter_;
  std::wstring folder_;
  std::wstring title_;
  std::wstring extension_;
  std::vector<wchar_t> name_;
};

struct InputBoxState {
  std::string prompt;
  std::string defaultText;
  std::optional<std::string> answer;
  Metrics* metrics = nullptr;
};

void LayOutInputBox(HWND dialog, const Metrics& m) {
  const int margin = m.Margin();
  const int width = std::max(
      m.Px(360), m.TextWidth(WindowTextUtf8(GetDlgItem(dialog, id::InputPrompt))) + 2 * margin);
  const int inner = width - 2 * margin;
  int y = margin;
  Put(GetDlgItem(dialog, id::InputPrompt), margin, y, inner, m.LineHeight());
  y += m.LineHeight() + m.Gap();
  Put(GetDlgItem(dialog, id::InputText), margin, y, inner, m.EditHeight());
  y += m.EditHeight() + m.Gap() * 2;
  const int button = std::max(m.ButtonWidth(kCancelCaption), m.Px(80));
  Put(GetDlgItem(dialog, IDCANCEL), width - margin - button, y, button, m.ButtonHeight());
  Put(GetDlgItem(dialog, IDOK), width - margin - 2 * button - m.Gap(), y, button, m.ButtonHeight());
  y += m.ButtonHeight() + margin;
  RECT rect{0, 0, width, y};
  AdjustWindowRectExForDpi(&rect, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)),
                           static_cast<UINT>(m.dpi()));
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, SWP_NOZORDER);
}

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<InputBoxState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      Label(dialog, state->prompt, id::InputPrompt);
      HWND box = Edit(dialog, id::InputText);
      SetText(box, state->defaultText);
      HWND ok = PushButton(dialog, kOkCaption, IDOK);
      SetWindowLongPtrW(ok, GWL_STYLE, GetWindowLongPtrW(ok, GWL_STYLE) | BS_DEFPUSHBUTTON);
      PushButton(dialog, kCancelCaption, IDCANCEL);
      state->metrics = new Metrics(dialog);
      SetFonts(dialog, state->metrics->font());
      LayOutInputBox(dialog, *state->metrics);
      SetFocus(box);
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        state->answer = WindowTextUtf8(GetDlgItem(dialog, id::InputText));
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    case WM_DESTROY:
      if (state != nullptr) {
        delete state->metrics;
        state->metrics = nullptr;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

MessageAnswer Win32UiServices::MessageBox(const std::string& text, MessageButtons buttons,
                                          const std::string& title) {
  UINT type = MB_OK;
  if (buttons == MessageButtons::OkCancel) type = MB_OKCANCEL;
  if (buttons == MessageButtons::YesNo) type = MB_YESNO | MB_ICONQUESTION;
  const int answer =
      ::MessageBoxW(ActiveOwner(), W(text).c_str(), W(title).c_str(), type | MB_SETFOREGROUND);
  switch (answer) {
    case IDOK:
      return MessageAnswer::Ok;
    case IDYES:
      return MessageAnswer::Yes;
    case IDNO:
      return MessageAnswer::No;
    default:
      // Closed without a choice (Escape, or no box could be shown): the safe answer.
      return buttons == MessageButtons::YesNo ? MessageAnswer::No
             : buttons == MessageButtons::Ok  ? MessageAnswer::Ok
                                              : MessageAnswer::Cancel;
  }
}

void Win32UiServices::DoEvents() {
  if (beforeEvents_) beforeEvents_();
  if (pump_) pump_();
}

void Win32UiServices::ShowNow() {
  if (beforeEvents_) beforeEvents_();
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM) -> BOOL {
        if (IsWindowVisible(window)) {
          RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
        return TRUE;
      },
      0);
}

void Win32UiServices::OpenWithViewer(const std::string& path) {
  ShellExecuteW(nullptr, L"open", W(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::optional<std::string> Win32UiServices::PickFile(const FilePickRequest& request) {
  FileDialog dialog(request);
  // One file only: several names would come back as a folder and a list, no usable path.
  dialog.Flags |= OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return dialog.Path();
}

std::optional<std::string> Win32UiServices::PickSaveFile(const FilePickRequest& request) {
  FileDialog dialog(request);
  dialog.Flags |= OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  return dialog.Path();
}

ScreenSize Win32UiServices::Screen() {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  if (width <= 0 || height <= 0) return ScreenSize{};
  return ScreenSize{width, height};
}

std::optional<std::string> Win32UiServices::InputBox(const std::string& prompt,
                                                     const std::string& title,
                                                     const std::string& defaultText) {
  InputBoxState state{prompt, defaultText, std::nullopt, nullptr};
  const std::vector<WORD> dialog =
      DialogTemplate(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, W(title));
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                          reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()), ActiveOwner(),
                          &InputBoxProc, reinterpret_cast<LPARAM>(&state));
  return state.answer;
}

void Win32UiServices::OpenUrl(const std::string& url) {
  ShellExecuteW(nullptr, L"open", W(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tarnwick::win32
