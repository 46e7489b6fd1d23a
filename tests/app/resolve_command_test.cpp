#include "app/qt/application.h"
#include "standins/aria2_daemon.h"
#include "standins/download_standin.h"
#include "standins/raw_http_server.h"
#include "standins/resolver_standin.h"
#include "support/gbk_literal.h"
#include "support/gui_helpers.h"

#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using namespace quorvane::testing;
using namespace std::chrono_literals;
using standins::Connection;
using standins::DownloadStandin;
using standins::HttpResponse;
using standins::RawHttpServer;
using standins::RecordedRequest;
using standins::ResolverStandin;

const std::string kSampleLink = BuiltInEndpoints().SampleShareLink;

class ResolveCommandTest : public ::testing::Test {
 protected:
  // The window, talking to `resolverAddress`.
  void Start(const std::string& resolverAddress, ApplicationOptions options = {}) {
    Endpoints endpoints = BuiltInEndpoints();
    endpoints.ResolverAddress = resolverAddress;
    application_ = std::make_unique<Application>(endpoints, options);
    Window().ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
  }

  MainWindow& Window() { return application_->Window(); }
  QPushButton* ResolveButton() { return Window().findChild<QPushButton*>("按钮1"); }
  QLineEdit* LinkBox() { return Window().findChild<QLineEdit*>("编辑框1"); }
  // Keys go where the focus is, as they do for a user.
  static void Type(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
  }
  void Activate() {
    Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
  }

  DownloadStandin downloads_{{{"/files/demo.zip", 12345678}, {"/files/big.iso", 5000000000}, {"/files/empty", 0}}};
  ResolverStandin resolver_{{
      {kSampleLink, "演示文件.zip", downloads_.Url("/files/demo.zip"), false},
      {"http://pan.baidu.com/s/escaped", "安装包.exe", downloads_.Url("/files/big.iso"), true},
      {"http://pan.baidu.com/s/empty", "empty.txt", downloads_.Url("/files/empty"), false},
      {"http://pan.baidu.com/s/gone", "gone.zip", downloads_.Url("/missing"), false},
  }};
  std::unique_ptr<Application> application_;
};

TEST_F(ResolveCommandTest, ResolvesTheSampleLinkFromClickToResult) {
  Start(resolver_.Address());
  ResolveButton()->click();

  EXPECT_EQ(Shown(Window(), Control::标签3), "演示文件.zip");
  EXPECT_EQ(Shown(Window(), Control::编辑框2), QString::fromStdString(downloads_.Url("/files/demo.zip")));
  EXPECT_EQ(application_->Globals().DownloadAddress, downloads_.Url("/files/demo.zip"));
  EXPECT_EQ(Shown(Window(), Control::标签5), "11.77");
  EXPECT_EQ(Shown(Window(), Control::标签6), "11.77 MB");
  EXPECT_EQ(Shown(Window(), Control::按钮1), "获取真实地址");
  EXPECT_EQ(Shown(Window(), Control::编辑框3), "0");
  for (const Control control : {Control::按钮1, Control::按钮2, Control::按钮6, Control::按钮7, Control::编辑框1}) {
    EXPECT_FALSE(Window().Disabled(control)) << ControlName(control);
  }
  EXPECT_EQ(Window().TimerPeriod(Timer::时钟2), 0);
  EXPECT_EQ(resolver_.LinksReceived(), std::vector<std::string>{kSampleLink});
}

TEST_F(ResolveCommandTest, EscapedNamesAndLargeFilesShowRight) {
  Start(resolver_.Address());
  Window().SetText(Control::编辑框1, "http://pan.baidu.com/s/escaped");
  ResolveButton()->click();
  EXPECT_EQ(Shown(Window(), Control::标签3), "安装包.exe");
  EXPECT_EQ(Shown(Window(), Control::标签6), "4.66 GB");
}

TEST_F(ResolveCommandTest, EnterInTheLinkBoxResolves) {
  Start(resolver_.Address());
  QTest::keyClick(Window().findChild<QLineEdit*>("编辑框1"), Qt::Key_Return);
  EXPECT_EQ(Shown(Window(), Control::标签3), "演示文件.zip");
  QTest::keyClick(Window().findChild<QLineEdit*>("编辑框1"), Qt::Key_A);  // other keys do nothing
  EXPECT_EQ(resolver_.LinksReceived().size(), 1u);
}

TEST_F(ResolveCommandTest, SizesThatCannotBeToldShowUnknown) {
  Start(resolver_.Address());
  const std::pair<std::string, QString> cases[] = {
      {"http://pan.baidu.com/s/empty", "0"},   // Content-Length 0
      {"http://pan.baidu.com/s/gone", "-0"},   // 404 to the probe
      {"http://pan.baidu.com/s/unknown", "-0"},  // an error answer: no address at all
  };
  for (const auto& [link, megabytes] : cases) {
    Window().SetText(Control::编辑框1, link);
    ResolveButton()->click();
    EXPECT_EQ(Shown(Window(), Control::标签5), megabytes) << link;
    EXPECT_EQ(Shown(Window(), Control::标签6), "未知大小") << link;
    EXPECT_FALSE(Window().Disabled(Control::按钮1)) << link;  // the normal end, whatever came back
  }
  EXPECT_EQ(Shown(Window(), Control::编辑框2), "");
  EXPECT_EQ(application_->Globals().DownloadAddress, "");
}

// The first pass reads the answer converted to GBK, the second the bytes as they came.
// Read as GBK, the last byte of a UTF-8 "中" swallows the backslash behind it, so only
// the raw bytes hold an unescaped address field; the window must get there and probe it.
TEST_F(ResolveCommandTest, AnAddressOnlyTheRawAnswerYieldsIsFoundAndProbed) {
  RawHttpServer files(standins::Reply(HttpResponse(200, "", {"Content-Length: 10485760"})));
  const std::string address = files.Url("/f.zip");
  RawHttpServer resolver(standins::Reply(HttpResponse(
      200, "kestro({\"files\":\"a\",\"x\":\"\xE4\xB8\xAD\\\"download\":\"" + address + "\",\"error\":0})")));
  Start("http://" + resolver.HostAndPort());
  ResolveButton()->click();

  EXPECT_EQ(Shown(Window(), Control::编辑框2), QString::fromStdString(address));
  EXPECT_EQ(application_->Globals().DownloadAddress, address);
  ASSERT_EQ(files.RequestCount(), 1u);  // the first pass had no address to probe
  EXPECT_EQ(files.Requests()[0].requestLine, "HEAD /f.zip HTTP/1.1");
  EXPECT_EQ(Shown(Window(), Control::标签6), "10 MB");
  EXPECT_FALSE(Window().Disabled(Control::按钮2));
}

// A resolve that found no address says why, and offers nothing to hand off.
TEST_F(ResolveCommandTest, WithoutAnAddressTheWindowSaysWhy) {
  RawHttpServer silent([](const RecordedRequest&, Connection& connection) { connection.Pause(10s); });
  const std::string closedPort = "http://127.0.0.1:" + std::to_string(standins::FreeLoopbackPort());
  // Only the silent server should run into the limit, even on a slow (sanitized) build.
  const struct {
    std::string resolver;
    std::string link;
    std::chrono::milliseconds timeout;
    QString reason;
  } cases[] = {
      {closedPort, kSampleLink, 10s, "获取失败：解析服务没有回答"},
      {"http://" + silent.HostAndPort(), kSampleLink, 300ms, "获取失败：解析服务超时"},
      {resolver_.Address(), "http://pan.baidu.com/s/unknown", 10s, "获取失败：回答中没有文件"},
  };
  for (const auto& c : cases) {
    ApplicationOptions options;
    options.resolverTimeout = c.timeout;
    Start(c.resolver, options);
    Window().SetText(Control::编辑框1, c.link);
    ResolveButton()->click();
    EXPECT_EQ(Shown(Window(), Control::标签3), c.reason) << c.resolver;
    EXPECT_EQ(Shown(Window(), Control::编辑框2), "") << c.resolver;
    EXPECT_EQ(Shown(Window(), Control::标签6), "未知大小") << c.resolver;
    EXPECT_FALSE(Window().Disabled(Control::按钮1)) << c.resolver;
    EXPECT_FALSE(Window().Disabled(Control::编辑框1)) << c.resolver;
    for (const Control control : {Control::按钮2, Control::按钮6, Control::按钮7}) {
      EXPECT_TRUE(Window().Disabled(control)) << ControlName(control) << " " << c.resolver;
    }
    EXPECT_EQ(Window().TimerPeriod(Timer::时钟2), 0);
  }
}

TEST_F(ResolveCommandTest, ANewResolveClearsTheLastResultFirst) {
  Start(resolver_.Address());
  ResolveButton()->click();
  ASSERT_EQ(Shown(Window(), Control::标签6), "11.77 MB");

  // Read at the first event the command's wait lets through, before any tick.
  QStringList seen;
  QTimer::singleShot(0, [&] {
    for (const Control control : {Control::标签3, Control::编辑框2, Control::标签5, Control::标签6, Control::标签11,
                                  Control::标签10}) {
      seen << Shown(Window(), control);
    }
  });
  ResolveButton()->click();
  EXPECT_EQ(seen, QStringList({"", "", "", "", "", "0"}));
  EXPECT_EQ(Shown(Window(), Control::标签3), "演示文件.zip");
}

// The focus stays where the user had it: in the link box after Enter, on the button
// after a click, through the command and after both of its ends.
TEST_F(ResolveCommandTest, FocusStaysWhereTheUserHadIt) {
  Start(resolver_.Address());
  Activate();
  LinkBox()->setFocus();
  QStringList focusDuringCommands;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    if (QApplication::focusWidget() != nullptr) {
      focusDuringCommands << QApplication::focusWidget()->objectName();
    }
  });
  watcher.start(5);

  Type(Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), LinkBox());
  Type(Qt::Key_Return);  // Enter again resolves again
  EXPECT_EQ(resolver_.LinksReceived().size(), 2u);
  EXPECT_EQ(QApplication::focusWidget(), LinkBox());

  // A pasted link and a typed character land in the link box, not in the counter.
  QApplication::clipboard()->setText("http://pan.baidu.com/s/escaped");
  Type(Qt::Key_A, Qt::ControlModifier);
  Type(Qt::Key_V, Qt::ControlModifier);
  Type(Qt::Key_4);
  EXPECT_EQ(Shown(Window(), Control::编辑框1), "http://pan.baidu.com/s/escaped4");
  EXPECT_EQ(Shown(Window(), Control::编辑框3), "0");
  Type(Qt::Key_Backspace);
  Type(Qt::Key_Return);
  EXPECT_EQ(Shown(Window(), Control::标签3), "安装包.exe");

  // A click leaves the focus on the button.
  QTest::mouseClick(ResolveButton(), Qt::LeftButton);
  EXPECT_EQ(resolver_.LinksReceived().size(), 4u);
  EXPECT_EQ(QApplication::focusWidget(), ResolveButton());

  // The failure end gives the focus back too.
  Window().SetText(Control::编辑框3, "4");
  LinkBox()->setFocus();
  const auto seen = AnswerNextMessageBox(QMessageBox::Ok);
  Type(Qt::Key_Return);
  ASSERT_TRUE(seen->shown);
  // The offscreen platform does not give the window back its activation after a box.
  Activate();
  EXPECT_EQ(QApplication::focusWidget(), LinkBox());
  watcher.stop();
  EXPECT_FALSE(focusDuringCommands.contains("编辑框3")) << focusDuringCommands.join(",").toStdString();
}

TEST_F(ResolveCommandTest, SendsTheResolverRequestWithTheLinkEncoded) {
  RawHttpServer server(standins::Reply(HttpResponse(200, "")));
  Start("http://" + server.HostAndPort());
  Window().SetText(Control::编辑框1, G("http://pan.baidu.com/s/1a?pwd=x&y #网盘"));
  ResolveButton()->click();
  ASSERT_EQ(server.RequestCount(), 1u);
  const RecordedRequest request = server.Requests()[0];
  const std::string target =
      "/pan?url=http%3A%2F%2Fpan.baidu.com%2Fs%2F1a%3Fpwd%3Dx%26y%20%23%CD%F8%C5%CC"
      "&echo=json&callback=kestro&token=7c0f4e8a16f3c5b27d9e0a4c8f6b1e53";
  EXPECT_EQ(request.requestLine, "GET " + target + " HTTP/1.1");
  EXPECT_EQ(request.Header("Referer"), "http://" + server.HostAndPort() + target);
  EXPECT_EQ(request.Header("Accept-Language"), "zh-cn");
}

TEST_F(ResolveCommandTest, ShowsTheElapsedTimeWhileTheResolverIsSlow) {
  const std::string answer = ResolverStandin::Answer({kSampleLink, "a.zip", downloads_.Url("/files/demo.zip"), false});
  RawHttpServer slow([&answer](const RecordedRequest&, Connection& connection) {
    connection.Pause(1250ms);
    connection.Send(HttpResponse(200, answer));
  });
  Start("http://" + slow.HostAndPort());

  // Every value the seconds take while the command runs, and the window's state then.
  QStringList seconds;
  QString busyCaption;
  bool inputsDisabled = true;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    const QString now = Shown(Window(), Control::标签10);
    if (seconds.isEmpty() || seconds.back() != now) {
      seconds << now;
    }
    if (busyCaption.isEmpty()) {
      busyCaption = Shown(Window(), Control::按钮1);
    }
    inputsDisabled = inputsDisabled && Window().Disabled(Control::编辑框1) && Window().Disabled(Control::按钮1) &&
                     Window().Disabled(Control::按钮2);
  });
  watcher.start(10);
  ResolveButton()->click();
  watcher.stop();

  const QStringList expected = {"0", "0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9", "1", "1.1"};
  ASSERT_GE(seconds.size(), expected.size()) << seconds.join(" ").toStdString();
  EXPECT_EQ(seconds.mid(0, expected.size()), expected) << seconds.join(" ").toStdString();
  EXPECT_EQ(busyCaption, "获取中..1");
  EXPECT_TRUE(inputsDisabled);
  EXPECT_EQ(Shown(Window(), Control::标签11), "用时：" + Shown(Window(), Control::标签10) + "  秒");
  EXPECT_EQ(Shown(Window(), Control::标签3), "a.zip");
}

TEST_F(ResolveCommandTest, FifthAttemptEndsWithTheFailureBox) {
  Start(resolver_.Address());
  Window().SetText(Control::编辑框3, "4");
  const auto seen = AnswerNextMessageBox(QMessageBox::Ok);
  ResolveButton()->click();

  ASSERT_TRUE(seen->shown);
  EXPECT_EQ(seen->title, "失败原因");
  EXPECT_EQ(seen->icon, QMessageBox::Information);
  EXPECT_EQ(seen->text, "获取失败\n\n原因1：可能你输入的网址有误\n\n原因2：可能你输入的共享网址已被取消共享\n\n"
                        "原因3：可能服务器压力太大，请等待30秒后重试！");
  EXPECT_EQ(Shown(Window(), Control::编辑框3), "0");
  EXPECT_EQ(Shown(Window(), Control::按钮1), "获取真实地址");
  EXPECT_FALSE(Window().Disabled(Control::按钮1));
  EXPECT_FALSE(Window().Disabled(Control::编辑框1));
  for (const Control control : {Control::按钮2, Control::按钮6, Control::按钮7}) {
    EXPECT_TRUE(Window().Disabled(control)) << ControlName(control);
  }
  EXPECT_EQ(Shown(Window(), Control::标签3), "演示文件.zip");  // the passes ran first
  EXPECT_EQ(Shown(Window(), Control::标签6), "11.77 MB");
  EXPECT_EQ(Window().TimerPeriod(Timer::时钟2), 0);
  EXPECT_FALSE(Window().TimerObject(Timer::时钟2)->isActive());
}

TEST_F(ResolveCommandTest, ACounterThatHoldsNoNumberCountsFromZero) {
  Start(resolver_.Address());
  Window().SetText(Control::编辑框3, "abc");
  ResolveButton()->click();
  EXPECT_EQ(Shown(Window(), Control::编辑框3), "0");
  EXPECT_EQ(Shown(Window(), Control::标签3), "演示文件.zip");
}

TEST_F(ResolveCommandTest, ClosingTheWindowDuringARequestEndsCleanly) {
  RawHttpServer hanging([](const RecordedRequest&, Connection& connection) { connection.Pause(30s); });
  Start("http://" + hanging.HostAndPort());
  QApplication::setQuitOnLastWindowClosed(true);
  QTimer::singleShot(0, [this] { ResolveButton()->click(); });
  QTimer::singleShot(300, [this] { Window().close(); });
  QElapsedTimer clock;
  clock.start();
  QApplication::exec();
  QApplication::setQuitOnLastWindowClosed(false);
  EXPECT_LT(clock.elapsed(), 5000);
  EXPECT_EQ(Shown(Window(), Control::编辑框3), "0");  // the command still came to its end
}

}  // namespace
}  // namespace quorvane
