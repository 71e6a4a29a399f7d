// The program's own message boxes (Qt's, through the program's UI services) over the main window
// and a settings dialog: while a box is open its event loop runs the monitor on, and what the box
// shows is the text it was given, character for character.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "alert_setting_dialog.h"
#include "app/qt_test_app.h"
#include "app/widget_driver.h"
#include "dialog_fixture.h"
#include "main_window.h"
#include "qt_ui_services.h"

namespace tarnwick::testing {
namespace {

// What an open box showed when the test closed it: its text as its label shows it.
struct ShownBox {
  std::string text;
};

class MessageBoxProgramTest : public DialogFixture {
 protected:
  QtUiServices qtUi;
  std::unique_ptr<Desk> programDesk;
  Engine* programEngine = nullptr;
  MainWindowModel* program = nullptr;
  std::unique_ptr<MainWindow> window;
  RecordingAlertSender sender;

  void SetUp() override {
    EnsureQtApplication();
    DialogFixture::SetUp();
    WriteFile(SettingPath(), FormatSettingFile(StoredSettings()));
    programDesk =
        std::make_unique<Desk>(DeskDeps{clock, qtUi, system, cpu, memory, processes, sound, files});
    programEngine = &programDesk->engine;
    program = &programDesk->form;
    program->OnLoad();
    programEngine->SetAlertSender(&sender);
    programEngine->session.loggedIn = true;
    window = std::make_unique<MainWindow>(*program);
    qtUi.SetBeforeEvents([this] { window->Render(); });
    window->Render();
  }

  // Closes the next message box with OK (or its first button) once `ready` holds (checked every 10
  // ms), and keeps what it showed in `shown`.
  void CloseNextBoxWhen(std::function<bool()> ready, ShownBox& shown) {
    auto* poll = new QTimer(window.get());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, ready = std::move(ready), &shown] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !ready()) return;
      poll->stop();
      poll->deleteLater();
      const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      shown.text = label != nullptr ? ShownText(*label) : std::string("(no label)");
      QAbstractButton* ok = box->button(QMessageBox::Ok);
      (ok != nullptr ? ok : box->buttons().front())->click();
    });
    poll->start(10);
  }
};

// The monitor runs a cycle every 20 ms behind the box that says setting.ini could not be saved:
// the unsaved threshold, alert count and phone must reach none of them.
TEST_F(MessageBoxProgramTest, CyclesBehindARefusedSaveRunOnTheSavedSettings) {
  programEngine->settings.TimeInterval = "1";
  programEngine->cycleCountdown = 1;
  program->tmrUpdate.intervalMs = 20;
  cpu.busy.assign(100000, 60);
  window->Render();
  window->form().Setup->trigger();
  AlertSettingDialog* view = window->alertSettingDialog();
  ASSERT_NE(view, nullptr);
  TypeInto(FindWidget<QLineEdit>(view, "cpu_High"), QStringLiteral("55"));
  TypeInto(FindWidget<QLineEdit>(view, "num_High"), QStringLiteral("1"));
  TypeInto(FindWidget<QLineEdit>(view, "smsPhone"), QStringLiteral("+19995550000"));
  files.replaceFails[SettingPath()] = "Read-only file system";

  const size_t samplesBefore = cpu.busy.size();
  ShownBox shown;
  CloseNextBoxWhen([&] { return samplesBefore - cpu.busy.size() >= 3; }, shown);
  QTest::mouseClick(FindWidget<QPushButton>(view, "Save"), Qt::LeftButton);

  EXPECT_NE(shown.text.find("could not be saved"), std::string::npos) << shown.text;
  EXPECT_GE(samplesBefore - cpu.busy.size(), 3u) << "no cycle ran behind the box";
  EXPECT_TRUE(sender.sent.empty()) << sender.sent.front().recipients;
  EXPECT_EQ(programEngine->settings.cpu_High, "80");
  EXPECT_NE(window->alertSettingDialog(), nullptr) << "the dialog stays open for another try";
}

// A service's refusal or a mail server's error is shown as it came, not as markup.
TEST_F(MessageBoxProgramTest, TheBoxShowsMarkupAsItsCharacters) {
  const std::string text = std::string("Login refused: ") + kMarkupText;
  ShownBox shown;
  CloseNextBoxWhen([] { return true; }, shown);
  EXPECT_EQ(qtUi.MessageBox(text, MessageButtons::OkCancel, "Tarnwick"), MessageAnswer::Ok);
  EXPECT_EQ(shown.text, text);
}

}  // namespace
}  // namespace tarnwick::testing
