// The Qt view of the SMTP settings dialog, shown by the main window over a model on fake
// services: every widget is bound to its control, the presets and the Check1 rule show, Save's
// and the test mail's messages come through the UI services, and a passed Save starts the
// notice's real timer.
#include "smtp_server_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/qt_test_app.h"
#include "app/widget_driver.h"
#include "dialog_fixture.h"
#include "main_window.h"

namespace tarnwick::testing {
namespace {

class SmtpServerDialogTest : public DialogFixture {
 protected:
  std::unique_ptr<MainWindow> window;

  void SetUp() override {
    EnsureQtApplication();
    DialogFixture::SetUp();
    Settings smtpStored = StoredSmtp();
    smtpStored.alive_Email = 0;
    Start(StoredSettings(), &smtpStored);
    window = std::make_unique<MainWindow>(*model);
    window->Render();
    window->form().SMTPsetup->trigger();
  }

  SmtpServerDialog* View() { return window->smtpServerDialog(); }
  SmtpServerModel& Model() { return model->smtpServer(); }

  template <typename T>
  T* Widget(const char* name) {
    return FindWidget<T>(View(), name);
  }

  void Type(const char* name, const QString& text) { TypeInto(Widget<QLineEdit>(name), text); }

  QString Text(const char* name) { return Widget<QLineEdit>(name)->text(); }
};

TEST_F(SmtpServerDialogTest, EveryBoxIsBoundAndTheUserNameFillsTheSender) {
  ASSERT_NE(View(), nullptr);
  EXPECT_EQ(View()->windowTitle(), QStringLiteral("SMTP server setting"));
  EXPECT_EQ(Text("mailSvr"), QStringLiteral("mail.example.org"));
  EXPECT_EQ(Widget<QComboBox>("PublicSMTP")->currentText(), QStringLiteral("My SMTP"));
  EXPECT_EQ(Widget<QLineEdit>("MailPass")->displayText(), QStringLiteral("*******"));
  EXPECT_EQ(Widget<QPushButton>("Command2")->text(), QStringLiteral("Send Test Mail"));

  const std::pair<const char*, std::string SmtpServerModel::*> boxes[] = {
      {"mailSvr", &SmtpServerModel::mailSvr},       {"mailFrom", &SmtpServerModel::mailFrom},
      {"SMTPport", &SmtpServerModel::SMTPport},     {"MailPass", &SmtpServerModel::MailPass},
      {"min_Select", &SmtpServerModel::min_Select}, {"mailTo1", &SmtpServerModel::mailTo1},
  };
  for (const auto& [name, field] : boxes) {
    SCOPED_TRACE(name);
    Type(name, QStringLiteral("x") + QString::fromLatin1(name));
    EXPECT_EQ(Model().*field, std::string("x") + name);
  }
  Type("MailUser", QStringLiteral("ops@example.net"));
  EXPECT_EQ(Model().MailUser, "ops@example.net");
  EXPECT_EQ(Text("mailFrom"), QStringLiteral("ops@example.net"));

  Tick(Widget<QCheckBox>("alive_Email"));
  EXPECT_TRUE(Model().alive_Email);
}

TEST_F(SmtpServerDialogTest, PresetChoiceAndCheck1ShowInTheWidgets) {
  QComboBox* presets = Widget<QComboBox>("PublicSMTP");
  ASSERT_EQ(presets->count(), 3);
  presets->setFocus();
  QTest::keyClick(presets, Qt::Key_Up);
  EXPECT_EQ(Model().PublicSMTP.Text(), "Hotmail");
  EXPECT_EQ(Text("SMTPport"), QStringLiteral("25"));
  EXPECT_EQ(Text("MailPass"), QString());
  EXPECT_TRUE(Text("MailUser").contains(QStringLiteral("xxxxx@")));

  Tick(Widget<QCheckBox>("Check1"));
  EXPECT_FALSE(Model().Check1);
  for (const char* name :
       {"mailSvr", "mailFrom", "SMTPport", "MailUser", "MailPass", "min_Select", "mailTo1"}) {
    EXPECT_FALSE(Widget<QLineEdit>(name)->isEnabled()) << name;
  }
  EXPECT_FALSE(presets->isEnabled());
  EXPECT_FALSE(Widget<QCheckBox>("alive_Email")->isEnabled());
  EXPECT_FALSE(Widget<QPushButton>("Command2")->isEnabled());
}

TEST_F(SmtpServerDialogTest, TestMailAndSaveTellThroughTheUiServices) {
  ui.inputResult = "ops@example.org";
  QTest::mouseClick(Widget<QPushButton>("Command2"), Qt::LeftButton);
  ASSERT_EQ(smtp.sent.size(), 1u);
  EXPECT_EQ(smtp.sent[0].server, "mail.example.org");
  // While the mail is on its way the button shows it and takes no click.
  EXPECT_EQ(Widget<QPushButton>("Command2")->text(), QStringLiteral("Testing ....."));
  EXPECT_FALSE(Widget<QPushButton>("Command2")->isEnabled());
  EXPECT_TRUE(ui.messages.empty());
  smtp.Answer();
  window->Render();
  EXPECT_EQ(Widget<QPushButton>("Command2")->text(), QStringLiteral("Send Test Mail"));
  EXPECT_TRUE(Widget<QPushButton>("Command2")->isEnabled());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Mail sent OK");

  Type("MailPass", QString());
  QTest::mouseClick(Widget<QPushButton>("Save"), Qt::LeftButton);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[1].text, "SMTP server,Mail from,Username and Password can not be empty");
  EXPECT_NE(View(), nullptr);

  Type("MailPass", QStringLiteral("new-pw"));
  Type("min_Select", QStringLiteral("0"));
  Tick(Widget<QCheckBox>("alive_Email"));
  QTest::mouseClick(Widget<QPushButton>("Save"), Qt::LeftButton);
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[2].text, "Send mail for I am alive notice need >= 1 minutes");
  EXPECT_EQ(Text("min_Select"), QStringLiteral("1"));

  QTest::mouseClick(Widget<QPushButton>("Save"), Qt::LeftButton);
  EXPECT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(View(), nullptr);
  EXPECT_EQ(ReadFile(SmtpPath()), FormatSmtpFile(engine->settings));
  EXPECT_EQ(engine->settings.MailPass, "new-pw");
  EXPECT_TRUE(window->Timer5().isActive());
}

}  // namespace
}  // namespace tarnwick::testing
