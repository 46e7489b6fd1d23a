// quorvane-demo: the tool's window wired to stand-ins on 127.0.0.1 instead of the
// outside services, so the whole main path works on a machine without internet; the
// download-manager button hands tasks to an aria2 daemon the demo starts itself.
//
//   quorvane-demo                       the window, for clicking through
//   quorvane-demo --resolve-and-exit [--screenshot file.png]
//                                       resolves the sample link through the window,
//                                       prints what the window shows, answers the
//                                       update question Yes, and exits
#include "app/qt/application.h"
#include "handoff/qt/gbk_qstring.h"
#include "standins/aria2_daemon.h"
#include "standins/download_standin.h"
#include "standins/hosting_standin.h"
#include "standins/raw_http_server.h"
#include "standins/resolver_standin.h"
#include "web/encodings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <string>

namespace {

using namespace quorvane;
using standins::DownloadStandin;
using standins::ResolverStandin;

struct Options {
  bool resolveAndExit = false;
  std::string screenshot;
};

Options ReadOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--resolve-and-exit") {
      options.resolveAndExit = true;
    } else if (argument == "--screenshot" && i + 1 < argc) {
      options.screenshot = argv[++i];
    }
  }
  return options;
}

void PrintShown(Application& application) {
  MainWindow& window = application.Window();
  auto line = [&window](const char* what, Control control) {
    std::printf("%-9s %s\n", what, ToQString(window.Caption(control)).toUtf8().constData());
  };
  line("link:", Control::编辑框1);
  line("name:", Control::标签3);
  line("address:", Control::编辑框2);
  line("size:", Control::标签6);
  line("elapsed:", Control::标签11);
  line("usage:", Control::标签9);
  std::fflush(stdout);
}

// Runs events until `done` holds, at most five seconds.
void WaitFor(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < 5000) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

void SaveScreenshot(QWidget& window, const std::string& path) {
  if (path.empty()) {
    return;
  }
  const bool saved = window.grab().save(QString::fromStdString(path), "PNG");
  std::printf("%-9s %s\n", "picture:", saved ? path.c_str() : "could not be saved");
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ReadOptions(argc, argv);
  const Endpoints builtIn = BuiltInEndpoints();

  DownloadStandin downloads({
      {"/files/demo.zip", 12345678},
      {"/files/setup.exe", 734003200},
      {"/files/disk.iso", 5000000000},
  });
  ResolverStandin resolver({
      {builtIn.SampleShareLink, "Quorvane演示文件.zip", downloads.Url("/files/demo.zip"), false},
      {"http://pan.baidu.com/s/escaped", "安装包 setup.exe", downloads.Url("/files/setup.exe"), true},
      {"http://pan.baidu.com/s/large", "系统盘.iso", downloads.Url("/files/disk.iso"), false},
  });

  // The page-hit counter, and the maker's hosting page publishing a version other
  // than the tool's own, so the update question comes up.
  standins::RawHttpServer counter(standins::Reply(standins::HttpResponse(
      200, Utf8ToGbk("<td>今天访问：27&#10</td><td>累计访问：183064&#10;点击申请计数器</td>"))));
  standins::HostingStandin hosting;
  hosting.SetPages({
      standins::HostingStandin::HomePage(
          Utf8ToGbk("v16.02.01|Quorvane 正式版|quorvane_v16|更新 发现新版本v16.02.01 解析更快、更稳定 是否下载新版本？"),
          hosting.ListingAddress()),
      standins::HostingStandin::ListingPage(Utf8ToGbk("Quorvane 正式版"), "20160201"),
      standins::HostingStandin::FileList(hosting.LinkPrefix(), {"readme.txt", "quorvane_v16.02.01.zip"}),
  });

  Endpoints endpoints = builtIn;
  endpoints.ResolverAddress = resolver.Address();
  endpoints.CounterPageAddress = counter.Url("/count/count.asp?id=151013&sx=2&ys=43");
  endpoints.HostingHomeAddress = hosting.HomeAddress();
  endpoints.HostingLinkPrefix = hosting.LinkPrefix();

  // The download-manager button hands its tasks to an aria2 daemon of the demo's own.
  standins::Aria2Daemon aria2(DownloadBrowserBox::UserDownloadFolder() / "quorvane-demo-aria2");
  ApplicationOptions applicationOptions;
  applicationOptions.aria2.emplace().port = aria2.Port();

  return ProgramStart(argc, argv, endpoints, [&options](Application& application) {
    if (!options.resolveAndExit) {
      return;
    }
    QTimer::singleShot(200, [&application, &options] {
      MainWindow& window = application.Window();
      // The click runs the whole command, the window working meanwhile.
      window.findChild<QPushButton*>(QStringLiteral("按钮1"))->click();
      // The usage line comes 1.2 s after start, then the update question: it is
      // answered Yes from a timer, since the box runs its own event loop.
      WaitFor([&window] { return !window.Caption(Control::标签9).empty(); });
      PrintShown(application);
      SaveScreenshot(window, options.screenshot);
      bool answered = false;
      QTimer answer;
      QObject::connect(&answer, &QTimer::timeout, [&answered] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && !answered) {
          answered = true;
          std::printf("%-9s %s | %s\n", "question:", box->windowTitle().toUtf8().constData(),
                      box->text().replace('\n', QStringLiteral(" / ")).toUtf8().constData());
          box->button(QMessageBox::Yes)->click();
        }
      });
      answer.start(50);
      WaitFor([&window] { return window.Visible(Control::按钮5); });
      std::printf("%-9s %s\n", "offered:", window.Visible(Control::按钮5) ? "new-version button and notice shown" : "none");
      if (!options.screenshot.empty()) {
        QString second = QString::fromStdString(options.screenshot);
        second.replace(QStringLiteral(".png"), QStringLiteral("-update.png"));
        SaveScreenshot(window, second.toStdString());
      }
      // The HTTP download: the browser box fetches the file in a window of its own.
      window.findChild<QPushButton*>(QStringLiteral("按钮7"))->click();
      DownloadWindow* download = nullptr;
      WaitFor([&download] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
          if (auto* candidate = dynamic_cast<DownloadWindow*>(widget)) {
            download = candidate;
          }
        }
        return download != nullptr && download->State() != QStringLiteral("running");
      });
      std::printf("%-9s %s\n", "download:",
                  download == nullptr ? "no window" : (download->State() + QStringLiteral(" ") +
                                                       QString::fromStdString(download->File().string()))
                                                          .toUtf8()
                                                          .constData());
      std::fflush(stdout);
      QApplication::quit();
    });
  }, applicationOptions);
}
