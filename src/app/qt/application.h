#pragma once

#include "form/endpoints.h"
#include "form/globals.h"
#include "app/qt/main_window.h"
#include "app/qt/qt_event_pump.h"
#include "handoff/aria2_agent.h"
#include "handoff/handoff_commands.h"
#include "handoff/qt/qt_handoff.h"
#include "resolve/resolve_command.h"
#include "services/online_services.h"

#include <filesystem>

#include <functional>
#include <memory>
#include <optional>

namespace quorvane {

// What tests and the demo may set in place of the defaults.
struct ApplicationOptions {
  RetryPauses retryPauses;                        // the online services' retries
  Shell* shell = nullptr;                         // the desktop's default browser when null
  DownloadSettings downloads;                     // folder: the user's download folder when empty
  std::optional<Aria2Settings> aria2;             // the user's settings, read at each hand-off, when unset
  std::chrono::milliseconds browserReset{5000};   // 时钟3's period after an HTTP download
  std::optional<std::chrono::milliseconds> resolverTimeout;  // the resolver request's limit; 60 s when omitted
};

// The running program: its globals, the main window with every event bound to its
// routine, and the event pump its waits go through. Needs a QApplication.
class Application {
 public:
  // Creates the globals and the window and runs the window's created event.
  explicit Application(Endpoints endpoints, ApplicationOptions options = {});
  // Releases the globals; workers still running are told to stop.
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  MainWindow& Window() { return *window_; }
  OnlineServices& Services() { return *services_; }
  BrowserBox& Browser() { return *browser_; }
  ProgramGlobals& Globals() { return globals_; }
  const Endpoints& EndpointsInUse() const { return endpoints_; }

 private:
  void WindowCreated();
  void OnClick(Control control);
  void OnKeyDown(Control control, int keyCode);
  void OnTick(Timer timer);
  void ShowUsageCount();

  Endpoints endpoints_;
  ProgramGlobals globals_;
  QtEventPump pump_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<ResolveCommand> resolve_;
  std::unique_ptr<OnlineServices> services_;
  QtClipboard clipboard_;
  QtShell desktop_;
  std::unique_ptr<DownloadBrowserBox> browser_;
  std::unique_ptr<HandoffCommands> handoff_;
};

// The program's entry: the application, the window shown centred, the event loop
// until the window closes. `started` runs once the window is shown (the demo drives
// the window from there).
int ProgramStart(int argc, char** argv, const Endpoints& endpoints,
                 const std::function<void(Application&)>& started = {}, const ApplicationOptions& options = {});

}  // namespace quorvane
