// quorvane-demo: the tool's window wired to stand-ins on 127.0.0.1 instead of the
// outside services, so the whole main path works on a machine without internet.
//
//   quorvane-demo                       the window, for clicking through
//   quorvane-demo --resolve-and-exit [--screenshot file.png]
//                                       resolves the sample link through the window,
//                                       prints what the window shows, and exits
#include "app/qt/application.h"
#include "app/qt/gbk_qstring.h"
#include "standins/download_standin.h"
#include "standins/resolver_standin.h"

#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
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
  std::fflush(stdout);
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

  Endpoints endpoints = builtIn;
  endpoints.ResolverAddress = resolver.Address();

  return ProgramStart(argc, argv, endpoints, [&options](Application& application) {
    if (!options.resolveAndExit) {
      return;
    }
    QTimer::singleShot(200, [&application, &options] {
      // The click runs the whole command, the window working meanwhile.
      application.Window().findChild<QPushButton*>(QStringLiteral("按钮1"))->click();
      PrintShown(application);
      if (!options.screenshot.empty()) {
        const bool saved = application.Window().grab().save(QString::fromStdString(options.screenshot), "PNG");
        std::printf("%-9s %s\n", "picture:", saved ? options.screenshot.c_str() : "could not be saved");
      }
      QApplication::quit();
    });
  });
}
