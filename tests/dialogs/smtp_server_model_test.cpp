// The SMTP settings dialog: its load step and presets, the Check1 rule, the sender that follows
// the user name, Save's steps, and the test mail's checks, texts and provider hints (with a
// recording client; the real server is in smtp_test_mail_test.cpp).
#include "forms/smtp_server_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "delivery/service_requests.h"
#include "dialog_fixture.h"

namespace tarnwick::testing {
namespace {

using Texts = std::vector<std::string>;

class SmtpServerModelTest : public DialogFixture {
 protected:
  SmtpServerModel& Dialog() { return model->smtpServer(); }
  // Starts on the stored SMTP settings and shows the dialog.
  void Open(const Settings& smtp_stored = StoredSmtp()) {
    Start(StoredSettings(), &smtp_stored);
    model->OnSMTPsetupClick();
  }
};

TEST_F(SmtpServerModelTest, NoStoredServerOpensOnTheYahooPreset) {
  Start();
  model->OnSMTPsetupClick();
  const SmtpServerModel& d = Dialog();
  EXPECT_EQ(d.state(), FormState::Shown);
  EXPECT_EQ(d.PublicSMTP.items, (Texts{"Yahoo", "Hotmail", "My SMTP"}));
  EXPECT_EQ(d.PublicSMTP.Text(), "Yahoo");
  EXPECT_EQ(d.SMTPport, "465");
  EXPECT_EQ(d.MailPass, "");
  EXPECT_FALSE(d.mailSvr.empty());
  EXPECT_NE(d.mailFrom.find("xxxxx@"), std::string::npos);
  EXPECT_EQ(d.MailUser, d.mailFrom);
  EXPECT_FALSE(d.Check1);
  EXPECT_FALSE(d.enabled.mailSvr);
  EXPECT_EQ(d.min_Select, "5");
  EXPECT_EQ(d.Command2.caption, "Send Test Mail");
  EXPECT_EQ(d.geometry.left, (1920 - d.geometry.width) / 2);
}

TEST_F(SmtpServerModelTest, PresetsFillTheBoxesAndMySmtpBringsBackTheStoredValues) {
  Open();
  SmtpServerModel& d = Dialog();
  EXPECT_EQ(d.PublicSMTP.Text(), "My SMTP");
  EXPECT_EQ(d.mailSvr, "mail.example.org");
  EXPECT_EQ(d.MailPass, "smtp-pw");
  EXPECT_TRUE(d.alive_Email);
  EXPECT_EQ(d.min_Select, "30");
  EXPECT_EQ(d.mailTo1, "admin@example.org");

  d.OnPublicSMTPClick(kHotmailPreset);
  EXPECT_EQ(d.SMTPport, "25");
  EXPECT_EQ(d.MailPass, "");
  EXPECT_NE(d.mailSvr, "mail.example.org");
  EXPECT_NE(d.MailUser.find("xxxxx@"), std::string::npos);
  const std::string hotmailServer = d.mailSvr;

  d.OnPublicSMTPClick(kYahooPreset);
  EXPECT_EQ(d.SMTPport, "465");
  EXPECT_NE(d.mailSvr, hotmailServer);

  d.OnPublicSMTPClick(kMySmtpPreset);
  EXPECT_EQ(d.mailSvr, "mail.example.org");
  EXPECT_EQ(d.SMTPport, "587");
  EXPECT_EQ(d.mailFrom, "monitor@example.org");
  EXPECT_EQ(d.MailUser, "monitor");
  EXPECT_EQ(d.MailPass, "smtp-pw");
}

TEST_F(SmtpServerModelTest, ClearingCheck1DisablesTheTenControlsAndClearsTheNotice) {
  Open();
  SmtpServerModel& d = Dialog();
  const SmtpServerEnabled& e = d.enabled;
  auto all = [&] {
    return std::vector<bool>{e.mailSvr,  e.mailFrom,        e.SMTPport,    d.PublicSMTP.enabled,
                             e.MailUser, e.MailPass,        e.alive_Email, e.min_Select,
                             e.mailTo1,  d.Command2.enabled};
  };
  EXPECT_EQ(all(), std::vector<bool>(10, true));
  d.Check1 = false;
  d.OnCheck1Click();
  EXPECT_EQ(all(), std::vector<bool>(10, false));
  EXPECT_FALSE(d.alive_Email);
  d.Check1 = true;
  d.OnCheck1Click();
  EXPECT_EQ(all(), std::vector<bool>(10, true));
  EXPECT_FALSE(d.alive_Email);
}

TEST_F(SmtpServerModelTest, TypingTheUserNameFillsTheSender) {
  Open();
  SmtpServerModel& d = Dialog();
  d.MailUser = "alerts@example.net";
  d.OnMailUserChange();
  EXPECT_EQ(d.mailFrom, "alerts@example.net");
}

TEST_F(SmtpServerModelTest, EmptyPasswordIsRefusedWhileTheNewServerIsAlreadyInEffect) {
  Open();
  SmtpServerModel& d = Dialog();
  const std::string fileBefore = ReadFile(SmtpPath());
  d.mailSvr = "smtp.new.example";
  d.SMTPport = "2525";
  d.MailPass = "";
  d.alive_Email = false;

  EXPECT_FALSE(d.OnSaveClick());
  EXPECT_EQ(MessageTexts(), Texts{"SMTP server,Mail from,Username and Password can not be empty"});
  EXPECT_EQ(ui.messages[0].title, "Tarnwick");
  EXPECT_EQ(engine->settings.mailSvr, "smtp.new.example");
  EXPECT_EQ(engine->settings.SMTPport, "2525");
  EXPECT_EQ(engine->settings.MailPass, "");
  // Steps 3 to 5 were not reached.
  EXPECT_EQ(engine->settings.alive_Email, 1);
  EXPECT_EQ(ReadFile(SmtpPath()), fileBefore);
  EXPECT_EQ(d.state(), FormState::Shown);
}

TEST_F(SmtpServerModelTest, UneditedPresetIsRefusedOnlyWhileTheServerIsOn) {
  Open();
  SmtpServerModel& d = Dialog();
  d.OnPublicSMTPClick(kYahooPreset);
  d.MailPass = "pw";
  EXPECT_FALSE(d.OnSaveClick());
  EXPECT_EQ(MessageTexts(), Texts{"Need input the valid Mail from and username information"});

  ui.messages.clear();
  d.Check1 = false;
  d.OnCheck1Click();
  EXPECT_TRUE(d.OnSaveClick());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(engine->settings.Enable_SMTP, 0);
}

struct NoticeCase {
  const char* name;
  std::string mailTo1;
  std::string minutes;
  Texts messages;
  std::string minutesAfter;  // the box after the Save
  int16_t countdown;
};

void PrintTo(const NoticeCase& c, std::ostream* os) {
  *os << c.name;
}

class SmtpNoticeSaveTest : public SmtpServerModelTest,
                           public ::testing::WithParamInterface<NoticeCase> {};

constexpr char kMailToInvalid[] =
    "Need input valid email on [Mail to] field for [I am alive notice] !!";
constexpr char kMinutesInvalid[] = "Send mail for I am alive notice need >= 1 minutes";

// The notice's recipient and minutes: steps 3 to 5 take effect whatever 6 and 7 then say.
TEST_P(SmtpNoticeSaveTest, RecipientAndMinutesAreCheckedAfterTheyTookEffect) {
  const NoticeCase& c = GetParam();
  Settings stored = StoredSmtp();
  stored.alive_Email = 0;
  Open(stored);
  model->Timer5.enabled = false;
  SmtpServerModel& d = Dialog();
  const std::string fileBefore = ReadFile(SmtpPath());
  d.alive_Email = true;
  d.mailTo1 = c.mailTo1;
  d.min_Select = c.minutes;

  const bool saved = d.OnSaveClick();

  EXPECT_EQ(saved, c.messages.empty());
  EXPECT_EQ(MessageTexts(), c.messages);
  for (const RecordedMessage& m : ui.messages) EXPECT_EQ(m.title, "Tarnwick");
  EXPECT_EQ(d.min_Select, c.minutesAfter);
  EXPECT_TRUE(model->Timer5.enabled);
  EXPECT_EQ(engine->settings.alive_Email, 1);
  EXPECT_EQ(engine->settings.mailTo1, TrimCopy(c.mailTo1));
  EXPECT_EQ(engine->aliveCountdown, c.countdown);
  if (saved) {
    EXPECT_EQ(ReadFile(SmtpPath()), FormatSmtpFile(engine->settings));
    EXPECT_EQ(d.state(), FormState::NotLoaded);
  } else {
    EXPECT_EQ(ReadFile(SmtpPath()), fileBefore);
    EXPECT_EQ(d.state(), FormState::Shown);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Notice, SmtpNoticeSaveTest,
    ::testing::Values(
        NoticeCase{"SevenCharactersWithAtPass", "a@b.org", "10", {}, "10", 10},
        NoticeCase{"SixCharactersFail", "a@b.or", "10", {kMailToInvalid}, "10", 10},
        NoticeCase{"BlanksAroundAreNotCounted", "  a@b.or ", "10", {kMailToInvalid}, "10", 10},
        NoticeCase{"NoAtFails", "admin.example.org", "10", {kMailToInvalid}, "10", 10},
        NoticeCase{"ZeroMinutesRefuseAndPutOne", "a@b.org", "0", {kMinutesInvalid}, "1", 0},
        NoticeCase{
            "MinutesThatAreNoNumberRefuseAndPutOne", "a@b.org", "ten", {kMinutesInvalid}, "1", 0},
        NoticeCase{"EmptyMinutesBecomeFive", "a@b.org", "", {}, "5", 5}),
    [](const ::testing::TestParamInfo<NoticeCase>& p) { return p.param.name; });

TEST_F(SmtpServerModelTest, PassedSaveWritesTheFileAndSwitchesTheNoticeTimer) {
  Open();
  SmtpServerModel& d = Dialog();
  model->Timer5.enabled = true;
  d.alive_Email = false;
  d.SMTPport = "465";
  ASSERT_TRUE(d.OnSaveClick());
  EXPECT_FALSE(model->Timer5.enabled);
  EXPECT_EQ(ReadFile(SmtpPath()), FormatSmtpFile(engine->settings));
  EXPECT_EQ(engine->settings.SMTPport, "465");
  EXPECT_EQ(engine->settings.alive_Email, 0);

  model->OnSMTPsetupClick();
  EXPECT_EQ(d.SMTPport, "465");
  d.alive_Email = true;
  ASSERT_TRUE(d.OnSaveClick());
  EXPECT_TRUE(model->Timer5.enabled);
  EXPECT_EQ(engine->aliveCountdown, 30);
}

TEST_F(SmtpServerModelTest, CancelTakesNothing) {
  Open();
  SmtpServerModel& d = Dialog();
  d.mailSvr = "other.example";
  d.Check1 = false;
  d.OnCancelClick();
  EXPECT_EQ(d.state(), FormState::NotLoaded);
  EXPECT_EQ(engine->settings.mailSvr, "mail.example.org");
  EXPECT_EQ(engine->settings.Enable_SMTP, 1);
}

// ---- The test mail ----

TEST_F(SmtpServerModelTest, TestMailRefusesAnUneditedPresetOrABadSender) {
  Open();
  SmtpServerModel& d = Dialog();
  struct Case {
    std::string from, user, pass, message;
  };
  const Case cases[] = {
      {"xxxxx@yahoo.com", "me", "pw", "Need input the valid Mail from and Username information"},
      {"me@example.org", "xxxxx", "pw", "Need input the valid Mail from and Username information"},
      {"me.example.org", "me", "pw", "Need input the valid Mail from and Password information"},
      {"m@e.or", "me", "pw", "Need input the valid Mail from and Password information"},
      {"me@example.org", "me", "", "Need input the valid Mail from and Password information"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from + " " + c.user + " " + c.pass);
    ui.messages.clear();
    d.mailFrom = c.from;
    d.MailUser = c.user;
    d.MailPass = c.pass;
    d.OnCommand2Click();
    EXPECT_EQ(MessageTexts(), Texts{c.message});
    EXPECT_TRUE(ui.inputs.empty());
  }
  EXPECT_TRUE(smtp.sent.empty());
}

TEST_F(SmtpServerModelTest, TestMailGoesOutWithTheTypedValuesAndItsFixedTexts) {
  Open();
  SmtpServerModel& d = Dialog();
  d.mailSvr = "smtp.typed.example";
  d.SMTPport = "2525";
  d.MailPass = "typed-pw";
  ui.inputResult = "ops@example.org,boss@example.org";

  d.OnCommand2Click();
  // The click returns before the server answers; the button says so and takes no second click,
  // not even after Check1 went off and on meanwhile.
  EXPECT_EQ(d.Command2.caption, "Testing .....");
  EXPECT_FALSE(d.Command2.enabled);
  EXPECT_TRUE(ui.messages.empty());
  d.Check1 = false;
  d.OnCheck1Click();
  d.Check1 = true;
  d.OnCheck1Click();
  EXPECT_FALSE(d.Command2.enabled);
  d.OnCommand2Click();
  EXPECT_EQ(smtp.Waiting(), 1u);
  smtp.Answer();

  ASSERT_EQ(ui.inputs.size(), 1u);
  EXPECT_EQ(ui.inputs[0].prompt, "Input email address, separate by , for multiple");
  EXPECT_EQ(ui.inputs[0].title, "Send Test Email via smtp.typed.example");
  ASSERT_EQ(smtp.sent.size(), 1u);
  const SmtpMail& mail = smtp.sent[0];
  EXPECT_EQ(mail.user, "monitor");
  EXPECT_EQ(mail.password, "typed-pw");
  EXPECT_EQ(mail.sender, "monitor@example.org");
  EXPECT_EQ(mail.recipients, "ops@example.org,boss@example.org");
  EXPECT_EQ(mail.server, "smtp.typed.example");
  EXPECT_EQ(mail.port, "2525");
  EXPECT_EQ(mail.subject, "TEST MAIL - 2026-12-04 10:15:07 Tarnwick Test mail from SMTP server");
  EXPECT_EQ(mail.htmlBody,
            "<html><body>TEST Mail - 2026-12-04 10:15:07 Web Server CPU 98% exceed 95% for 100 "
            "sec.(10 times). *test.exe killed(True). TOP1 :  test.exe 87% @22:00:10 "
            "*test.exe(9),firefox.exe(1)<br><br> Mail from smtp.typed.example port number is "
            "2525<br><br></body></html>");
  EXPECT_EQ(d.Command2.caption, "Send Test Mail");
  EXPECT_TRUE(d.Command2.enabled);
  EXPECT_EQ(MessageTexts(), Texts{"Mail sent OK"});
  // The test mail changes no setting.
  EXPECT_EQ(engine->settings.mailSvr, "mail.example.org");
  EXPECT_TRUE(ui.urls.empty());
}

TEST_F(SmtpServerModelTest, AnAnswerForAClosedDialogIsStillToldAndAReopenedOneWaitsForIt) {
  Open();
  ui.inputResult = "ops@example.org";
  Dialog().OnCommand2Click();
  Dialog().OnCancelClick();
  model->OnSMTPsetupClick();
  EXPECT_EQ(Dialog().Command2.caption, "Testing .....");
  EXPECT_FALSE(Dialog().Command2.enabled);

  smtp.Answer();
  EXPECT_EQ(MessageTexts(), Texts{"Mail sent OK"});
  EXPECT_EQ(Dialog().Command2.caption, "Send Test Mail");
  EXPECT_TRUE(Dialog().Command2.enabled);
}

TEST_F(SmtpServerModelTest, CancelledRecipientQuestionSendsNothing) {
  Open();
  ui.inputResult = std::nullopt;
  Dialog().OnCommand2Click();
  EXPECT_TRUE(smtp.sent.empty());
  EXPECT_TRUE(ui.messages.empty());
}

struct HintCase {
  const char* name;
  std::string sender;
  std::string hint;
  std::string page;
};

void PrintTo(const HintCase& c, std::ostream* os) {
  *os << c.name;
}

class TestMailHintTest : public SmtpServerModelTest,
                         public ::testing::WithParamInterface<HintCase> {};

const std::string kYahooHint =
    "Your Yahoo account must enable\r\nAllow apps that use less secure sign in\r\nClick OK to "
    "check detail setup";
const std::string k163Hint =
    "Your 163 account must enable the following\r\nCustomer Authorization Code for SMTP\r\nClick "
    "OK to check detail setup";
const std::string kOtherHint =
    "You may try Yahoo account\r\nClick OK to check the detail or Cancel\r\n";

TEST_P(TestMailHintTest, FailureShowsTheErrorWithTheProvidersHintAndOkOpensItsPage) {
  const HintCase& c = GetParam();
  Open();
  SmtpServerModel& d = Dialog();
  d.mailFrom = c.sender;
  ui.inputResult = "ops@example.org";
  smtp.error = "Login denied (535)";

  for (MessageAnswer answer : {MessageAnswer::Cancel, MessageAnswer::Ok}) {
    ui.answers = {answer};
    d.OnCommand2Click();
    smtp.Answer();
  }

  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, "Login denied (535)\r\n" + c.hint);
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::OkCancel);
  EXPECT_EQ(ui.urls, Texts{ServiceOrigin(ServiceHost()) + c.page});
}

INSTANTIATE_TEST_SUITE_P(
    Providers, TestMailHintTest,
    ::testing::Values(HintCase{"Yahoo", "Me@YAHOO.com", kYahooHint, "/textpost/yahooSMTP.htm"},
                      HintCase{"Mail163", "me@163.com", k163Hint, "/textpost/cnSMTP.htm"},
                      HintCase{"YahooWinsOver163", "me163@yahoo.com", kYahooHint,
                               "/textpost/yahooSMTP.htm"},
                      HintCase{"Other", "me@example.org", kOtherHint, "/textpost/yahooSMTP.htm"}),
    [](const ::testing::TestParamInfo<HintCase>& p) { return p.param.name; });

}  // namespace
}  // namespace tarnwick::testing
