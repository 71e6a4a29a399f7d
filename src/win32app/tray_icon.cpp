#include "tray_icon.h"

#include <algorithm>

#include "widgets.h"

namespace tarnwick::win32 {
namespace {

constexpr UINT kEntryId = 1;

}  // namespace

TrayIcon::TrayIcon(HWND owner, UINT callbackMessage)
    : taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
  data_.cbSize = sizeof data_;
  data_.hWnd = owner;
  data_.uID = kEntryId;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = callbackMessage;
}

TrayIcon::~TrayIcon() {
  Remove();
}

bool TrayIcon::Add() {
  shown_ = Shell_NotifyIconW(NIM_ADD, &data_) != FALSE;
  return shown_;
}

void TrayIcon::Show(HICON icon, const std::string& tip) {
  std::wstring text = W(tip);
  // szTip holds 127 characters and the NUL.
  text.resize(std::min(text.size(), std::size(data_.szTip) - 1));
  const bool changed = data_.hIcon != icon || std::wstring(data_.szTip) != text;
  data_.hIcon = icon;
  std::copy(text.begin(), text.end(), data_.szTip);
  data_.szTip[text.size()] = L'\0';
  wanted_ = true;
  if (!shown_) {
    Add();
  } else if (changed && !Shell_NotifyIconW(NIM_MODIFY, &data_)) {
    // The shell lost the entry (Explorer went away without telling): add it again.
    Add();
  }
}

bool TrayIcon::Notify(const std::string& title, const std::string& text) {
  if (!shown_) return false;
  // The note goes with this one call only: later changes of icon or tip must not show it again.
  NOTIFYICONDATAW note = data_;
  note.uFlags = NIF_INFO;
  note.dwInfoFlags = NIIF_INFO;
  const auto copy = [](const std::string& from, auto& to) {
    std::wstring wide = W(from);
    wide.resize(std::min(wide.size(), std::size(to) - 1));
    std::copy(wide.begin(), wide.end(), to);
    to[wide.size()] = L'\0';
  };
  copy(title, note.szInfoTitle);
  copy(text, note.szInfo);
  if (!Shell_NotifyIconW(NIM_MODIFY, &note)) return false;
  noteTitle_ = note.szInfoTitle;
  noteText_ = note.szInfo;
  return true;
}

void TrayIcon::Remove() {
  wanted_ = false;
  if (shown_) Shell_NotifyIconW(NIM_DELETE, &data_);
  shown_ = false;
}

void TrayIcon::OnTaskbarCreated() {
  shown_ = false;
  if (wanted_) Add();
}

}  // namespace tarnwick::win32
