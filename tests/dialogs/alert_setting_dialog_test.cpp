// The Qt view of the alert settings dialog, shown by the main window over a model on fake
// services: every widget is bound to its control (typing and clicks reach the model, the model's
// state shows), Save's messages come through the UI services, and the pointer over SMS_Reset is
// the hand of Hand-m.cur.
#include "alert_setting_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>

#include "app/qt_test_app.h"
#include "app/widget_driver.h"
#include "dialog_fixture.h"
#include "main_window.h"
#include "smtp_server_dialog.h"

namespace tarnwick::testing {
namespace {

class AlertSettingDialogTest : public DialogFixture {
 protected:
  std::unique_ptr<MainWindow> window;

  void SetUp() override {
    EnsureQtApplication();
    DialogFixture::SetUp();
    std::filesystem::copy_file(std::string(TARNWICK_PROGRAM_DIR) + "/Hand-m.cur",
                               system.programFolder + "/Hand-m.cur");
    Start();
    window = std::make_unique<MainWindow>(*model);
    window->Render();
    window->form().Setup->trigger();
  }

  AlertSettingDialog* View() { return window->alertSettingDialog(); }
  AlertSettingModel& Model() { return model->alertSetting(); }

  template <typename T>
  T* Widget(const char* name) {
    return FindWidget<T>(View(), name);
  }

  void Type(const char* name, const QString& text) { TypeInto(Widget<QLineEdit>(name), text); }

  void MoveOver(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
  }
};

TEST_F(AlertSettingDialogTest, TypingInEveryBoxReachesItsControl) {
  ASSERT_NE(View(), nullptr);
  EXPECT_TRUE(View()->isVisible());
  EXPECT_EQ(View()->windowTitle(), QStringLiteral("Alert  Settings"));
  // The kill controls are disabled while KillProc is clear; tick it so every box takes typing.
  Tick(Widget<QCheckBox>("KillProc"));
  const std::pair<const char*, std::string AlertSettingModel::*> boxes[] = {
      {"TimeInterval", &AlertSettingModel::TimeInterval},
      {"cpu_High", &AlertSettingModel::cpu_High},
      {"mem_High", &AlertSettingModel::mem_High},
      {"num_High", &AlertSettingModel::num_High},
      {"host_Name", &AlertSettingModel::host_Name},
      {"num_Kill", &AlertSettingModel::num_Kill},
      {"filMusic", &AlertSettingModel::filMusic},
      {"soundFrom", &AlertSettingModel::soundFrom},
      {"soundTo", &AlertSettingModel::soundTo},
      {"smsEmail", &AlertSettingModel::smsEmail},
      {"smsPassword", &AlertSettingModel::smsPassword},
      {"smsPhone", &AlertSettingModel::smsPhone},
      {"Mail_List", &AlertSettingModel::Mail_List},
      {"smsFrom", &AlertSettingModel::smsFrom},
      {"smsTo", &AlertSettingModel::smsTo},
  };
  for (const auto& [name, field] : boxes) {
    SCOPED_TRACE(name);
    Type(name, QStringLiteral("x") + QString::fromLatin1(name));
    EXPECT_EQ(Model().*field, std::string("x") + name);
  }
  QPlainTextEdit* list = Widget<QPlainTextEdit>("PnameList");
  list->selectAll();
  QTest::keyClicks(list, QStringLiteral("java"));
  EXPECT_EQ(Model().PnameList, "java");
  // The password shows stars only.
  EXPECT_EQ(Widget<QLineEdit>("smsPassword")->displayText(), QString(12, QLatin1Char('*')));
}

TEST_F(AlertSettingDialogTest, ChecksOptionsAndListReachTheModelAndEnabledFlagsShow) {
  const std::pair<const char*, bool AlertSettingModel::*> checks[] = {
      {"Enable_log", &AlertSettingModel::Enable_log}, {"Check5", &AlertSettingModel::Check5},
      {"soundOn", &AlertSettingModel::soundOn},       {"schAlert", &AlertSettingModel::schAlert},
      {"KillProc", &AlertSettingModel::KillProc},
  };
  for (const auto& [name, field] : checks) {
    SCOPED_TRACE(name);
    const bool before = Model().*field;
    Tick(Widget<QCheckBox>(name));
    EXPECT_EQ(Model().*field, !before);
    EXPECT_EQ(Widget<QCheckBox>(name)->isChecked(), !before);
  }
  // KillProc is now ticked: its controls are enabled and the options work.
  EXPECT_TRUE(Widget<QLineEdit>("num_Kill")->isEnabled());
  EXPECT_TRUE(Widget<QPlainTextEdit>("PnameList")->isEnabled());
  Tick(Widget<QRadioButton>("Killopt"));
  EXPECT_TRUE(Model().Killopt);
  EXPECT_FALSE(Model().noKillopt);
  Tick(Widget<QRadioButton>("noKillopt"));
  EXPECT_FALSE(Model().Killopt);
  EXPECT_TRUE(Widget<QRadioButton>("noKillopt")->isChecked());

  QComboBox* cap = Widget<QComboBox>("max_SMS");
  EXPECT_EQ(cap->count(), 11);
  EXPECT_EQ(cap->currentText(), QStringLiteral("20"));
  cap->setFocus();
  QTest::keyClick(cap, Qt::Key_Down);
  EXPECT_EQ(Model().max_SMS.Text(), "30");

  // Clearing Check2 disables the alerts group, labels included.
  Tick(Widget<QCheckBox>("Check2"));
  EXPECT_FALSE(Model().Check2);
  for (const char* name :
       {"smsEmail", "smsPassword", "smsPhone", "Mail_List", "smsFrom", "smsTo"}) {
    EXPECT_FALSE(Widget<QLineEdit>(name)->isEnabled()) << name;
  }
  for (const char* name :
       {"lblAccount", "lblPassword", "lblSmsAlertTo", "lblSeparateNote", "lblCapSms",
        "lblMailAlertTo", "lblAlertHours", "lblAlertHoursTo", "SMS_Today", "SMS_Reset"}) {
    EXPECT_FALSE(Widget<QLabel>(name)->isEnabled()) << name;
  }
  EXPECT_FALSE(cap->isEnabled());
  EXPECT_FALSE(Widget<QCheckBox>("schAlert")->isEnabled());
  EXPECT_FALSE(Widget<QCheckBox>("schAlert")->isChecked());
  EXPECT_TRUE(Widget<QCheckBox>("Check5")->isEnabled());
}

TEST_F(AlertSettingDialogTest, SaveTellsThroughTheUiServicesAndClosesOnceEveryCheckPasses) {
  Type("TimeInterval", QString());
  QTest::mouseClick(Widget<QPushButton>("Save"), Qt::LeftButton);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Timeinterval value for monitoring can not be empty");
  EXPECT_EQ(ui.messages[0].title, "Tarnwick");
  EXPECT_NE(View(), nullptr);

  Type("TimeInterval", QStringLiteral("9"));
  QTest::mouseClick(Widget<QPushButton>("Save"), Qt::LeftButton);
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(View(), nullptr);
  EXPECT_EQ(ReadFile(SettingPath()), FormatSettingFile(engine->settings));
  EXPECT_EQ(window->form().lblTimeinterval->text(),
            QStringLiteral("Monitor cycle on every 9 seconds"));
}

// The title bar and the main window say what is in force; closing from the title bar is a Cancel.
TEST_F(AlertSettingDialogTest, ARefusedSaveShowsNotSavedUntilTheCloseGoesBackToTheSaved) {
  Type("cpu_High", QStringLiteral("50"));
  Type("soundTo", QStringLiteral("8"));
  QTest::mouseClick(Widget<QPushButton>("Save"), Qt::LeftButton);
  ASSERT_NE(View(), nullptr);
  EXPECT_EQ(View()->windowTitle(), QStringLiteral("Alert  Settings (not saved)"));
  EXPECT_EQ(window->form().lbl_Threshold[0]->text(), QStringLiteral("50%"));

  View()->close();

  EXPECT_EQ(View(), nullptr);
  EXPECT_EQ(engine->settings.cpu_High, "80");
  EXPECT_EQ(window->form().lbl_Threshold[0]->text(), QStringLiteral("80%"));
  window->form().Setup->trigger();
  ASSERT_NE(View(), nullptr);
  EXPECT_EQ(View()->windowTitle(), QStringLiteral("Alert  Settings"));
}

TEST_F(AlertSettingDialogTest, TheLabelsOfBothSettingsDialogsArePlainText) {
  Model().SMS_Today = kMarkupText;
  window->Render();
  EXPECT_EQ(ShownText(*Widget<QLabel>("SMS_Today")), kMarkupText);
  ExpectOnlyPlainLabels(View());
  window->form().SMTPsetup->trigger();
  ASSERT_NE(window->smtpServerDialog(), nullptr);
  ExpectOnlyPlainLabels(window->smtpServerDialog());
}

TEST_F(AlertSettingDialogTest, LabelClicksButtonsAndPointerMovesReachTheModel) {
  engine->settings.smsSentToday = 3;
  Model().SMS_Today = "Sent Today : 3";
  window->Render();
  QLabel* reset = Widget<QLabel>("SMS_Reset");
  QTest::mouseClick(reset, Qt::LeftButton);
  EXPECT_EQ(engine->settings.smsSentToday, 0);
  EXPECT_EQ(Widget<QLabel>("SMS_Today")->text(), QStringLiteral("Sent Today : 0"));

  // The hand from the program folder's cursor file, with the file's hotspot.
  MoveOver(reset);
  EXPECT_EQ(Model().pointer, Pointer::Hand);
  EXPECT_EQ(View()->cursor().shape(), Qt::BitmapCursor);
  const QCursor fromFile = CursorFromFile(QString::fromStdString(Model().HandCursorPath()));
  EXPECT_EQ(View()->cursor().hotSpot(), fromFile.hotSpot());
  EXPECT_NE(fromFile.hotSpot(), QPoint(0, 0));
  MoveOver(Widget<QWidget>("alertHoursFrame"));
  EXPECT_EQ(Model().pointer, Pointer::Default);
  EXPECT_EQ(View()->cursor().shape(), Qt::ArrowCursor);
  MoveOver(reset);
  MoveOver(View());
  EXPECT_EQ(Model().pointer, Pointer::Default);
  EXPECT_EQ(CursorFromFile(QStringLiteral("/nonexistent/Hand-m.cur")).shape(),
            Qt::PointingHandCursor);

  // A click into the phone box clears the hints.
  Model().smsPhone = std::string(kPhoneHint);
  Model().Mail_List = std::string(kMailListHint);
  window->Render();
  QTest::mouseClick(Widget<QLineEdit>("smsPhone"), Qt::LeftButton);
  EXPECT_EQ(Widget<QLineEdit>("smsPhone")->text(), QString());
  EXPECT_EQ(Widget<QLineEdit>("Mail_List")->text(), QString());

  // Disabled (alert sending off), neither takes a click.
  engine->settings.smsSentToday = 3;
  Model().smsPhone = std::string(kPhoneHint);
  Tick(Widget<QCheckBox>("Check2"));
  ASSERT_FALSE(reset->isEnabled());
  QTest::mouseClick(reset, Qt::LeftButton);
  QTest::mouseClick(Widget<QLineEdit>("smsPhone"), Qt::LeftButton);
  EXPECT_EQ(engine->settings.smsSentToday, 3);
  EXPECT_EQ(Model().smsPhone, kPhoneHint);
  Tick(Widget<QCheckBox>("Check2"));

  ui.pickResult = "/home/ops/siren.wav";
  QTest::mouseClick(Widget<QPushButton>("SelMusic"), Qt::LeftButton);
  EXPECT_EQ(Widget<QLineEdit>("filMusic")->text(), QStringLiteral("/home/ops/siren.wav"));

  QTest::mouseClick(Widget<QPushButton>("SMTPset"), Qt::LeftButton);
  ASSERT_NE(window->smtpServerDialog(), nullptr);
  EXPECT_TRUE(window->smtpServerDialog()->isVisible());

  QTest::mouseClick(Widget<QPushButton>("Cancel"), Qt::LeftButton);
  EXPECT_EQ(View(), nullptr);
  EXPECT_EQ(Model().state(), FormState::NotLoaded);
  EXPECT_EQ(engine->settings.filMusic, "/opt/sounds/alert.wav");
}

}  // namespace
}  // namespace tarnwick::testing
