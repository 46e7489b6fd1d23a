#pragma once

#include "form/endpoints.h"
#include "form/form.h"
#include "form/form_gate.h"
#include "form/globals.h"
#include "services/hosting_page_access.h"
#include "web/event_pump.h"

#include <chrono>
#include <memory>

namespace quorvane {

// How long the chain waits before it tries again after an empty page or a missing
// notice record: the first pause, doubled on every further try up to the longest.
struct RetryPauses {
  std::chrono::milliseconds first{5000};
  std::chrono::milliseconds longest{std::chrono::minutes(10)};
};

// The online services' chain in the background: the notice, the release folder, the
// update check, each step on a thread of its own that starts the next. At most one
// chain runs at a time; the window is touched only through a gate that closes at exit.
class OnlineServices {
 public:
  OnlineServices(Form& window, std::shared_ptr<OnlineServiceGlobals> globals, const Endpoints& endpoints,
                 RetryPauses pauses = {}, HostingTimeouts timeouts = {});
  // Stops the chain (see Stop) with the blocking pump if Stop was not called.
  ~OnlineServices();
  OnlineServices(const OnlineServices&) = delete;
  OnlineServices& operator=(const OnlineServices&) = delete;

  // Starts LoadRemoteNotice on a new thread, unless a chain is already running.
  void StartChain();

  // On the window's thread at exit: aborts requests and pauses, waits (events flowing
  // through `pump`) up to `patience` for the chain's threads, and closes the gate.
  void Stop(EventPump& pump, std::chrono::milliseconds patience);

  // Whether a chain is running (tests wait for the end of one).
  bool Running() const;
  // How many times the chain has started LoadRemoteNotice (first run and retries).
  int NoticeRuns() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
  bool stopped_ = false;
};

}  // namespace quorvane
