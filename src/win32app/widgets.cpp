#include "widgets.h"

#include <commctrl.h>

#include "platform/windows/wide_text.h"

namespace tarnwick::win32 {

std::wstring W(std::string_view utf8) {
  return win::Wide(utf8);
}

std::string U8(std::wstring_view wide) {
  return win::Utf8(wide);
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

std::string WindowTextUtf8(HWND window) {
  return U8(WindowText(window));
}

void SetText(HWND window, const std::string& utf8) {
  const std::wstring text = W(utf8);
  if (WindowText(window) != text) SetWindowTextW(window, text.c_str());
}

void RegisterTopWindowClass(const wchar_t* name, WNDPROC procedure, UINT style) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = style;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = name;
  windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  RegisterClassExW(&windowClass);
}

void BringToFront(HWND window) {
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
}

bool CloseOnKey(HWND window, const MSG& message) {
  if (window == nullptr || message.message != WM_KEYDOWN || message.hwnd == nullptr) return false;
  const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  const bool close = message.wParam == VK_ESCAPE || (control && message.wParam == 'W');
  if (!close || GetAncestor(message.hwnd, GA_ROOT) != window) return false;
  PostMessageW(window, WM_CLOSE, 0, 0);
  return true;
}

void SetEnabled(HWND window, bool enabled) {
  if ((IsWindowEnabled(window) != FALSE) != enabled) EnableWindow(window, enabled ? TRUE : FALSE);
}

void SetChecked(HWND button, bool checked) {
  if (Checked(button) != checked) {
    SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

bool Checked(HWND button) {
  return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetVisible(HWND window, bool visible) {
  if ((IsWindowVisible(window) != FALSE) != visible) {
    ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
  }
}

void ApplyCombo(HWND combo, const ComboBox& model) {
  const auto count = static_cast<size_t>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  bool same = count == model.items.size();
  for (size_t i = 0; same && i < count; ++i) {
    const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
    std::wstring item(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<size_t>(length > 0 ? length : 0));
    same = item == W(model.items[i]);
  }
  if (!same) {
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : model.items) {
      SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item).c_str()));
    }
  }
  if (SendMessageW(combo, CB_GETCURSEL, 0, 0) != model.listIndex) {
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(model.listIndex), 0);
  }
  SetEnabled(combo, model.enabled);
}

Metrics::Metrics(HWND window) {
  dpi_ = static_cast<int>(GetDpiForWindow(window));
  if (dpi_ <= 0) dpi_ = 96;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW face{};
  if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                 static_cast<UINT>(dpi_))) {
    face = metrics.lfMessageFont;
  } else {
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
      face = metrics.lfMessageFont;
      face.lfHeight = MulDiv(face.lfHeight, dpi_, 96);
    } else {
      face.lfHeight = -MulDiv(9, dpi_, 72);
      lstrcpyW(face.lfFaceName, L"Tahoma");
    }
  }
  font_ = CreateFontIndirectW(&face);
  face.lfWeight = FW_BOLD;
  bold_ = CreateFontIndirectW(&face);
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, font_);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  lineHeight_ = tm.tmHeight;
  // "8" is the widest digit in most fonts.
  SIZE size{};
  GetTextExtentPoint32W(dc, L"8", 1, &size);
  digitWidth_ = size.cx;
  SelectObject(dc, old);
  ReleaseDC(window, dc);
}

Metrics::~Metrics() {
  DeleteObject(font_);
  DeleteObject(bold_);
}

int Metrics::TextWidth(std::string_view utf8) const {
  return TextWidth(W(utf8));
}

int Metrics::TextWidth(const std::wstring& text) const {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_);
  RECT rect{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return rect.right - rect.left;
}

HWND Child(HWND parent, const wchar_t* windowClass, std::string_view text, DWORD style, int id,
           DWORD exStyle) {
  return CreateWindowExW(exStyle, windowClass, W(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0,
                         0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), nullptr);
}

HWND Label(HWND parent, std::string_view text, int id, DWORD extraStyle) {
  return Child(parent, L"STATIC", text, SS_LEFT | SS_NOPREFIX | extraStyle, id);
}

HWND Edit(HWND parent, int id, DWORD extraStyle) {
  return Child(parent, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | extraStyle, id, WS_EX_CLIENTEDGE);
}

HWND CheckBox(HWND parent, std::string_view caption, int id) {
  return Child(parent, L"BUTTON", caption, WS_TABSTOP | BS_AUTOCHECKBOX, id);
}

HWND RadioButton(HWND parent, std::string_view caption, int id, bool firstOfGroup) {
  return Child(parent, L"BUTTON", caption,
               BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP | WS_TABSTOP : 0), id);
}

HWND PushButton(HWND parent, std::string_view caption, int id) {
  return Child(parent, L"BUTTON", caption, WS_TABSTOP | BS_PUSHBUTTON, id);
}

HWND GroupBox(HWND parent, std::string_view caption, int id) {
  return Child(parent, L"BUTTON", caption, BS_GROUPBOX, id);
}

HWND DropDown(HWND parent, int id) {
  return Child(parent, L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, id);
}

void SetFonts(HWND parent, HFONT font) {
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM handle) -> BOOL {
        SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(handle), FALSE);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(font));
}

void Put(HWND window, int x, int y, int width, int height) {
  MoveWindow(window, x, y, width, height, TRUE);
}

RECT KeepCentre(int left, int top, int modelWidth, int modelHeight, int width, int height) {
  RECT rect;
  rect.left = left + (modelWidth - width) / 2;
  rect.top = top + (modelHeight - height) / 2;
  if (rect.left < 0) rect.left = 0;
  if (rect.top < 0) rect.top = 0;
  rect.right = rect.left + width;
  rect.bottom = rect.top + height;
  return rect;
}

}  // namespace tarnwick::win32

namespace tarnwick::win32 {

std::vector<WORD> DialogTemplate(DWORD style, std::wstring_view title) {
  std::vector<WORD> t;
  auto dword = [&t](DWORD value) {
    t.push_back(LOWORD(value));
    t.push_back(HIWORD(value));
  };
  auto text = [&t](std::wstring_view s) {
    for (wchar_t c : s) t.push_back(static_cast<WORD>(c));
    t.push_back(0);
  };
  dword(style | DS_SETFONT);
  dword(0);                                    // extended style
  t.push_back(0);                              // no controls
  for (int i = 0; i < 4; ++i) t.push_back(0);  // x, y, cx, cy: the view sizes it
  t.push_back(0);                              // no menu
  t.push_back(0);                              // the dialog class
  text(title);
  t.push_back(9);  // points
  text(L"MS Shell Dlg 2");
  return t;
}

}  // namespace tarnwick::win32
