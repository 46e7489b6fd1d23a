#include "app/qt/application.h"
#include "standins/aria2_daemon.h"
#include "standins/download_standin.h"
#include "support/gbk_literal.h"
#include "support/gui_helpers.h"

#include <QClipboard>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

namespace quorvane {
namespace {

using namespace quorvane::testing;
using namespace std::chrono_literals;

class RecordingShell final : public Shell {
 public:
  void OpenAddress(std::string_view address) override { opened.emplace_back(address); }
  std::vector<std::string> opened;
};

class HandoffGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("quorvane-gui-downloads-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    Endpoints endpoints = BuiltInEndpoints();
    endpoints.ResolverAddress = "http://127.0.0.1:9";
    ApplicationOptions options;
    options.shell = &shell_;
    options.downloadFolder = folder_;
    options.aria2.emplace().port = standins::FreeLoopbackPort();
    options.browserReset = 400ms;
    application_ = std::make_unique<Application>(endpoints, options);
    Window().ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
    for (const Control button : {Control::按钮2, Control::按钮6, Control::按钮7}) {
      Window().SetDisabled(button, false);
    }
  }
  void TearDown() override {
    application_.reset();
    std::filesystem::remove_all(folder_);
  }

  MainWindow& Window() { return application_->Window(); }
  void Click(const char* button) { Window().findChild<QPushButton*>(button)->click(); }
  void Resolved(const std::string& address, const std::string& shown) {
    application_->Globals().DownloadAddress = address;
    Window().SetText(Control::编辑框2, shown);
  }

  RecordingShell shell_;
  std::filesystem::path folder_;
  std::unique_ptr<Application> application_;
};

TEST_F(HandoffGuiTest, CopyPutsTheAddressOnTheClipboardAndOpensItOnYes) {
  Resolved("http://h.test/real.zip", "what the box shows");
  const auto seen = AnswerNextMessageBox(QMessageBox::Yes);
  Click("按钮2");
  EXPECT_EQ(QApplication::clipboard()->text(), "http://h.test/real.zip");
  ASSERT_TRUE(seen->shown);
  EXPECT_EQ(seen->title, "提示");
  EXPECT_EQ(seen->text, "网址复制成功\n\n点击：是--跳转到网页下载\n\n点击：否--只复制下载地址到剪切板");
  EXPECT_EQ(seen->icon, QMessageBox::NoIcon);
  EXPECT_EQ(shell_.opened, std::vector<std::string>{"http://h.test/real.zip"});  // DownloadAddress, not the box
}

TEST_F(HandoffGuiTest, CopyAnsweredNoOpensNothing) {
  Resolved("http://h.test/real.zip", "http://h.test/real.zip");
  const auto seen = AnswerNextMessageBox(QMessageBox::No);
  Click("按钮2");
  EXPECT_TRUE(seen->shown);
  EXPECT_EQ(QApplication::clipboard()->text(), "http://h.test/real.zip");
  EXPECT_TRUE(shell_.opened.empty());
}

TEST_F(HandoffGuiTest, CopyWithAnEmptyBoxAsksNothing) {
  Resolved("", "");
  QApplication::clipboard()->setText("before");
  Click("按钮2");
  EXPECT_EQ(QApplication::clipboard()->text(), "");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(shell_.opened.empty());
}

TEST_F(HandoffGuiTest, OnlyWebAddressesAreOpened) {
  for (const char* address : {"file:///etc/passwd", "javascript:alert(1)", "ftp://h.test/x"}) {
    Resolved(address, address);
    const auto seen = AnswerNextMessageBox(QMessageBox::Yes);
    Click("按钮2");
    EXPECT_TRUE(seen->shown);
    EXPECT_EQ(QApplication::clipboard()->text(), address);
  }
  EXPECT_TRUE(shell_.opened.empty());
}

TEST_F(HandoffGuiTest, NoDownloadManagerIsSaid) {
  Resolved("http://h.test/real.zip", "http://h.test/real.zip");
  const auto seen = AnswerNextMessageBox(QMessageBox::Ok);
  Click("按钮6");
  ASSERT_TRUE(seen->shown);
  EXPECT_EQ(seen->title, "提示");
  EXPECT_EQ(seen->text, "无法启动迅雷！\n\n1:可能你的电脑未安装迅雷软件\n\n2：如果无法启动，请手动开启");
  EXPECT_EQ(seen->icon, QMessageBox::Information);
}

TEST_F(HandoffGuiTest, TheBrowserBoxIsResetOncePerStart) {
  Window().SetText(Control::编辑框2, "ftp://h.test/not-fetched");
  QElapsedTimer clock;
  clock.start();
  Click("按钮7");
  EXPECT_EQ(application_->Browser().Address(), "ftp://h.test/not-fetched");
  EXPECT_EQ(Window().TimerPeriod(Timer::时钟3), 400);
  QTest::qWait(200);
  Click("按钮7");  // the same period: the timer runs on from the first click
  ASSERT_TRUE(WaitUntil([this] { return application_->Browser().Address().empty(); }));
  EXPECT_LT(clock.elapsed(), 560);
  EXPECT_EQ(Window().TimerPeriod(Timer::时钟3), 0);
  QTest::qWait(500);
  EXPECT_TRUE(application_->Browser().Address().empty());  // fired once
  EXPECT_TRUE(std::filesystem::is_empty(folder_));           // nothing but web addresses is fetched
}

TEST_F(HandoffGuiTest, TheNewVersionButtonDownloadsTheRelease) {
  standins::DownloadStandin server({{"/down/quorvane_v16.zip", 3u << 20}});
  {
    std::lock_guard lock(application_->Globals().online->lock);
    application_->Globals().online->NewVersionAddress = server.Url("/down/quorvane_v16.zip");
  }
  Window().SetVisible(Control::按钮5, true);
  Click("按钮5");
  EXPECT_EQ(application_->Browser().Address(), server.Url("/down/quorvane_v16.zip"));
  EXPECT_EQ(Window().TimerPeriod(Timer::时钟3), 0);  // the box keeps this address
  DownloadWindow* download = nullptr;
  ASSERT_TRUE(WaitUntil([&download] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* candidate = dynamic_cast<DownloadWindow*>(widget)) {
        download = candidate;
      }
    }
    return download != nullptr && download->State() == "finished";
  }, 20000));
  EXPECT_EQ(download->File(), folder_ / "quorvane_v16.zip");
  EXPECT_EQ(std::filesystem::file_size(folder_ / "quorvane_v16.zip"), 3u << 20);
  EXPECT_FALSE(download->findChild<QPushButton*>("openFolder")->isHidden());
  download->close();
}

TEST_F(HandoffGuiTest, TheMusicButtonDoesNothing) {
  Click("按钮4");
  EXPECT_TRUE(application_->Browser().Address().empty());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace quorvane
