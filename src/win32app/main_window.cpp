#include "main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "control_ids.h"
#include "dialogs.h"
#include "forms/main_window_model.h"
#include "forms/pgm_setup_model.h"
#include "forms/smtp_server_model.h"

namespace tarnwick::win32 {
namespace {

// Fixed texts of the view that the model does not hold.
constexpr char kFileMenuTitle[] = "&File";
constexpr char kLogMenuTitle[] = "&Log";
constexpr char kHistoryMenuCaption[] = "&History";
constexpr char kProcessesMenuCaption[] = "&Processes";
// The program row's heading, "Curremt(%) / Set     Exceed Counts / Alert Set", stands in two
// halves, each above its pair of values.
constexpr char kProgramValueHeading[] = "Curremt(%) / Set";
constexpr char kProgramCountHeading[] = "Exceed Counts / Alert Set";
constexpr char kExceedCountCaption[] = "Exceed count:";
constexpr char kThresholdCaption[] = "Threshold:";
// The widest texts of the labels that change every cycle.
constexpr char kWidestPercent[] = "100 %";
constexpr char kWidestTime[] = "88:88:88 8888-88-88";
constexpr char kWidestCredits[] = "88888888";

// Menu entries in the order of the File menu; a null marks the separator.
constexpr int kFileMenuIds[] = {id::Setup, id::mPGMSetup,  id::SMTPsetup, id::Login,  id::mStart,
                                0,         id::mAutostart, id::mNotify,   id::mnuQuit};

bool SameGeometry(const FormGeometry& a, const FormGeometry& b) {
  return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

}  // namespace

MainWindow::MainWindow(MainWindowModel& model) : model_(model) {
  RegisterTopWindowClass(kMainWindowClass, &MainWindow::WindowProc, CS_HREDRAW | CS_VREDRAW);

  menuBar_ = CreateMenu();
  fileMenu_ = CreatePopupMenu();
  logMenu_ = CreatePopupMenu();
  AppendMenuW(menuBar_, MF_POPUP, reinterpret_cast<UINT_PTR>(fileMenu_), W(kFileMenuTitle).c_str());
  AppendMenuW(menuBar_, MF_POPUP, reinterpret_cast<UINT_PTR>(logMenu_), W(kLogMenuTitle).c_str());

  window_ =
      CreateWindowExW(0, kMainWindowClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                      640, 600, nullptr, menuBar_, GetModuleHandleW(nullptr), this);
  tray_ = std::make_unique<TrayIcon>(window_, kTrayMessage);
  CreateControls();
  const SIZE size = LayOut();
  RECT frame{0, 0, size.cx, size.cy};
  AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, TRUE, 0,
                           static_cast<UINT>(metrics_->dpi()));
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  model_.trayShown = tray_->Shown();
}

MainWindow::~MainWindow() {
  alertDialog_.reset();
  smtpDialog_.reset();
  pgmDialog_.reset();
  tray_.reset();
  if (window_ != nullptr) DestroyWindow(window_);
  for (auto& [path, icon] : bigIcons_) DestroyIcon(icon);
  for (auto& [path, icon] : smallIcons_) DestroyIcon(icon);
}

HWND MainWindow::alertSettingDialog() const {
  return alertDialog_ ? alertDialog_->hwnd() : nullptr;
}
HWND MainWindow::smtpServerDialog() const {
  return smtpDialog_ ? smtpDialog_->hwnd() : nullptr;
}
HWND MainWindow::pgmSetupDialog() const {
  return pgmDialog_ ? pgmDialog_->hwnd() : nullptr;
}

void MainWindow::CreateControls() {
  HWND w = window_;
  MainWindowModel& m = model_;
  // The frames first, so that the controls inside them stand above them.
  GroupBox(w, m.Frame1Caption, id::Frame1);
  GroupBox(w, m.Frame3Caption, id::Frame3);
  for (int gauge : {id::CPU_Progress, id::RAM_Progress}) {
    HWND bar = Child(w, PROGRESS_CLASSW, "", PBS_SMOOTH, gauge);
    SendMessageW(bar, PBM_SETRANGE32, 0, 100);
  }
  auto label = [&](const tarnwick::Label& control, int id, DWORD style = 0) {
    labels_.emplace_back(&control, tarnwick::win32::Label(w, control.caption, id, style));
  };
  label(m.lblCPUValue[0], id::lblCPUValue_0, SS_RIGHT);
  label(m.lblCPU_count, id::lblCPU_count, SS_RIGHT);
  label(m.lblNum_count[0], id::lblNum_count_0);
  label(m.lbl_Threshold[0], id::lbl_Threshold_0);
  label(m.Label6[0], id::Label6_0, SS_ENDELLIPSIS);
  label(m.pgmCPU, id::pgmCPU, SS_RIGHT);
  label(m.pgmCPU_Setting, id::pgmCPU_Setting);
  label(m.pgmCPU_count, id::pgmCPU_count, SS_RIGHT);
  label(m.pgmCPU_Warn, id::pgmCPU_Warn);
  label(m.lblCPUValue[1], id::lblCPUValue_1, SS_RIGHT);
  for (int i = 0; i < 3; ++i) {
    label(m.lblRamDisp[i], id::lblRamDisp_0 + i, SS_CENTER);
    label(m.lblRamValue[i], id::lblRamValue_0 + i, SS_CENTER);
  }
  label(m.lblmem_Count, id::lblmem_Count, SS_RIGHT);
  label(m.lblNum_count[1], id::lblNum_count_1);
  label(m.lbl_Threshold[1], id::lbl_Threshold_1);
  label(m.Label6[2], id::Label6_2, SS_ENDELLIPSIS);
  label(m.pgmMEM, id::pgmMEM, SS_RIGHT);
  label(m.pgmMEM_Setting, id::pgmMEM_Setting);
  label(m.pgmMEM_Count, id::pgmMEM_Count, SS_RIGHT);
  label(m.pgmMEM_Alert, id::pgmMEM_Alert);
  label(m.lblTimeinterval, id::lblTimeinterval);
  label(m.lblNum, id::lblNum);
  label(m.Label4, id::Label4);
  label(m.Label7, id::Label7, SS_RIGHT);
  label(m.Label5, id::Label5);
  label(m.lbl_lastTime, id::lbl_lastTime);
  int fixed = id::FixedCaption;
  for (const char* caption :
       {kExceedCountCaption, kThresholdCaption, kExceedCountCaption, kThresholdCaption}) {
    tarnwick::win32::Label(w, caption, fixed++);
  }
  for (const char* caption :
       {kProgramValueHeading, kProgramCountHeading, kProgramValueHeading, kProgramCountHeading}) {
    tarnwick::win32::Label(w, caption, fixed++, SS_CENTER);
  }
  Child(w, L"BUTTON", m.Command1.caption, WS_TABSTOP | BS_OWNERDRAW, id::Command1);
  log_ = std::make_unique<LogPane>(w, id::txtLog, ActivityLog::kPaneLineLimit);
}

void MainWindow::ApplyMetrics() {
  auto metrics = std::make_unique<Metrics>(window_);
  SetFonts(window_, metrics->font());
  SendMessageW(GetDlgItem(window_, id::Command1), WM_SETFONT,
               reinterpret_cast<WPARAM>(metrics->bold()), FALSE);
  // The old fonts go once no control uses them any more.
  metrics_ = std::move(metrics);
}

SIZE MainWindow::LayOut() {
  if (!metrics_) ApplyMetrics();
  const Metrics& m = *metrics_;
  auto at = [this](int id) { return GetDlgItem(window_, id); };
  const int margin = m.Margin();
  const int gap = m.Gap();
  const int lh = m.LineHeight();
  const int pad = m.Px(10);  // inside a frame
  // Each heading of the program row stands over half of the frame.
  const int inner =
      std::max({m.Px(280),
                2 * std::max(m.TextWidth(kProgramValueHeading), m.TextWidth(kProgramCountHeading)) +
                    m.Px(16),
                m.TextWidth(kExceedCountCaption) + m.TextWidth(kThresholdCaption) + m.Px(140)});
  const int frameWidth = inner + 2 * pad;
  const int valueWidth = m.TextWidth(kWidestPercent) + m.Px(6);
  const int barHeight = m.Px(18);

  RECT client{};
  GetClientRect(window_, &client);
  const int width = 2 * frameWidth + gap + 2 * margin;

  int frameHeight = 0;
  for (int frame = 0; frame < 2; ++frame) {
    const bool cpu = frame == 0;
    const int fx = margin + frame * (frameWidth + gap);
    const int x = fx + pad;
    int y = margin + lh + m.Px(4);
    Put(at(cpu ? id::CPU_Progress : id::RAM_Progress), x, y, inner - valueWidth - gap, barHeight);
    Put(at(cpu ? id::lblCPUValue_0 : id::lblCPUValue_1), x + inner - valueWidth,
        y + (barHeight - lh) / 2, valueWidth, lh);
    y += barHeight + gap;
    // Total, Free and Used side by side, each caption above its value; the CPU frame leaves the
    // room empty, so that the lines below stand level in both frames.
    if (!cpu) {
      for (int i = 0; i < 3; ++i) {
        Put(at(id::lblRamDisp_0 + i), x + i * inner / 3, y, inner / 3, lh);
        Put(at(id::lblRamValue_0 + i), x + i * inner / 3, y + lh + m.Px(2), inner / 3, lh);
      }
    }
    y += 2 * lh + m.Px(2) + gap;
    // "Exceed count: n /10" on the left, "Threshold: t%" on the right.
    // The count stands right-aligned against its "/n", with room for five digits.
    const int countCaption = m.TextWidth(kExceedCountCaption);
    const int countWidth = m.TextWidth("88888") + m.Px(4);
    Put(at(id::FixedCaption + 2 * frame), x, y, countCaption, lh);
    Put(at(cpu ? id::lblCPU_count : id::lblmem_Count), x + countCaption, y, countWidth, lh);
    Put(at(cpu ? id::lblNum_count_0 : id::lblNum_count_1), x + countCaption + countWidth + m.Px(3),
        y, m.TextWidth("/88888") + m.Px(4), lh);
    const int thresholdWidth = m.TextWidth("100%") + m.Px(4);
    const int thresholdCaption = m.TextWidth(kThresholdCaption) + m.Px(4);
    Put(at(cpu ? id::lbl_Threshold_0 : id::lbl_Threshold_1), x + inner - thresholdWidth, y,
        thresholdWidth, lh);
    Put(at(id::FixedCaption + 2 * frame + 1), x + inner - thresholdWidth - thresholdCaption, y,
        thresholdCaption, lh);
    y += lh + gap;
    // The program monitor: its name on its own line, then the two headings with their pairs of
    // values beneath.
    Put(at(cpu ? id::Label6_0 : id::Label6_2), x, y, inner, lh);
    y += lh + gap;
    Put(at(id::FixedCaption + 4 + 2 * frame), x, y, inner / 2, lh);
    Put(at(id::FixedCaption + 5 + 2 * frame), x + inner / 2, y, inner - inner / 2, lh);
    y += lh + m.Px(2);
    const int pairValue = m.TextWidth("100.0%") + m.Px(2);
    const int pairSetting = m.TextWidth("/100.0 %") + m.Px(2);
    const int half = inner / 2;
    const int ids[4] = {
        cpu ? id::pgmCPU : id::pgmMEM, cpu ? id::pgmCPU_Setting : id::pgmMEM_Setting,
        cpu ? id::pgmCPU_count : id::pgmMEM_Count, cpu ? id::pgmCPU_Warn : id::pgmMEM_Alert};
    for (int column = 0; column < 2; ++column) {
      const int left = x + column * half + (half - pairValue - pairSetting) / 2;
      Put(at(ids[2 * column]), left, y, pairValue, lh);
      Put(at(ids[2 * column + 1]), left + pairValue + m.Px(3), y, pairSetting, lh);
    }
    y += lh + pad;
    frameHeight = y - margin;
    Put(at(cpu ? id::Frame1 : id::Frame3), fx, margin, frameWidth, frameHeight);
  }

  int y = margin + frameHeight + gap;
  const int commandWidth = m.Px(100);
  const int commandHeight = m.Px(44);
  Put(at(id::Command1), margin, y, commandWidth, commandHeight);
  const int textLeft = margin + commandWidth + gap * 2;
  Put(at(id::lblTimeinterval), textLeft, y + m.Px(3), width - textLeft - margin, lh);
  Put(at(id::lblNum), textLeft, y + commandHeight - lh - m.Px(3), width - textLeft - margin, lh);
  y += commandHeight + gap;
  const int lastCaption = m.TextWidth(model_.Label5.caption) + m.Px(6);
  Put(at(id::Label5), margin, y, lastCaption, lh);
  Put(at(id::lbl_lastTime), margin + lastCaption, y, m.TextWidth(kWidestTime) + m.Px(4), lh);
  y += lh + gap;
  // The service account line can be a whole sentence (the reason for not being logged in); it
  // wraps onto a second line rather than widening the window.
  const int creditsWidth = m.TextWidth(kWidestCredits);
  Put(at(id::Label4), margin, y, width - 2 * margin - creditsWidth - gap, 2 * lh);
  Put(at(id::Label7), width - margin - creditsWidth, y, creditsWidth, lh);
  y += 2 * lh + gap;
  const int logTop = y;
  // Below this the Memory frame or the log pane would be cut: the window's minimum.
  contentSize_ = SIZE{width, logTop + m.Px(120) + margin};
  const int height = std::max<int>(client.bottom, contentSize_.cy);
  Put(log_->hwnd(), margin, logTop, std::max<int>(client.right, width) - 2 * margin,
      height - logTop - margin);
  log_->Fit();
  // The size the window opens with: the log pane shows a good number of lines.
  return SIZE{width, logTop + m.Px(260) + margin};
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ObjectWindowMessage(&MainWindow::window_, &MainWindow::OnMessage, window, message, wParam,
                             lParam);
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (tray_ && message == tray_->TaskbarCreatedMessage() && message != 0) {
    tray_->OnTaskbarCreated();
    model_.trayShown = tray_->Shown();
    return 0;
  }
  switch (message) {
    case WM_COMMAND:
      if (log_ && log_->OnCommand(LOWORD(wParam))) return 0;
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (log_ && log_->OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
      break;
    }
    case WM_CONTEXTMENU:
      if (log_ && reinterpret_cast<HWND>(wParam) == log_->hwnd()) {
        log_->OnContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
      }
      break;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.CtlID == static_cast<UINT>(id::Command1)) {
        DrawCommand1(item);
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLORSTATIC: {
      auto* dc = reinterpret_cast<HDC>(wParam);
      const auto control = reinterpret_cast<HWND>(lParam);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      for (const auto& [label, hwnd] : labels_) {
        if (hwnd == control) {
          SetTextColor(dc, static_cast<COLORREF>(label->foreColor));
          break;
        }
      }
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SIZE:
      if (log_) LayOut();
      if (!rendering_ && !ending_) {
        const WindowState state =
            wParam == SIZE_MINIMIZED ? WindowState::Minimized : WindowState::Normal;
        // The tray can come and go with Explorer; what counts is whether it is there now.
        model_.trayShown = tray_ && tray_->Shown();
        Forward([this, state] { model_.OnResize(state); });
      }
      return 0;
    case WM_MOVE:
      // A place the user chose becomes the model's, so that a later CenterForm is a change the
      // next render carries out.
      if (!rendering_ && !ending_ && IsWindowVisible(window_) && !IsIconic(window_)) {
        RECT rect{};
        GetWindowRect(window_, &rect);
        model_.geometry.left = rect.left - (model_.geometry.width - (rect.right - rect.left)) / 2;
        model_.geometry.top = rect.top - (model_.geometry.height - (rect.bottom - rect.top)) / 2;
        appliedGeometry_ = model_.geometry;
      }
      return 0;
    case WM_GETMINMAXINFO:
      if (metrics_ && contentSize_.cx > 0) {
        // The frame around the laid-out content, menu bar included, at the window's own DPI.
        RECT frame{0, 0, contentSize_.cx, contentSize_.cy};
        AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, TRUE, 0,
                                 static_cast<UINT>(metrics_->dpi()));
        auto& limits = *reinterpret_cast<MINMAXINFO*>(lParam);
        limits.ptMinTrackSize.x = frame.right - frame.left;
        limits.ptMinTrackSize.y = frame.bottom - frame.top;
      }
      return 0;
    case WM_SETCURSOR:
      if (busyCursor_ && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      ApplyMetrics();
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      LayOut();
      return 0;
    }
    case kTrayMessage:
      switch (LOWORD(lParam)) {
        case WM_LBUTTONDBLCLK:
          Forward([this] { model_.OnTrayDoubleClick(); });
          break;
        case WM_RBUTTONUP:
          Forward([this] { model_.OnTrayRightClick(); });
          break;
        case NIN_BALLOONUSERCLICK:
          if (const auto note = model_.notifications().OnClick(); note && note_) {
            note_(note->t, note->kind);
          }
          break;
        default:
          break;
      }
      return 0;
    case WM_ENDSESSION:
      if (wParam != FALSE && !ending_) {
        Forward([this] { model_.OnUnload(); });
        if (sessionEnding_) sessionEnding_();
      }
      return 0;
    case WM_CLOSE:
      // Once the program is ending, nothing closes the window again.
      if (!ending_) Forward([this] { model_.OnUnload(); });
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::Forward(const std::function<void()>& handler) {
  handler();
  Render();
}

void MainWindow::OnCommand(int id) {
  MainWindowModel& m = model_;
  switch (id) {
    case id::Command1:
      Forward([&m] { m.OnCommand1Click(); });
      break;
    case id::Setup:
      Forward([&m] { m.OnSetupClick(); });
      break;
    case id::mPGMSetup:
      Forward([&m] { m.OnMPGMSetupClick(); });
      break;
    case id::SMTPsetup:
      Forward([&m] { m.OnSMTPsetupClick(); });
      break;
    case id::Login:
      Forward([&m] { m.OnLoginClick(); });
      break;
    case id::mStart:
      Forward([&m] { m.OnMStartClick(); });
      break;
    case id::mAutostart:
      Forward([&m] { m.OnMAutostartClick(); });
      break;
    case id::mNotify:
      Forward([&m] { m.OnMNotifyClick(); });
      break;
    case id::mnuQuit:
      Forward([&m] { m.OnMnuQuitClick(); });
      break;
    case id::mViewLog:
      Forward([&m] { m.OnMViewLogClick(); });
      break;
    case id::mHistory:
      if (history_) history_();
      break;
    case id::mProcesses:
      if (processes_) processes_();
      break;
    default:
      break;
  }
}

void MainWindow::OnTimer(UINT_PTR timer) {
  if (ending_) return;
  switch (timer) {
    case kTmrUpdateTimer:
      // A cycle lets pending events run while it waits for its samples; a tick arriving
      // meanwhile would start a second cycle inside the first, so it runs once the first has
      // ended: a long cycle delays a sample, it does not lose one.
      if (inTick_) {
        tickDue_ = true;
        return;
      }
      inTick_ = true;
      do {
        tickDue_ = false;
        Forward([this] { model_.OnTmrUpdateTick(); });
      } while (tickDue_ && !ending_);
      inTick_ = false;
      RenderTimers();
      break;
    case kTimer4Timer:
      Forward([this] { model_.OnTimer4Tick(); });
      break;
    case kTimer5Timer:
      Forward([this] { model_.OnTimer5Tick(); });
      break;
    default:
      break;
  }
}

void MainWindow::DrawCommand1(const DRAWITEMSTRUCT& item) {
  const Button& button = model_.Command1;
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const COLORREF back =
      button.backColor < 0 ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(button.backColor);
  HBRUSH brush = CreateSolidBrush(back);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
  DrawEdge(dc, &rect, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc,
               GetSysColor((item.itemState & ODS_DISABLED) != 0 ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  const std::wstring caption = W(button.caption);
  if (pressed) OffsetRect(&rect, 1, 1);
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &rect,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = item.rcItem;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(dc, &focus);
  }
}

bool MainWindow::Seen() const {
  return IsWindowVisible(window_) && !IsIconic(window_);
}

HICON MainWindow::Icon(const std::string& path, bool small) {
  auto& cache = small ? smallIcons_ : bigIcons_;
  if (auto found = cache.find(path); found != cache.end()) return found->second;
  const int size = GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON);
  auto icon = static_cast<HICON>(
      LoadImageW(nullptr, W(path).c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
  cache.emplace(path, icon);
  return icon;
}

void MainWindow::Render() {
  if (rendering_) return;
  rendering_ = true;
  // Menus, timers, the tray entry and the window's own state matter while the window is hidden
  // (the tray's pop-up menu is the File menu); the controls come after the window is shown or
  // hidden, so that a window that just came up is rendered at once.
  RenderMenus();
  RenderTimers();
  RenderTray();
  RenderWindow();
  RenderWidgets();
  RenderDialogs();
  rendering_ = false;
  ShowNotification();
  CarryOutRequests();
  if (afterRender_) afterRender_();
}

void MainWindow::RenderMenus() {
  const MenuItem* items[] = {&model_.Setup,      &model_.mPGMSetup, &model_.SMTPsetup,
                             &model_.Login,      &model_.mStart,    nullptr,
                             &model_.mAutostart, &model_.mNotify,   &model_.mnuQuit};
  std::array<MenuItem, 9> now{};
  for (size_t i = 0; i < std::size(items); ++i) {
    if (items[i] != nullptr) now[i] = *items[i];
  }
  if (!renderedMenus_ || *renderedMenus_ != now) {
    // Win32 menus have no hidden entries: the File menu is made anew from the visible ones.
    while (GetMenuItemCount(fileMenu_) > 0) DeleteMenu(fileMenu_, 0, MF_BYPOSITION);
    for (size_t i = 0; i < std::size(items); ++i) {
      if (items[i] == nullptr) {
        AppendMenuW(fileMenu_, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      const MenuItem& item = *items[i];
      if (!item.visible) continue;
      const int id = kFileMenuIds[i];
      UINT flags = MF_STRING;
      if (!item.enabled) flags |= MF_GRAYED;
      if (item.checkable && item.checked) flags |= MF_CHECKED;
      AppendMenuW(fileMenu_, flags, static_cast<UINT_PTR>(id), W(item.caption).c_str());
    }
    while (GetMenuItemCount(logMenu_) > 0) DeleteMenu(logMenu_, 0, MF_BYPOSITION);
    const MenuItem& view = model_.mViewLog;
    if (view.visible) {
      AppendMenuW(logMenu_, MF_STRING | (view.enabled ? 0 : MF_GRAYED), id::mViewLog,
                  W(view.caption).c_str());
    }
    if (history_) AppendMenuW(logMenu_, MF_STRING, id::mHistory, W(kHistoryMenuCaption).c_str());
    if (processes_) {
      AppendMenuW(logMenu_, MF_STRING, id::mProcesses, W(kProcessesMenuCaption).c_str());
    }
    DrawMenuBar(window_);
    renderedMenus_ = now;
  }
}

void MainWindow::RenderTimers() {
  if (ending_) return;
  const std::pair<const Timer*, UINT_PTR> timers[] = {{&model_.tmrUpdate, kTmrUpdateTimer},
                                                      {&model_.Timer4, kTimer4Timer},
                                                      {&model_.Timer5, kTimer5Timer}};
  for (size_t i = 0; i < std::size(timers); ++i) {
    const Timer& timer = *timers[i].first;
    TimerState& state = timers_[i];
    // The cycle switches its timer off while it runs; the timer keeps running, so that the next
    // tick keeps its place instead of counting from the cycle's end.
    if (timers[i].second == kTmrUpdateTimer && inTick_) continue;
    // A running timer keeps running untouched, so its phase survives renders; it restarts only
    // when its interval changes. An interval of 0 or less never fires.
    const bool wanted = timer.enabled && timer.intervalMs > 0;
    if (wanted && (!state.running || state.intervalMs != timer.intervalMs)) {
      SetTimer(window_, timers[i].second, static_cast<UINT>(timer.intervalMs), nullptr);
      state = {true, timer.intervalMs};
    } else if (!wanted && state.running) {
      KillTimer(window_, timers[i].second);
      state.running = false;
    }
  }
}

void MainWindow::RenderTray() {
  if (model_.trayAdded && !ending_) {
    tray_->Show(Icon(model_.trayIconPath, true), model_.trayTip);
  } else {
    tray_->Remove();
  }
  model_.trayShown = tray_->Shown();
}

void MainWindow::RenderWindow() {
  // The model's `enabled` off is the busy look of a scan. The window itself stays enabled:
  // disabling the owner of an open menu (the menu bar's, the tray's) cancels the menu.
  RenderBusyCursor(!model_.enabled);
  if (model_.iconPath != renderedIcon_) {
    SendMessageW(window_, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(Icon(model_.iconPath, false)));
    SendMessageW(window_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(Icon(model_.iconPath, true)));
    renderedIcon_ = model_.iconPath;
  }
  const std::wstring caption = W(model_.caption);
  if (WindowText(window_) != caption) SetWindowTextW(window_, caption.c_str());

  // The model's geometry is a wish for the place: the window keeps the size its layout needs,
  // centred where the model centres its own, and a move by the user stands until the model asks
  // for another place.
  if (!SameGeometry(model_.geometry, appliedGeometry_)) {
    appliedGeometry_ = model_.geometry;
    // A minimised window keeps the size it comes back with in its placement.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(window_, &placement);
    RECT rect{};
    GetWindowRect(window_, &rect);
    if (IsIconic(window_)) rect = placement.rcNormalPosition;
    const RECT placed =
        KeepCentre(model_.geometry.left, model_.geometry.top, model_.geometry.width,
                   model_.geometry.height, rect.right - rect.left, rect.bottom - rect.top);
    if (IsIconic(window_)) {
      placement.rcNormalPosition = placed;
      // Only the place changes here; showing it again is the visibility's business below.
      placement.showCmd = IsWindowVisible(window_) ? SW_SHOWMINNOACTIVE : SW_HIDE;
      SetWindowPlacement(window_, &placement);
    } else {
      SetWindowPos(window_, nullptr, placed.left, placed.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }

  if (ending_) return;
  const bool visible = IsWindowVisible(window_) != FALSE;
  if (!model_.visible) {
    if (visible) ShowWindow(window_, SW_HIDE);
  } else if (model_.windowState == WindowState::Minimized) {
    if (!visible || !IsIconic(window_)) ShowWindow(window_, SW_SHOWMINIMIZED);
  } else if (!visible || IsIconic(window_)) {
    ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOWNORMAL);
  }
}

void MainWindow::RenderBusyCursor(bool busy) {
  if (busy == busyCursor_) return;
  busyCursor_ = busy;
  // The scan runs without turning the message loop, so no WM_SETCURSOR comes before it ends:
  // the cursor over the client area changes here, and changes back here.
  POINT at{};
  GetCursorPos(&at);
  HWND under = WindowFromPoint(at);
  if (under == nullptr || (under != window_ && GetAncestor(under, GA_ROOT) != window_)) return;
  const auto hit = SendMessageW(window_, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
  if (hit != HTCLIENT) return;
  SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void MainWindow::RenderWidgets() {
  if (!Seen()) return;
  bool changed = false;
  const bool first = renderedLabels_.empty();
  if (first) renderedLabels_.resize(labels_.size());
  for (size_t i = 0; i < labels_.size(); ++i) {
    const tarnwick::Label& label = *labels_[i].first;
    if (!first && label == renderedLabels_[i]) continue;
    HWND hwnd = labels_[i].second;
    SetText(hwnd, label.caption);
    SetVisible(hwnd, label.visible);
    SetEnabled(hwnd, label.enabled);
    if (first || label.foreColor != renderedLabels_[i].foreColor) {
      InvalidateRect(hwnd, nullptr, TRUE);
    }
    renderedLabels_[i] = label;
    changed = true;
  }
  SetText(GetDlgItem(window_, id::Frame1), model_.Frame1Caption);
  SetText(GetDlgItem(window_, id::Frame3), model_.Frame3Caption);
  const std::pair<int, int*> gauges[] = {{id::CPU_Progress, &renderedCpuGauge_},
                                         {id::RAM_Progress, &renderedRamGauge_}};
  for (const auto& [gauge, rendered] : gauges) {
    const int value =
        gauge == id::CPU_Progress ? model_.CPU_Progress.Value() : model_.RAM_Progress.Value();
    if (value == *rendered) continue;
    SendMessageW(GetDlgItem(window_, gauge), PBM_SETPOS, static_cast<WPARAM>(value), 0);
    *rendered = value;
    changed = true;
  }
  const bool busy = !model_.enabled;
  if (!(model_.Command1 == renderedCommand1_) || busy != renderedBusy_) {
    HWND command = GetDlgItem(window_, id::Command1);
    SetText(command, model_.Command1.caption);
    SetEnabled(command, model_.Command1.enabled && !busy);
    InvalidateRect(command, nullptr, TRUE);
    renderedCommand1_ = model_.Command1;
    changed = true;
  }
  if (busy != renderedBusy_) {
    SetEnabled(log_->hwnd(), !busy);
    renderedBusy_ = busy;
  }
  if (model_.log().LinesWritten() != renderedLogLines_) {
    log_->Follow(model_.log());
    renderedLogLines_ = model_.log().LinesWritten();
    changed = true;
  }
  if (changed) ++widgetRenders_;
}

template <typename View, typename Model>
static void SyncDialog(std::unique_ptr<View>& view, Model& model, HWND owner,
                       const std::function<void()>& renderAll) {
  if (model.state() == FormState::Shown) {
    if (!view) view = std::make_unique<View>(model, renderAll, owner);
    view->Render();
    view->ShowOnce();
  } else if (view) {
    // Unloaded (Save, Cancel): the next showing builds a fresh view from the model.
    view.reset();
  }
}

void MainWindow::RenderDialogs() {
  const std::function<void()> renderAll = [this] { Render(); };
  SyncDialog(alertDialog_, model_.alertSetting(), window_, renderAll);
  SyncDialog(smtpDialog_, model_.smtpServer(), window_, renderAll);
  if (PgmSetupModel* program = model_.pgmSETUP()) {
    SyncDialog(pgmDialog_, *program, window_, renderAll);
  }
}

bool MainWindow::DialogMessage(MSG& message) {
  for (HWND dialog : {alertSettingDialog(), smtpServerDialog(), pgmSetupDialog()}) {
    if (dialog != nullptr && IsDialogMessageW(dialog, &message)) return true;
  }
  return false;
}

void MainWindow::ShowNotification() {
  DesktopNotifications& notes = model_.notifications();
  if (!notes.pending) return;
  // Without a tray entry there is nowhere to show it; it is not kept for later.
  if (!ending_) tray_->Notify(notes.pending->title, notes.pending->text);
  notes.OnShown();
}

void MainWindow::CarryOutRequests() {
  if (model_.foregroundRequested) {
    model_.foregroundRequested = false;
    SetForegroundWindow(window_);
    BringWindowToTop(window_);
  }
  if (model_.trayMenuRequested) {
    model_.trayMenuRequested = false;
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only while the window is in front.
    SetForegroundWindow(window_);
    TrackPopupMenu(fileMenu_, TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
    PostMessageW(window_, WM_NULL, 0, 0);
  }
  if (model_.quitRequested) {
    model_.quitRequested = false;
    if (!ending_) {
      // The program ends with the next turn of the message loop; a cycle started before that
      // would run into the teardown.
      ending_ = true;
      for (UINT_PTR timer : {kTmrUpdateTimer, kTimer4Timer, kTimer5Timer}) {
        KillTimer(window_, timer);
      }
      tray_->Remove();
      ShowWindow(window_, SW_HIDE);
      PostQuitMessage(0);
    }
  }
}

}  // namespace tarnwick::win32
