#include "app/qt/application.h"
#include "standins/aria2_daemon.h"
#include "standins/raw_http_server.h"
#include "support/gbk_literal.h"
#include "support/gui_helpers.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace quorvane {
namespace {

using namespace quorvane::testing;
using namespace std::chrono_literals;

// The window with the user's own settings: XDG_CONFIG_HOME points at a folder of the
// test's, whose aria2/aria2.conf names the port and secret of a real aria2 daemon.
class DownloadManagerGuiTest : public ::testing::Test {
 protected:
  static constexpr const char* kSecret = "k3y-0f-the-user";

  void SetUp() override {
    base_ = std::filesystem::temp_directory_path() / ("quorvane-aria2-gui-" + std::to_string(::getpid()));
    std::filesystem::remove_all(base_);
    std::filesystem::create_directories(base_ / "config" / "aria2");
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    savedConfigHome_ = saved != nullptr ? std::optional<std::string>(saved) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", (base_ / "config").c_str(), 1);

    daemon_ = std::make_unique<standins::Aria2Daemon>(base_ / "saved", kSecret);
    ASSERT_TRUE(daemon_->Started()) << "aria2c is installed by scripts/install-deps.sh";
    Aria2Settings settings;
    settings.port = daemon_->Port();
    settings.secret = kSecret;
    ASSERT_TRUE(WaitUntil([&settings] { return Aria2Agent::Connect(settings) != nullptr; }));

    ApplicationOptions options;  // no aria2 settings: the user's are read
    options.downloads.folder = base_ / "downloads";
    application_ = std::make_unique<Application>(BuiltInEndpoints(), options);
    Window().ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
    Window().SetDisabled(Control::按钮6, false);
  }
  void TearDown() override {
    application_.reset();
    daemon_.reset();
    savedConfigHome_ ? ::setenv("XDG_CONFIG_HOME", savedConfigHome_->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(base_);
  }

  void WriteAria2Conf(const std::string& secret) {
    std::ofstream(base_ / "config" / "aria2" / "aria2.conf")
        << "enable-rpc=true\nrpc-listen-port=" << daemon_->Port() << "\nrpc-secret=" << secret << "\n";
  }
  MainWindow& Window() { return application_->Window(); }
  void HandOff(const std::string& address, const std::string& name) {
    Window().SetText(Control::编辑框2, address);
    Window().SetCaption(Control::标签3, name);
    Window().findChild<QPushButton*>("按钮6")->click();
  }

  std::filesystem::path base_;
  std::optional<std::string> savedConfigHome_;
  std::unique_ptr<standins::Aria2Daemon> daemon_;
  std::unique_ptr<Application> application_;
};

TEST_F(DownloadManagerGuiTest, TheUsersDaemonWithItsSecretGetsTheTask) {
  standins::RawHttpServer server(standins::Reply(standins::HttpResponse(200, "file content")));
  WriteAria2Conf(kSecret);
  HandOff(server.Url("/files/a.zip"), G("演示.zip"));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // no "no download manager" box
  ASSERT_TRUE(server.WaitForRequests(1, 10s));
  EXPECT_EQ(server.Requests()[0].Target(), "/files/a.zip");
  EXPECT_TRUE(WaitUntil([this] { return std::filesystem::exists(base_ / "saved" / "演示.zip"); }));
}

TEST_F(DownloadManagerGuiTest, AWrongSecretMeansNoDownloadManager) {
  standins::RawHttpServer server(standins::Reply(standins::HttpResponse(200, "file content")));
  WriteAria2Conf("not-the-key");
  const auto seen = AnswerNextMessageBox(QMessageBox::Ok);
  HandOff(server.Url("/files/a.zip"), "a.zip");
  ASSERT_TRUE(seen->shown);
  EXPECT_EQ(seen->title, "提示");
  EXPECT_EQ(seen->text, "无法启动迅雷！\n\n1:可能你的电脑未安装迅雷软件\n\n2：如果无法启动，请手动开启");
  QTest::qWait(300);
  EXPECT_EQ(server.RequestCount(), 0u);
}

}  // namespace
}  // namespace quorvane
