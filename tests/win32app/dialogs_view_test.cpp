// The three settings dialogs in Win32: each opens from its menu command as a modeless window,
// every box and switch reaches its model control, Save goes through the model's checks (one
// message box per failed check, the dialog staying open) and writes its file, Escape cancels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/dialog_fixture.h"
#include "engine/process_control.h"
#include "forms/alert_setting_model.h"
#include "forms/pgm_setup_model.h"
#include "forms/smtp_server_model.h"
#include "settings/settings_store.h"
#include "view_fixture.h"

namespace tarnwick::testing {
namespace {

namespace id = win32::id;

std::vector<std::string> Messages(const RecordingUi& ui) {
  std::vector<std::string> texts;
  for (const RecordedMessage& m : ui.messages) texts.push_back(m.text);
  return texts;
}

std::vector<std::string> FileLines(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    const size_t end = content.find("\r\n", start);
    if (end == std::string::npos) break;
    lines.push_back(content.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class DialogsViewTest : public Win32ViewTest {
 protected:
  void SetUp() override {
    Win32ViewTest::SetUp();
    WriteFile(system.programFolder + "/setting.ini", FormatSettingFile(StoredSettings()));
  }
  HWND Alert() { return window->alertSettingDialog(); }
  HWND Smtp() { return window->smtpServerDialog(); }
  HWND Pgm() { return window->pgmSetupDialog(); }
};

TEST_F(DialogsViewTest, AlertSettingsBoxesReachTheModelAndSaveRunsTheChecks) {
  Start();
  Menu(id::Setup);
  ASSERT_NE(Alert(), nullptr);
  EXPECT_TRUE(IsWindowVisible(Alert()));
  EXPECT_EQ(win32::WindowTextUtf8(Alert()), "Alert  Settings");
  EXPECT_EQ(Text(Alert(), id::cpu_High), "80");
  EXPECT_EQ(Text(Alert(), id::max_SMS), "20");

  const AlertSettingModel& m = model->alertSetting();
  const struct {
    int id;
    const std::string* field;
  } boxes[] = {{id::TimeInterval, &m.TimeInterval},
               {id::cpu_High, &m.cpu_High},
               {id::mem_High, &m.mem_High},
               {id::num_High, &m.num_High},
               {id::host_Name, &m.host_Name},
               {id::num_Kill, &m.num_Kill},
               {id::filMusic, &m.filMusic},
               {id::soundFrom, &m.soundFrom},
               {id::soundTo, &m.soundTo},
               {id::smsEmail, &m.smsEmail},
               {id::smsPassword, &m.smsPassword},
               {id::smsPhone, &m.smsPhone},
               {id::Mail_List, &m.Mail_List},
               {id::smsFrom, &m.smsFrom},
               {id::smsTo, &m.smsTo}};
  for (const auto& box : boxes) {
    Type(Alert(), box.id, "7x");
    EXPECT_EQ(*box.field, "7x") << "control " << box.id;
  }
  Click(Alert(), id::KillProc);
  EXPECT_TRUE(Enabled(Alert(), id::PnameList)) << "KillProc enables the kill rule's controls";
  Type(Alert(), id::PnameList, "java.exe,\r\nnode.exe");
  EXPECT_EQ(m.PnameList, "java.exe,\nnode.exe");
  Click(Alert(), id::KillProc);
  EXPECT_FALSE(Enabled(Alert(), id::PnameList));

  // Clearing Check2 greys out the alerts group.
  EXPECT_TRUE(Enabled(Alert(), id::smsEmail));
  Click(Alert(), id::Check2);
  EXPECT_FALSE(m.Check2);
  EXPECT_FALSE(Enabled(Alert(), id::smsEmail));
  EXPECT_FALSE(Enabled(Alert(), id::lblAccount));
  EXPECT_FALSE(Enabled(Alert(), id::max_SMS));

  // Two empty boxes and two that are no numbers: four message boxes in turn, and the dialog
  // stays open.
  Type(Alert(), id::TimeInterval, "");
  Type(Alert(), id::cpu_High, "");
  Type(Alert(), id::soundFrom, "8");
  Type(Alert(), id::soundTo, "19");
  Type(Alert(), id::smsFrom, "8");
  Type(Alert(), id::smsTo, "19");
  Click(Alert(), id::Save);
  EXPECT_EQ(Messages(ui),
            (std::vector<std::string>{
                "Timeinterval value for monitoring can not be empty",
                "CPU warning threshold can not be empty",
                "Memory warning threshold must be a whole number from 1 to 100",
                "# of Consecutive exceed threshold to send alert must be a whole number from 1 to "
                "32767"}));
  EXPECT_EQ(ui.messages.at(0).title, "Tarnwick");
  ASSERT_NE(Alert(), nullptr) << "a refused Save keeps the dialog";

  Type(Alert(), id::TimeInterval, "7");
  Type(Alert(), id::cpu_High, "66");
  Type(Alert(), id::mem_High, "77");
  Type(Alert(), id::num_High, "4");
  Type(Alert(), id::host_Name, "DB02");
  Choose(Alert(), id::max_SMS, 2);  // "10"
  ui.messages.clear();
  Click(Alert(), id::Save);
  EXPECT_TRUE(ui.messages.empty()) << ui.messages.at(0).text;
  EXPECT_EQ(Alert(), nullptr) << "Save closes the dialog";
  const std::vector<std::string> lines = FileLines(ReadProgramFile("setting.ini"));
  ASSERT_EQ(lines.size(), 24u);
  EXPECT_EQ(lines[0], "7");
  EXPECT_EQ(lines[1], "66");
  EXPECT_EQ(lines[4], "DB02");
  EXPECT_EQ(lines[15], "0") << "Enable_alert, cleared with Check2";
  EXPECT_EQ(lines[20], "10");
  EXPECT_EQ(Text(Main(), id::lblTimeinterval), "Monitor cycle on every 7 seconds");
  EXPECT_EQ(Text(Main(), id::lbl_Threshold_0), "66%");
}

TEST_F(DialogsViewTest, AlertSettingsPointerHintAndResetFollowTheModel) {
  Settings s = StoredSettings();
  s.smsPhone = "";
  WriteFile(system.programFolder + "/setting.ini", FormatSettingFile(s));
  Start();
  Menu(id::Setup);
  ASSERT_NE(Alert(), nullptr);
  // Closed by Cancel, the dialog is loaded afresh at the next showing.
  SendMessageW(Alert(), WM_COMMAND, IDCANCEL, 0);
  Pump();
  ASSERT_EQ(Alert(), nullptr);
  engine->settings.smsSentToday = 3;
  Menu(id::Setup);
  ASSERT_NE(Alert(), nullptr);
  EXPECT_EQ(Text(Alert(), id::SMS_Today), "Sent Today : 3");
  SendMessageW(Alert(), WM_COMMAND, MAKEWPARAM(id::SMS_Reset, STN_CLICKED),
               reinterpret_cast<LPARAM>(Control(Alert(), id::SMS_Reset)));
  Pump();
  EXPECT_EQ(engine->settings.smsSentToday, 0);
  EXPECT_EQ(Text(Alert(), id::SMS_Today), "Sent Today : 0");

  // Over "Click to Reset" the pointer is the hand; over the background it is the arrow again.
  SendMessageW(Alert(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Control(Alert(), id::SMS_Reset)),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(model->alertSetting().pointer, Pointer::Hand);
  SendMessageW(Alert(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Alert()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(model->alertSetting().pointer, Pointer::Default);

  // A click into smsPhone clears the hints of smsPhone and Mail_List.
  Type(Alert(), id::smsPhone, std::string(kPhoneHint));
  Type(Alert(), id::Mail_List, std::string(kMailListHint));
  SendMessageW(Control(Alert(), id::smsPhone), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(Control(Alert(), id::smsPhone), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  Pump();
  EXPECT_EQ(Text(Alert(), id::smsPhone), "");
  EXPECT_EQ(Text(Alert(), id::Mail_List), "");

  // Escape cancels: nothing is written.
  const std::string before = ReadProgramFile("setting.ini");
  Type(Alert(), id::cpu_High, "1");
  PostMessageW(Control(Alert(), id::cpu_High), WM_KEYDOWN, VK_ESCAPE, 0);
  Pump();
  EXPECT_EQ(Alert(), nullptr);
  EXPECT_EQ(ReadProgramFile("setting.ini"), before);
}

TEST_F(DialogsViewTest, SmtpSettingsPresetsSenderChecksAndSave) {
  Start();
  Menu(id::SMTPsetup);
  ASSERT_NE(Smtp(), nullptr);
  EXPECT_EQ(win32::WindowTextUtf8(Smtp()), "SMTP server setting");
  // No server stored: the Yahoo preset, with Check1 clear and the server boxes greyed out.
  EXPECT_EQ(Text(Smtp(), id::SMTPport), "465");
  EXPECT_FALSE(Enabled(Smtp(), id::mailSvr));
  Click(Smtp(), id::Check1);
  EXPECT_TRUE(Enabled(Smtp(), id::mailSvr));

  Choose(Smtp(), id::PublicSMTP, 1);  // Hotmail
  EXPECT_EQ(Text(Smtp(), id::mailSvr), "smtp-mail.outlook.com");
  EXPECT_EQ(Text(Smtp(), id::SMTPport), "25");
  EXPECT_EQ(Text(Smtp(), id::MailPass), "");

  Type(Smtp(), id::MailUser, "monitor@example.org");
  EXPECT_EQ(Text(Smtp(), id::mailFrom), "monitor@example.org") << "the sender follows the user";
  Click(Smtp(), id::Save);
  EXPECT_EQ(Messages(ui), std::vector<std::string>{
                              "SMTP server,Mail from,Username and Password can not be empty"});
  ASSERT_NE(Smtp(), nullptr);

  ui.messages.clear();
  Type(Smtp(), id::MailPass, "pw");
  Click(Smtp(), id::alive_Email);
  Type(Smtp(), id::mailTo1, "a@b.cd");  // 6 characters
  Click(Smtp(), id::Save);
  EXPECT_EQ(Messages(ui),
            std::vector<std::string>{
                "Need input valid email on [Mail to] field for [I am alive notice] !!"});

  ui.messages.clear();
  Type(Smtp(), id::mailTo1, "a@b.cde");
  Type(Smtp(), id::min_Select, "0");
  Click(Smtp(), id::Save);
  EXPECT_EQ(Messages(ui),
            std::vector<std::string>{"Send mail for I am alive notice need >= 1 minutes"});
  EXPECT_EQ(Text(Smtp(), id::min_Select), "1");

  ui.messages.clear();
  Click(Smtp(), id::Save);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(Smtp(), nullptr);
  const std::vector<std::string> lines = FileLines(ReadProgramFile("smtpsvr.ini"));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[1], "smtp-mail.outlook.com");
  EXPECT_EQ(lines[2], "25");
  EXPECT_EQ(lines[4], "monitor@example.org");
  EXPECT_EQ(lines[8], "a@b.cde");
}

TEST_F(DialogsViewTest, SmtpTestMailKeepsTheButtonBusyUntilTheAnswer) {
  RecordingSmtpClient smtp;
  Start([&smtp](DeskDeps& deps) { deps.smtpClient = &smtp; });
  Menu(id::SMTPsetup);
  ASSERT_NE(Smtp(), nullptr);
  Click(Smtp(), id::Check1);
  Choose(Smtp(), id::PublicSMTP, 2);  // My SMTP: the stored (empty) server
  Type(Smtp(), id::mailSvr, "mail.example.org");
  Type(Smtp(), id::MailUser, "monitor@example.org");
  Type(Smtp(), id::MailPass, "pw");
  ui.inputResult = "ops@example.org";
  Click(Smtp(), id::Command2);
  ASSERT_EQ(ui.inputs.size(), 1u);
  EXPECT_EQ(ui.inputs[0].title, "Send Test Email via mail.example.org");
  ASSERT_EQ(smtp.sent.size(), 1u);
  EXPECT_EQ(Text(Smtp(), id::Command2), "Testing .....");
  EXPECT_FALSE(Enabled(Smtp(), id::Command2));

  smtp.Answer();
  window->Render();
  EXPECT_EQ(Text(Smtp(), id::Command2), "Send Test Mail");
  EXPECT_TRUE(Enabled(Smtp(), id::Command2));
  EXPECT_EQ(Messages(ui), std::vector<std::string>{"Mail sent OK"});
}

// A refused Save leaves its entries in force and the caption says so; the close box, as Cancel,
// puts the saved settings back, and the main window shows them again.
TEST_F(DialogsViewTest, TheCloseBoxAfterARefusedSavePutsTheSavedSettingsBack) {
  Start();
  Menu(id::Setup);
  ASSERT_NE(Alert(), nullptr);
  const std::string caption = win32::WindowTextUtf8(Alert());
  Type(Alert(), id::cpu_High, "50");
  Type(Alert(), id::soundFrom, "9");
  Type(Alert(), id::soundTo, "9");
  Click(Alert(), id::Save);
  ASSERT_NE(Alert(), nullptr) << "the Save was refused";
  EXPECT_EQ(win32::WindowTextUtf8(Alert()), caption + std::string(kNotSavedTail));
  EXPECT_EQ(Text(Main(), id::lbl_Threshold_0), "50%") << "the refused entries are in force";

  SendMessageW(Alert(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_EQ(Alert(), nullptr);
  EXPECT_EQ(Text(Main(), id::lbl_Threshold_0), "80%");
  Menu(id::Setup);
  EXPECT_EQ(win32::WindowTextUtf8(Alert()), caption);
  EXPECT_EQ(Text(Alert(), id::cpu_High), "80");
}

// Enter in a box clicks no button in any of the three dialogs: the dialog stays open, no check
// runs and no file is written; Save takes a click.
TEST_F(DialogsViewTest, EnterInABoxClicksNoButton) {
  struct DialogCase {
    const char* name;
    int menu;
    HWND (win32::MainWindow::*dialog)() const;
    int box;
    const char* file;
  };
  const DialogCase cases[] = {
      {"alert settings", id::Setup, &win32::MainWindow::alertSettingDialog, id::cpu_High,
       "setting.ini"},
      {"SMTP server", id::SMTPsetup, &win32::MainWindow::smtpServerDialog, id::mailSvr,
       "smtpsvr.ini"},
      {"program monitor", id::mPGMSetup, &win32::MainWindow::pgmSetupDialog, id::pgmCPUsetF,
       "pgmsetting.ini"},
  };
  Start();
  for (const DialogCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = ReadProgramFile(c.file);
    Menu(c.menu);
    HWND dialog = ((*window).*c.dialog)();
    ASSERT_NE(dialog, nullptr);
    Type(dialog, c.box, "7");
    SetFocus(Control(dialog, c.box));
    PostMessageW(Control(dialog, c.box), WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(Control(dialog, c.box), WM_KEYUP, VK_RETURN, 0);
    Pump();
    EXPECT_EQ(((*window).*c.dialog)(), dialog) << "Enter closed the dialog";
    EXPECT_TRUE(ui.messages.empty()) << "Enter ran Save's checks";
    EXPECT_EQ(ReadProgramFile(c.file), before);
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_EQ(((*window).*c.dialog)(), nullptr);
  }
}

TEST_F(DialogsViewTest, ProgramMonitorSaveWritesTheFileAndTheMainWindowShowsIt) {
  Start();
  Menu(id::mPGMSetup);
  ASSERT_NE(Pgm(), nullptr);
  EXPECT_EQ(win32::WindowTextUtf8(Pgm()), "Setup to monitor a specific program");
  EXPECT_EQ(Text(Pgm(), id::pgmNameF), "firefox.exe (*example)");
  EXPECT_FALSE(Enabled(Pgm(), id::pgmKillF)) << "kill and sound follow the monitor switch";

  // A click into the example name empties it.
  SendMessageW(Control(Pgm(), id::pgmNameF), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(Control(Pgm(), id::pgmNameF), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  Pump();
  EXPECT_EQ(Text(Pgm(), id::pgmNameF), "");

  Click(Pgm(), id::pgmMonitorF);
  EXPECT_TRUE(Enabled(Pgm(), id::pgmKillF));
  Click(Pgm(), id::pgmKillF);
  Type(Pgm(), id::pgmNameF, "  Notepad.EXE ");
  Type(Pgm(), id::pgmCPUsetF, "45");
  Type(Pgm(), id::pgmMEMsetF, "12.5");
  Type(Pgm(), id::pgmAlertSetF, "3");
  ui.pickResult = "C:\\sounds\\ding.wav";
  Click(Pgm(), id::pgmSelectMusic);
  EXPECT_EQ(Text(Pgm(), id::pgmFileSoundF), "C:\\sounds\\ding.wav");
  Click(Pgm(), id::pgmSave);
  EXPECT_EQ(Pgm(), nullptr);
  const std::vector<std::string> lines = FileLines(ReadProgramFile("pgmsetting.ini"));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], " 1 ");
  EXPECT_EQ(lines[1], "notepad.exe");
  EXPECT_EQ(lines[3], " 12.5 ");
  EXPECT_EQ(lines[5], " 1 ");
  EXPECT_EQ(lines[7], "C:\\sounds\\ding.wav");
  EXPECT_EQ(Text(Main(), id::Label6_0), "notepad.exe");
  EXPECT_EQ(Text(Main(), id::Label6_2), "notepad.exe");
  EXPECT_EQ(Text(Main(), id::pgmCPU_Setting), "/45%");
  EXPECT_EQ(Text(Main(), id::pgmMEM_Setting), "/12.5 %");
  EXPECT_EQ(Text(Main(), id::pgmCPU_Warn), "/3");

  // Reopened and cancelled with the close box: nothing changes.
  Menu(id::mPGMSetup);
  ASSERT_NE(Pgm(), nullptr);
  EXPECT_EQ(Text(Pgm(), id::pgmNameF), "notepad.exe");
  SendMessageW(Pgm(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_EQ(Pgm(), nullptr);
}

}  // namespace
}  // namespace tarnwick::testing
