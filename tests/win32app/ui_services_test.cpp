// The Win32 UI services' save dialog on the common file dialog under Wine: the name the user
// accepts comes back as a path in the folder the request starts in, with the filter's extension
// added to a name without one; Cancel gives nothing.
#include "ui_services.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"
#include "widgets.h"

namespace tarnwick::testing {
namespace {

constexpr wchar_t kTitle[] = L"Export the shown samples as CSV";
// What the user does in the dialog, from a timer that runs inside its modal loop. A dialog that
// will not take the answer is cancelled after a few tries, so that the case fails, not hangs.
UINT gAnswer = IDOK;
int gTries = 0;

void CALLBACK Answer(HWND, UINT, UINT_PTR, DWORD) {
  if (HWND dialog = FindWindowW(L"#32770", kTitle)) {
    PostMessageW(dialog, WM_COMMAND, ++gTries > 10 ? IDCANCEL : gAnswer, 0);
  }
}

TEST(Win32UiServicesTest, TheSaveDialogGivesTheAcceptedNameWithItsExtension) {
  struct Case {
    const char* proposed;
    UINT answer;
    const char* expected;  // null: nothing comes back
  };
  const Case cases[] = {
      {"Tarnwick_history_20261204-0915_20261204-1015.csv", IDOK,
       "Tarnwick_history_20261204-0915_20261204-1015.csv"},
      {"shown", IDOK, "shown.csv"},
      {"shown.csv", IDCANCEL, nullptr},
  };
  TempDir dir;
  const std::string folder = win32::U8(dir.path().wstring());
  win32::Win32UiServices ui;
  for (const Case& c : cases) {
    FilePickRequest request;
    request.title = win32::U8(kTitle);
    request.initialFolder = folder;
    request.filterDescription = "CSV files";
    request.filterPattern = "*.csv";
    request.initialName = c.proposed;
    gAnswer = c.answer;
    gTries = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, &Answer);
    const std::optional<std::string> picked = ui.PickSaveFile(request);
    KillTimer(nullptr, timer);
    if (c.expected == nullptr) {
      EXPECT_FALSE(picked) << c.proposed;
    } else {
      EXPECT_EQ(picked, folder + "\\" + c.expected) << c.proposed;
    }
  }
}

}  // namespace
}  // namespace tarnwick::testing
