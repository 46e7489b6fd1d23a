#include "app/qt/application.h"
#include "standins/aria2_daemon.h"
#include "standins/hosting_standin.h"
#include "standins/raw_http_server.h"
#include "support/gbk_literal.h"
#include "support/gui_helpers.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using namespace quorvane::testing;
using namespace std::chrono_literals;
using standins::HostingStandin;

class OnlineServicesGuiTest : public ::testing::Test {
 protected:
  // `counterAddress` replaces the counter stand-in's page when given.
  void Start(RetryPauses pauses = {}, const std::string& counterAddress = {}) {
    Endpoints endpoints = BuiltInEndpoints();
    endpoints.ResolverAddress = "http://127.0.0.1:9";
    endpoints.CounterPageAddress =
        counterAddress.empty() ? counter_.Url("/count/count.asp?id=1&sx=2&ys=43") : counterAddress;
    endpoints.HostingHomeAddress = hosting_.HomeAddress();
    endpoints.HostingLinkPrefix = hosting_.LinkPrefix();
    clock_.start();
    ApplicationOptions options;
    options.retryPauses = pauses;
    application_ = std::make_unique<Application>(endpoints, options);
    application_->Window().ShowCentred();
  }

  void Publish(const std::string& version) {
    hosting_.SetPages({HostingStandin::HomePage(version + G("|正式版|v16|更新 发现新版本 更快更稳 请下载"),
                                                hosting_.ListingAddress()),
                       HostingStandin::ListingPage(G("正式版"), "42"),
                       HostingStandin::FileList(hosting_.LinkPrefix(), {"quorvane_v16.zip"})});
  }

  MainWindow& Window() { return application_->Window(); }

  standins::RawHttpServer counter_{standins::Reply(
      standins::HttpResponse(200, G("今天访问：12&#10<br>累计访问：3456&#10;点击申请计数器")))};
  HostingStandin hosting_;
  QElapsedTimer clock_;
  std::unique_ptr<Application> application_;
};

TEST_F(OnlineServicesGuiTest, UsageLineThenTheUpdateQuestionAnsweredYes) {
  Publish("v16.01.01");
  const auto seen = AnswerNextMessageBox(QMessageBox::Yes);
  Start();
  ASSERT_TRUE(WaitUntil([this] { return !Window().Caption(Control::标签9).empty(); }));
  EXPECT_GE(clock_.elapsed(), 1100);
  EXPECT_EQ(Shown(Window(), Control::标签9), "软件已被使用：3456 今天访问：12");
  EXPECT_EQ(Window().TimerPeriod(Timer::时钟1), 0);

  ASSERT_TRUE(WaitUntil([this] { return Window().Visible(Control::按钮5); }));
  EXPECT_EQ(seen->title, "发现新版本");
  EXPECT_EQ(seen->text, "发现新版本\n更快更稳\n请下载");
  EXPECT_EQ(seen->icon, QMessageBox::Question);
  auto* notice = Window().findChild<QLabel*>("标签8");
  ASSERT_TRUE(WaitUntil([notice] { return notice->size() == QSize(576, 192); }));
  EXPECT_FALSE(notice->isHidden());
  EXPECT_EQ(notice->pos(), QPoint(0, 0));
  EXPECT_EQ(notice->text(), "请下载新版本使用！！！");
  EXPECT_EQ(Window().findChild<QPushButton*>("按钮5")->text(), "有新版本，点击我去下载！！");
  {
    std::lock_guard lock(application_->Globals().online->lock);
    EXPECT_EQ(application_->Globals().online->NewVersionAddress, hosting_.LinkPrefix() + "quorvane_v16.zip");
  }
  EXPECT_EQ(hosting_.Requests().size(), 3u);  // one chain only
  EXPECT_EQ(counter_.RequestCount(), 1u);     // the counter page once per run
}

TEST_F(OnlineServicesGuiTest, AFailedCounterPageStillWritesTheLineAndStartsTheChain) {
  Publish("v15.10.13");  // the tool's own version: no question
  Start({}, "http://127.0.0.1:" + std::to_string(standins::FreeLoopbackPort()) + "/count/count.asp");
  ASSERT_TRUE(WaitUntil([this] { return Window().TimerPeriod(Timer::时钟1) == 0; }));
  EXPECT_EQ(Shown(Window(), Control::标签9), "软件已被使用： 今天访问：");
  ASSERT_TRUE(WaitUntil([this] { return hosting_.Requests().size() >= 1; }));
  ASSERT_TRUE(WaitUntil([this] { return !application_->Services().Running(); }));
  EXPECT_FALSE(Window().Visible(Control::按钮5));
}

TEST_F(OnlineServicesGuiTest, AnsweredNoTheWindowStaysAsItWas) {
  Publish("v16.01.01");
  const auto seen = AnswerNextMessageBox(QMessageBox::No);
  Start();
  ASSERT_TRUE(WaitUntil([&seen] { return seen->shown; }));
  ASSERT_TRUE(WaitUntil([this] { return !application_->Services().Running(); }));
  EXPECT_FALSE(Window().Visible(Control::按钮5));
  EXPECT_FALSE(Window().Visible(Control::标签8));
}

TEST_F(OnlineServicesGuiTest, ClosingWhileTheChainWaitsEndsAtOnce) {
  hosting_.SetPages({"", "", ""});  // no page: the chain waits to try again
  Start(RetryPauses{10min, 10min});
  ASSERT_TRUE(WaitUntil([this] { return application_->Services().NoticeRuns() >= 1; }));
  QTest::qWait(200);
  QElapsedTimer closing;
  closing.start();
  application_.reset();
  EXPECT_LT(closing.elapsed(), 1500);
}

}  // namespace
}  // namespace quorvane
