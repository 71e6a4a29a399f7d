// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "dialogs.h"

namespace tarnwick::win32 {

DialogView::~DialogView() {
  if (dialog_ == nullptr) return;
  // The view is going: the window's last messages find no view behind it.
  SetWindowLongPtrW(dialog_, DWLP_USER, 0);
  DestroyWindow(dialog_);
}

void DialogView::Create(HWND owner, std::string_view title) {
  const std::vector<WORD> dialog =
      DialogTemplate(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, W(title));
  CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                             reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()), owner,
                             &DialogView::DialogProc, reinterpret_cast<LPARAM>(this));
}

void DialogView::ApplyMetrics() {
  auto metrics = std::make_unique<Metrics>(dialog_);
  SetFonts(dialog_, metrics->font());
  metrics_ = std::move(metrics);
  const SIZE client = LayOut(*metrics_);
  RECT frame{0, 0, client.cx, client.cy};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(dialog_, GWL_EXSTYLE)),
                           static_cast<UINT>(metrics_->dpi()));
  SetWindowPos(dialog_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogView::ShowOnce() {
  if (shown_ || dialog_ == nullptr) return;
  shown_ = true;
  // The model centres its form on the screen; the view keeps that centre for its own size.
  RECT rect{};
  GetWindowRect(dialog_, &rect);
  const FormGeometry& g = Geometry();
  const RECT placed =
      KeepCentre(g.left, g.top, g.width, g.height, rect.right - rect.left, rect.bottom - rect.top);
  SetWindowPos(dialog_, HWND_TOP, placed.left, placed.top, 0, 0, SWP_NOSIZE);
  ShowWindow(dialog_, SW_SHOW);
  SetForegroundWindow(dialog_);
}

void DialogView::Forward(const std::function<void()>& handler) {
  if (rendering_) return;
  handler();
  renderAll_();
}

bool DialogView::OnOtherMessage(UINT, WPARAM, LPARAM, INT_PTR&) {
  return false;
}

void DialogView::OnClickInto(HWND control, std::function<void()> handler) {
  clickHandlers_.push_back(std::make_unique<std::function<void()>>(std::move(handler)));
  SetWindowSubclass(control, &DialogView::ClickProc, 1,
                    reinterpret_cast<DWORD_PTR>(clickHandlers_.back().get()));
}

LRESULT CALLBACK DialogView::ClickProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR data) {
  if (message == WM_LBUTTONDOWN && IsWindowEnabled(control)) {
    (*reinterpret_cast<std::function<void()>*>(data))();
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(control, &DialogView::ClickProc, 1);
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

INT_PTR CALLBACK DialogView::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<DialogView*>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    self->dialog_ = dialog;
    self->rendering_ = true;
    self->Build();
    self->ApplyMetrics();
    self->rendering_ = false;
    return TRUE;
  }
  auto* self = reinterpret_cast<DialogView*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        self->OnCancel();
      } else {
        self->OnCommand(LOWORD(wParam), HIWORD(wParam));
      }
      return TRUE;
    case WM_DPICHANGED: {
      self->ApplyMetrics();
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(dialog, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return TRUE;
    }
    case WM_NCDESTROY:
      self->dialog_ = nullptr;
      return FALSE;
    default: {
      INT_PTR result = 0;
      if (self->OnOtherMessage(message, wParam, lParam, result)) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
        return TRUE;
      }
      return FALSE;
    }
  }
}

}  // namespace tarnwick::win32
