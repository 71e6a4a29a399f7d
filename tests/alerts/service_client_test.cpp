// The login to the web service and the replies of its readers, through the main window.
#include <gtest/gtest.h>

#include "delivery/service_requests.h"
#include "engine/alert_delivery.h"
#include "support/environment.h"
#include "unit/model_fixture.h"

namespace tarnwick {
namespace {

using Lines = std::vector<std::string>;

class ServiceClientTest : public testing::ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    testing::UnsetEnv("TARNWICK_SERVICE_HOST");
    UseDelivery();
  }

  // Starts the window with an account stored in setting.ini.
  void LoadWithAccount() {
    Settings s;
    s.TimeInterval = "5";
    s.cpu_High = "75";
    s.mem_High = "85";
    s.num_High = "3";
    s.host_Name = "WEB01";
    s.Enable_log = 1;
    s.smsEmail = "ops@x.example";
    s.smsPassword = "p&ss word";
    WriteSettings(s);
    model->OnLoad();
  }
};

TEST_F(ServiceClientTest, LoginWaitsWithMonitoringStoppedAndStartsItWithTheReply) {
  clock.Set(10, 4, 9);
  LoadWithAccount();
  EXPECT_EQ(Messages(),
            (Lines{"Settings folder: " + system.programFolder, "Waiting for login ....."}));
  EXPECT_EQ(model->Label4.caption, "Connecting to Textpost, please wait .....");
  EXPECT_EQ(model->caption, "Login now, please wait .....");
  EXPECT_FALSE(model->tmrUpdate.enabled);
  EXPECT_EQ(model->Command1.caption, "Start");
  ASSERT_EQ(transport.urls.size(), 1u);
  EXPECT_EQ(transport.urls[0],
            "http://textpost.example/textpost/php/sms_logon.php?email=ops%40x.example"
            "&pwd=p%26ss%20word&now=12%2F04%2F26%2010%3A15%3A07");
  EXPECT_EQ(engine->delivery()->AsyncRead1.PropName(), "logon10409");

  transport.CompleteNext(true, "Welcome*250*1-AB12cd% enjoy");
  EXPECT_EQ(Messages(), Lines{"Monitoring Started"});
  EXPECT_TRUE(model->tmrUpdate.enabled);
  EXPECT_TRUE(engine->session.loggedIn);
  EXPECT_EQ(model->Label7.caption, "250");
  EXPECT_TRUE(model->Label7.visible);
  EXPECT_EQ(model->Label4.caption, "Account : ops@x.example");
  EXPECT_EQ(engine->session.apiId, "ab12cd");
  EXPECT_EQ(engine->session.reloginFlag, "1");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ServiceClientTest, RefusedAndUnreadableRepliesLeaveTheSessionLoggedOut) {
  const struct {
    bool ok;
    const char* reply;
    const char* label4;
    bool messageBox;
    bool label7Visible;
  } cases[] = {
      {true, "-ERR Invalid Account", "-err invalid account", false, false},
      {true, "-err", "-err", false, false},
      {true, "ok*250 only one star", "Not Login.Please login for alert sending !!", true, true},
      {true, "ok*250*1-id without percent", "Not Login.Please login for alert sending !!", true,
       true},
      {false, "", "Not Login.Please login for alert sending !!", true, true},
  };
  LoadWithAccount();
  for (const auto& c : cases) {
    ui.messages.clear();
    model->Label7.visible = true;
    model->OnLoginClick();
    transport.CompleteNext(c.ok, c.reply);
    EXPECT_FALSE(engine->session.loggedIn) << c.reply;
    EXPECT_EQ(model->Label4.caption, c.label4) << c.reply;
    EXPECT_EQ(model->Label7.caption, "0") << c.reply;
    EXPECT_EQ(model->Label7.visible, c.label7Visible) << c.reply;
    EXPECT_TRUE(model->tmrUpdate.enabled) << "every login reply starts monitoring: " << c.reply;
    ASSERT_EQ(ui.messages.size(), c.messageBox ? 1u : 0u) << c.reply;
    if (c.messageBox) {
      EXPECT_EQ(ui.messages[0].text,
                "Connecting Error or Timeout !! Please check your network or try again");
      EXPECT_EQ(ui.messages[0].buttons, MessageButtons::Ok);
    }
  }
}

TEST_F(ServiceClientTest, AnEmptyPasswordLogsInNowhereAndMonitorsAtOnce) {
  model->OnLoad();
  EXPECT_TRUE(transport.urls.empty());
  EXPECT_TRUE(model->tmrUpdate.enabled);
  EXPECT_EQ(model->Label4.caption,
            "Not Login. Email account or password is empty,please goto setup .....");
}

TEST_F(ServiceClientTest, EverySendReplyIsAnsweredByOneCreditUpdate) {
  LoadWithAccount();
  transport.CompleteNext(true, "x*250*1-id%");
  engine->session.requestSeq = 41;
  engine->delivery()->AsyncRead1.SetPropName("sendsms41");
  engine->delivery()->AsyncRead1.SetDataFromURL("http://textpost.example/send");
  transport.CompleteNext(false, "");  // a failed send is answered too
  ASSERT_EQ(transport.pending.size(), 1u);
  EXPECT_EQ(engine->delivery()->AsyncRead2.PropName(), "getcredit42");
  EXPECT_EQ(transport.pending[0].url,
            "http://textpost.example/textpost/php/creditupdate.php?email=ops%40x.example"
            "&now=12%2F04%2F26%2010%3A15%3A07");

  const struct {
    bool ok;
    const char* reply;
    const char* credits;
  } replies[] = {
      {true, " 120 ", "120"},
      {true, "see http://x for help", "120"},
      {false, "", "120"},
      {true, "97", "97"},
  };
  for (const auto& r : replies) {
    if (transport.pending.empty()) {
      engine->delivery()->AsyncRead1.SetPropName("sendsms1");
      engine->delivery()->AsyncRead1.SetDataFromURL("http://textpost.example/send");
      transport.CompleteNext(true, "ID: 1");
    }
    transport.CompleteNext(r.ok, r.reply);
    EXPECT_EQ(model->Label7.caption, r.credits) << r.reply;
  }
}

TEST_F(ServiceClientTest, LoginMenuCommandStartsAFreshLogin) {
  LoadWithAccount();
  transport.CompleteNext(true, "x*250*1-id%");
  model->OnLoginClick();
  EXPECT_FALSE(engine->session.loggedIn);
  EXPECT_EQ(model->Label7.caption, "0");
  EXPECT_EQ(transport.pending.size(), 1u);
  EXPECT_FALSE(model->tmrUpdate.enabled);
}

TEST_F(ServiceClientTest, APasswordEndingInATabLogsInWhole) {
  Settings s;
  s.smsEmail = " ops@x.example ";
  s.smsPassword = "secret\t ";
  WriteSettings(s);
  model->OnLoad();
  ASSERT_EQ(transport.urls.size(), 1u);
  EXPECT_NE(transport.urls[0].find("?email=ops%40x.example&pwd=secret%09&now="), std::string::npos)
      << transport.urls[0];
}

}  // namespace
}  // namespace tarnwick
