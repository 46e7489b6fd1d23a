#include "app/qt/application.h"

#include "services/usage_counter.h"
#include "web/detached_worker.h"
#include "web/web_access.h"
#include "web/encodings.h"

#include <QApplication>
#include <QFont>

namespace quorvane {
namespace {

constexpr int kStartupTimerMilliseconds = 1200;
// How long exit waits for workers and the services' threads still running.
constexpr std::chrono::milliseconds kWorkerPatience{5000};

}  // namespace

Application::Application(Endpoints endpoints, ApplicationOptions options) : endpoints_(std::move(endpoints)) {
  InstallEventPump(&pump_);
  window_ = std::make_unique<MainWindow>(Utf8ToGbk(endpoints_.SampleShareLink));
  resolve_ = std::make_unique<ResolveCommand>(*window_, globals_, endpoints_, options.resolverTimeout);
  services_ = std::make_unique<OnlineServices>(*window_, globals_.online, endpoints_, options.retryPauses);
  Shell& shell = options.shell != nullptr ? *options.shell : desktop_;
  DownloadSettings downloads = options.downloads;
  if (downloads.folder.empty()) {
    downloads.folder = DownloadBrowserBox::UserDownloadFolder();
  }
  browser_ = std::make_unique<DownloadBrowserBox>(downloads, shell);
  // Read at each hand-off, so the program reads no file while it starts and a changed
  // daemon setting counts from the next click on.
  auto agents = [aria2 = options.aria2] {
    return Aria2Agent::Connect(aria2 ? *aria2 : ReadAria2Settings(UserConfigFolder()));
  };
  handoff_ = std::make_unique<HandoffCommands>(*window_, globals_, clipboard_, shell, agents, *browser_,
                                               options.browserReset);
  window_->onClick = [this](Control control) { OnClick(control); };
  window_->onKeyDown = [this](Control control, int keyCode) { OnKeyDown(control, keyCode); };
  window_->onTick = [this](Timer timer) { OnTick(timer); };
  WindowCreated();
}

Application::~Application() {
  window_->onClick = nullptr;
  window_->onKeyDown = nullptr;
  window_->onTick = nullptr;
  services_->Stop(pump_, kWorkerPatience);
  StopDetachedWork(kWorkerPatience);
  InstallEventPump(nullptr);
  globals_ = ProgramGlobals{};  // ReleaseGlobals
}

void Application::WindowCreated() { window_->SetTimerPeriod(Timer::时钟1, kStartupTimerMilliseconds); }

void Application::OnClick(Control control) {
  switch (control) {
    case Control::按钮1:
      resolve_->StartResolve();
      break;
    case Control::按钮2:
      handoff_->CopyAddress();
      break;
    case Control::按钮6:
      handoff_->HandToDownloadManager();
      break;
    case Control::按钮7:
      handoff_->DownloadInBrowserBox();
      break;
    case Control::按钮5:
      handoff_->DownloadNewVersion();
      break;
    default:
      break;  // 按钮4 plays no music
  }
}

void Application::OnKeyDown(Control control, int keyCode) {
  if (control == Control::编辑框1) {
    resolve_->LinkBoxKeyDown(keyCode);
  }
}

void Application::OnTick(Timer timer) {
  switch (timer) {
    case Timer::时钟1:
      ShowUsageCount();
      break;
    case Timer::时钟2:
      resolve_->TickElapsedTime();
      break;
    case Timer::时钟3:
      handoff_->ResetBrowserBox();
      break;
  }
}

void Application::ShowUsageCount() {
  window_->SetTimerPeriod(Timer::时钟1, 0);
  globals_.CounterPageText = FetchText(endpoints_.CounterPageAddress);
  window_->SetCaption(Control::标签9, UsageLine(globals_.CounterPageText));
  // Only now, with the usage line written, do the background services start.
  services_->StartChain();
}

int ProgramStart(int argc, char** argv, const Endpoints& endpoints,
                 const std::function<void(Application&)>& started, const ApplicationOptions& options) {
  QApplication qtApplication(argc, argv);
  QFont font(QStringLiteral("Noto Sans CJK SC"));
  font.setPixelSize(12);
  QApplication::setFont(font);
  int result = 0;
  {
    Application application(endpoints, options);
    application.Window().ShowCentred();
    if (started) {
      started(application);
    }
    result = QApplication::exec();
  }
  return result;
}

}  // namespace quorvane
