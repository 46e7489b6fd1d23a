#include "services/online_services.h"

#include "util/text_pieces.h"
#include "util/text_search.h"
#include "web/encodings.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <thread>

namespace quorvane {
namespace {

// The notice record and the hidden listing address are the first matches of
// "配3【(.*?)】" and "src=\"(.*?)\" style=\"display:none;\"" (the latter ignoring case).
// A page is searched for them in one pass: the expression engine would try every
// "配3【" of an unclosed run again up to the line's end, quadratic in the page's size.
struct ChainTexts {
  std::string noticeOpen = Utf8ToGbk("配3【");
  std::string noticeClose = Utf8ToGbk("】");
  std::string listingOpen = "src=\"";
  std::string listingClose = "\" style=\"display:none;\"";
  std::string questionTitle = Utf8ToGbk("发现新版本");
};

const ChainTexts& Texts() {
  static const ChainTexts texts;
  return texts;
}

}  // namespace

struct OnlineServices::State : std::enable_shared_from_this<State> {
  State(Form& window, std::shared_ptr<OnlineServiceGlobals> shared, Endpoints addresses, RetryPauses retry,
        HostingTimeouts hosting)
      : gate(window), globals(std::move(shared)), endpoints(std::move(addresses)), pauses(retry),
        timeouts(hosting) {}

  FormGate gate;
  std::shared_ptr<OnlineServiceGlobals> globals;
  const Endpoints endpoints;
  const RetryPauses pauses;
  const HostingTimeouts timeouts;

  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;  // guards the fields below
  std::condition_variable changed;
  bool chainRunning = false;
  int threads = 0;
  int retries = 0;
  int noticeRuns = 0;

  using Step = void (State::*)();

  // Runs `step` on a new thread that holds the state alive while it runs.
  void StartThread(Step step) {
    std::lock_guard lock(mutex);
    if (stopping.load()) {
      chainRunning = false;
      changed.notify_all();
      return;
    }
    ++threads;
    std::thread([self = shared_from_this(), step] {
      (self.get()->*step)();
      std::lock_guard ended(self->mutex);
      --self->threads;
      self->changed.notify_all();
    }).detach();
  }

  void EndChain() {
    std::lock_guard lock(mutex);
    chainRunning = false;
    retries = 0;
    changed.notify_all();
  }

  // Waits a pause that grows with every try (the CPU idles meanwhile), then starts the
  // notice again, unless the program is closing.
  void RetryLater() {
    std::chrono::milliseconds pause = pauses.first;
    {
      std::unique_lock lock(mutex);
      for (int i = 0; i < retries && pause < pauses.longest; ++i) {
        pause *= 2;
      }
      pause = std::min(pause, pauses.longest);
      ++retries;
      changed.wait_for(lock, pause, [this] { return stopping.load(); });
    }
    StartThread(&State::LoadRemoteNotice);
  }

  std::string FetchPage(HostingRequest request) {
    return std::string(AsText(HostingPageAccess(request, nullptr, timeouts, &stopping)));
  }

  void LoadRemoteNotice() {
    {
      std::lock_guard lock(mutex);
      ++noticeRuns;
    }
    const std::string page = FetchPage({endpoints.HostingHomeAddress, "GET", {}, {}, {}});
    const std::vector<std::string> fields =
        SplitText(FirstBetweenOnOneLine(page, Texts().noticeOpen, Texts().noticeClose).value_or(""), "|");
    // A page without the record, or a record of fewer than four fields, is tried again
    // later like a missing page; the window is never touched for it.
    const bool usable = !page.empty() && fields.size() >= 4;
    OnlineServiceGlobals& g = *globals;
    {
      std::lock_guard lock(g.lock);
      g.HostingPageText = page;
      if (!page.empty()) {
        g.NoticeFields = fields;
      }
      if (usable) {
        g.PublishedVersion = g.NoticeFields[0];
        g.ReleaseFolderName = g.NoticeFields[1];
        g.ReleaseFileMark = g.NoticeFields[2];
        g.UpdateMessageText = g.NoticeFields[3];
        g.ListingAddress =
            FirstBetweenOnOneLine(page, Texts().listingOpen, Texts().listingClose, true).value_or("");
        g.UpdateMessageWords = SplitText(g.UpdateMessageText, " ");
      }
    }
    if (usable) {
      StartThread(&State::FindReleaseFolder);
    } else {
      RetryLater();
    }
  }

  void FindReleaseFolder() {
    OnlineServiceGlobals& g = *globals;
    std::string listing;
    std::string folderName;
    {
      std::lock_guard lock(g.lock);
      listing = g.ListingAddress;
      folderName = g.ReleaseFolderName;
    }
    const std::string page = FetchPage({listing, "GET", {}, {}, {}});
    std::string folderId;
    {
      std::lock_guard regexLock(g.regexLock);
      // The folder name goes in as it is: it is an expression, metacharacters included.
      g.SharedRegex.Prepare("'>" + folderName + "</a><label>(.*?)</label><ul style='display:none;' id='ZMm_(.*?)' ");
      g.SharedRegex.Search(page);
      folderId = g.SharedRegex.SubMatchText(1, 2);
    }
    {
      std::lock_guard lock(g.lock);
      g.HostingPageText = page;
      g.ReleaseFolderId = folderId;
    }
    StartThread(&State::CheckForUpdate);
  }

  void CheckForUpdate() {
    OnlineServiceGlobals& g = *globals;
    HostingRequest request;
    {
      std::lock_guard lock(g.lock);
      request.address = g.ListingAddress;
      request.method = "POST";
      request.body = "Yz0=dq&Yz1=" + g.ReleaseFolderId + "&Yz2=&Yz3=&Yz4=";
    }
    const std::string page = FetchPage(request);

    std::vector<std::string> links;
    {
      std::lock_guard regexLock(g.regexLock);
      g.SharedRegex.Prepare(endpoints.HostingLinkPrefix + "(.*?)' title='");
      const int count = g.SharedRegex.Search(page);
      for (int i = 1; i <= count; ++i) {
        links.push_back(g.SharedRegex.SubMatchText(i, 1));
      }
    }

    std::string offeredLink;
    std::string publishedVersion;
    std::vector<std::string> words;
    {
      std::lock_guard lock(g.lock);
      g.HostingPageText = page;
      for (const std::string& rest : links) {
        if (ContainsText(rest, g.ReleaseFileMark)) {
          g.NewVersionAddress = endpoints.HostingLinkPrefix + rest;
          offeredLink = g.NewVersionAddress;
          break;
        }
      }
      publishedVersion = g.PublishedVersion;
      words = g.UpdateMessageWords;
    }
    if (offeredLink.empty()) {
      EndChain();
      return;
    }
    if (publishedVersion.empty()) {
      RetryLater();
      return;
    }
    if (gate.Caption(Control::当前版本号) != publishedVersion && words.size() >= 4 && !stopping.load()) {
      const std::string message = words[1] + "\r\n" + words[2] + "\r\n" + words[3];
      if (gate.ShowMessage(message, Texts().questionTitle, MessageButtons::YesNo, MessageIcon::Question) ==
          MessageAnswer::Yes) {
        gate.SetVisible(Control::按钮5, true);
        gate.SetVisible(Control::标签8, true);
        gate.SetWidth(Control::标签8, 576);
        gate.SetHeight(Control::标签8, 192);
      }
    }
    EndChain();
  }
};

OnlineServices::OnlineServices(Form& window, std::shared_ptr<OnlineServiceGlobals> globals,
                               const Endpoints& endpoints, RetryPauses pauses, HostingTimeouts timeouts)
    : state_(std::make_shared<State>(window, std::move(globals), endpoints, pauses, timeouts)) {}

OnlineServices::~OnlineServices() {
  if (!stopped_) {
    BlockingEventPump pump;
    Stop(pump, std::chrono::seconds(5));
  }
}

void OnlineServices::StartChain() {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->chainRunning || state_->stopping.load()) {
      return;
    }
    state_->chainRunning = true;
  }
  state_->StartThread(&State::LoadRemoteNotice);
}

void OnlineServices::Stop(EventPump& pump, std::chrono::milliseconds patience) {
  stopped_ = true;
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping.store(true);
    state_->changed.notify_all();
  }
  // The threads may be waiting for the window to carry out a call, so events must
  // keep flowing while they end.
  const Clock::time_point deadline = Clock::now() + patience;
  CompletionSignal never;
  while (Clock::now() < deadline) {
    {
      std::lock_guard lock(state_->mutex);
      if (state_->threads == 0) {
        break;
      }
    }
    pump.Wait(never, std::min(deadline, Clock::now() + std::chrono::milliseconds(10)));
    // A pump that cannot wait any more (the application is quitting) returns at once.
    std::unique_lock lock(state_->mutex);
    state_->changed.wait_for(lock, std::chrono::milliseconds(5), [this] { return state_->threads == 0; });
  }
  state_->gate.Close(pump);
}

bool OnlineServices::Running() const {
  std::lock_guard lock(state_->mutex);
  return state_->chainRunning;
}

int OnlineServices::NoticeRuns() const {
  std::lock_guard lock(state_->mutex);
  return state_->noticeRuns;
}

}  // namespace quorvane
