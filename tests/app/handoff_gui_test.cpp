#include "app/qt/application.h"
#include "standins/aria2_daemon.h"
#include "standins/download_standin.h"
#include "standins/raw_http_server.h"
#include "support/gbk_literal.h"
#include "support/gui_helpers.h"

#include <QClipboard>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
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

// The message boxes answered so far, each as the test saw it before answering.
struct AnsweredBoxes {
  std::vector<QMessageBox::StandardButton> buttons;
  std::vector<SeenMessage> seen;
  QPointer<QMessageBox> last;
};

// Answers the next message boxes in turn, one button each, for as long as the caller
// keeps the result.
std::shared_ptr<AnsweredBoxes> AnswerMessageBoxes(std::vector<QMessageBox::StandardButton> buttons) {
  auto answers = std::make_shared<AnsweredBoxes>();
  answers->buttons = std::move(buttons);
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [weak = std::weak_ptr<AnsweredBoxes>(answers), poll] {
    const std::shared_ptr<AnsweredBoxes> kept = weak.lock();
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (kept && box != nullptr && box != kept->last.data()) {
      kept->seen.push_back({true, box->text(), box->windowTitle(), box->icon()});
      kept->last = box;
      box->button(kept->buttons[kept->seen.size() - 1])->click();
    }
    if (kept && kept->seen.size() < kept->buttons.size()) {
      QTimer::singleShot(20, *poll);
    } else {
      *poll = nullptr;  // breaks the cycle
    }
  };
  QTimer::singleShot(20, *poll);
  return answers;
}

// The download window shown last, while it is open.
DownloadWindow* OpenDownloadWindow() {
  DownloadWindow* found = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* candidate = dynamic_cast<DownloadWindow*>(widget); candidate != nullptr && candidate->isVisible()) {
      found = candidate;
    }
  }
  return found;
}

class HandoffGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("quorvane-gui-downloads-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    StartApplication();
  }
  void TearDown() override {
    application_.reset();
    std::filesystem::remove_all(folder_);
  }

  // The program with test settings, which `adjust` may change; replaces one running.
  void StartApplication(const std::function<void(ApplicationOptions&)>& adjust = {}) {
    application_.reset();
    Endpoints endpoints = BuiltInEndpoints();
    endpoints.ResolverAddress = "http://127.0.0.1:9";
    ApplicationOptions options;
    options.shell = &shell_;
    options.downloads.folder = folder_;
    options.downloads.stallLimit = 2s;
    options.aria2.emplace().port = standins::FreeLoopbackPort();
    options.browserReset = 400ms;
    if (adjust) {
      adjust(options);
    }
    application_ = std::make_unique<Application>(endpoints, options);
    Window().ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
    for (const Control button : {Control::按钮2, Control::按钮6, Control::按钮7}) {
      Window().SetDisabled(button, false);
    }
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
    const auto boxes = AnswerMessageBoxes({QMessageBox::Yes, QMessageBox::Ok});
    Click("按钮2");
    ASSERT_EQ(boxes->seen.size(), 2u);
    EXPECT_EQ(QApplication::clipboard()->text(), address);
    EXPECT_EQ(boxes->seen.at(1).text,
              "下载地址不是以 http:// 或 https:// 开头的网址，为安全起见没有打开它（地址已复制到剪切板）。");
  }
  EXPECT_TRUE(shell_.opened.empty());
}

// A refused address is neither handed to the download manager nor fetched, and the
// user is told why.
TEST_F(HandoffGuiTest, RefusedAddressesAreNotHandedOnAndSaySo) {
  standins::RawHttpServer manager(standins::Reply(standins::HttpResponse(200, R"({"result":{"version":"1"}})")));
  StartApplication([&manager](ApplicationOptions& options) { options.aria2.emplace().port = manager.Port(); });
  const struct {
    const char* button;
    const char* why;
  } cases[] = {
      {"按钮6", "下载地址不是以 http:// 或 https:// 开头的网址，为安全起见没有交给下载工具。"},
      {"按钮7", "下载地址不是以 http:// 或 https:// 开头的网址，为安全起见没有下载。"},
  };
  for (const auto& c : cases) {
    Window().SetText(Control::编辑框2, "file:///etc/passwd");
    const auto boxes = AnswerMessageBoxes({QMessageBox::Ok});
    Click(c.button);
    ASSERT_EQ(boxes->seen.size(), 1u) << c.button;
    EXPECT_EQ(boxes->seen.at(0).text, c.why);
    EXPECT_EQ(boxes->seen.at(0).title, "提示");
  }
  EXPECT_EQ(manager.RequestCount(), 0u);
  EXPECT_EQ(OpenDownloadWindow(), nullptr);
  EXPECT_TRUE(std::filesystem::is_empty(folder_));
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
  const auto refusals = AnswerMessageBoxes({QMessageBox::Ok, QMessageBox::Ok});
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
  EXPECT_EQ(refusals->seen.size(), 2u);
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

// Against a server that caps each connection the window shows the whole speed, how
// many connections are at work, and the time left; the number to use starts at 8.
TEST_F(HandoffGuiTest, ADownloadShowsItsConnectionsAndTimeLeft) {
  standins::DownloadStandin::Options capped;
  capped.bytesPerSecondPerConnection = 1u << 20;
  standins::DownloadStandin server({{"/files/capped.bin", 8u << 20}}, capped);
  Window().SetText(Control::编辑框2, server.Url("/files/capped.bin"));
  Click("按钮7");
  DownloadWindow* download = nullptr;
  ASSERT_TRUE(WaitUntil([&download] { return (download = OpenDownloadWindow()) != nullptr; }, 5000));
  EXPECT_EQ(download->findChild<QSpinBox*>("connectionCount")->value(), 8);
  auto* connections = download->findChild<QLabel*>("connections");
  auto* timeLeft = download->findChild<QLabel*>("timeLeft");
  int most = 0;
  bool timeShown = false;
  ASSERT_TRUE(WaitUntil([&] {
    most = std::max(most, connections->text().section(' ', 0, 0).toInt());
    timeShown = timeShown || timeLeft->text().startsWith(QStringLiteral("剩余 "));
    return download->State() == "finished";
  }, 30000));
  EXPECT_GE(most, 2);
  EXPECT_TRUE(timeShown);
  EXPECT_TRUE(download->findChild<QLabel*>("speed")->text().endsWith("/s"));
  EXPECT_TRUE(timeLeft->text().isEmpty());
  EXPECT_EQ(std::filesystem::file_size(folder_ / "capped.bin"), 8u << 20);
  download->close();
}

// Closing the window (as when the program ends) keeps what arrived; the same address
// downloaded again continues into the same file.
TEST_F(HandoffGuiTest, AClosedDownloadContinuesWhenStartedAgain) {
  standins::DownloadStandin::Options capped;
  capped.bytesPerSecondPerConnection = 1u << 20;
  standins::DownloadStandin server({{"/files/resumed.bin", 8u << 20}}, capped);
  Window().SetText(Control::编辑框2, server.Url("/files/resumed.bin"));
  Click("按钮7");
  QPointer<DownloadWindow> first;
  ASSERT_TRUE(WaitUntil([&first] {
    first = OpenDownloadWindow();
    return first != nullptr && first->findChild<QProgressBar*>("bar")->value() >= 100;
  }, 20000));
  first->close();
  ASSERT_TRUE(WaitUntil([&first] { return first.isNull(); }, 5000));
  EXPECT_TRUE(std::filesystem::exists(folder_ / "resumed.bin.part.state"));
  const std::uint64_t sentBefore = server.BytesSent();

  Click("按钮7");
  DownloadWindow* second = nullptr;
  ASSERT_TRUE(WaitUntil([&second] {
    second = OpenDownloadWindow();
    return second != nullptr && second->State() == "finished";
  }, 30000));
  EXPECT_EQ(second->File(), folder_ / "resumed.bin");
  EXPECT_EQ(std::filesystem::file_size(folder_ / "resumed.bin"), 8u << 20);
  EXPECT_LT(server.BytesSent() - sentBefore, 8u << 20);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "resumed.bin.part"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "resumed.bin.part.state"));
  second->close();
}

TEST_F(HandoffGuiTest, TheResolvedNameNamesTheFile) {
  standins::DownloadStandin server({{"/d/12345678", 4096}});
  Window().SetCaption(Control::标签3, G("示例文件.zip"));
  Window().SetText(Control::编辑框2, server.Url("/d/12345678"));
  Click("按钮7");
  DownloadWindow* download = nullptr;
  ASSERT_TRUE(WaitUntil([&download] {
    download = OpenDownloadWindow();
    return download != nullptr && download->State() == "finished";
  }, 20000));
  EXPECT_EQ(download->File(), folder_ / "示例文件.zip");
  EXPECT_EQ(std::filesystem::file_size(folder_ / "示例文件.zip"), 4096u);
  download->close();
}

// A failed download says why in Chinese, all of it, and its bar shows what arrived.
TEST_F(HandoffGuiTest, AFailedDownloadSaysWhyAndShowsWhatArrived) {
  const struct {
    std::string answer;
    QString status;
    int barValue;  // of 1000
  } cases[] = {
      {standins::HttpResponse(404, "not here"), "下载失败：服务器上没有这个文件（HTTP 404）", 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(500, 'x'),
       "下载失败：连接中断，文件不完整（已收到 500 B / 1000 B）", 500},
  };
  for (const auto& c : cases) {
    standins::RawHttpServer server(standins::Reply(c.answer));
    Window().SetText(Control::编辑框2, server.Url("/files/archive.zip"));
    Click("按钮7");
    DownloadWindow* download = nullptr;
    ASSERT_TRUE(WaitUntil([&download] {
      download = OpenDownloadWindow();
      return download != nullptr && download->State() == "failed";
    }, 20000));
    auto* status = download->findChild<QLabel*>("status");
    auto* bar = download->findChild<QProgressBar*>("bar");
    EXPECT_EQ(status->text(), c.status);
    EXPECT_EQ(status->toolTip(), c.status);
    // The whole reason fits: wrapped within the window, as tall as it needs.
    EXPECT_TRUE(status->wordWrap());
    QTest::qWait(50);
    EXPECT_LE(status->geometry().right(), download->width());
    EXPECT_GE(status->height(), status->heightForWidth(status->width()));
    EXPECT_EQ(bar->maximum(), 1000);  // not the busy bar, which draws full
    EXPECT_EQ(bar->value(), c.barValue);
    download->close();
  }
}

// The download manager is asked off the window's thread: a listener that never
// answers leaves the window painting and its timers ticking, a second click meanwhile
// asks nothing more, and the message comes when the limit is reached.
TEST_F(HandoffGuiTest, ASilentDownloadManagerLeavesTheWindowWorking) {
  standins::RawHttpServer silent([](const standins::RecordedRequest&, standins::Connection& connection) {
    while (connection.Pause(20ms)) {
    }
  });
  StartApplication([&silent](ApplicationOptions& options) {
    options.aria2.emplace().port = silent.Port();
    options.aria2->timeout = 1500ms;
  });
  Resolved("http://h.test/real.zip", "http://h.test/real.zip");
  application_->Browser().Navigate("ftp://h.test/held", "");
  Window().SetTimerPeriod(Timer::时钟3, 100);  // resets the browser box when it ticks

  int ticks = 0;
  bool resetDuringCall = false;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (QApplication::activeModalWidget() != nullptr) {
      return;
    }
    if (++ticks == 3) {
      Click("按钮6");
    }
    resetDuringCall = resetDuringCall || application_->Browser().Address().empty();
  });
  probe.start(20);
  const auto boxes = AnswerMessageBoxes({QMessageBox::Ok, QMessageBox::Ok});
  Click("按钮6");
  probe.stop();
  ASSERT_GE(boxes->seen.size(), 1u);
  EXPECT_EQ(boxes->seen.at(0).text, "无法启动迅雷！\n\n1:可能你的电脑未安装迅雷软件\n\n2：如果无法启动，请手动开启");
  QTest::qWait(100);
  EXPECT_EQ(boxes->seen.size(), 1u);  // the click during the call asked nothing and said nothing
  EXPECT_GE(ticks, 10);
  EXPECT_TRUE(resetDuringCall);
  EXPECT_EQ(silent.RequestCount(), 1u);
}

TEST_F(HandoffGuiTest, TheMusicButtonDoesNothing) {
  Click("按钮4");
  EXPECT_TRUE(application_->Browser().Address().empty());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace quorvane
