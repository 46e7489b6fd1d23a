#pragma once

#include "util/regex_object.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorvane {

// The globals the online services' background threads share. Each thread holds
// `lock` while it reads or writes them; nobody holds it across a request, a window
// call or a match, since the window takes it on a click.
struct OnlineServiceGlobals {
  std::mutex lock;
  // Held across each Prepare→read use of SharedRegex, which can take a while on a
  // hostile page; the window never takes it.
  std::mutex regexLock;
  RegexObject SharedRegex;
  std::string HostingPageText;     // the last page read from the hosting service
  std::string PublishedVersion;
  std::string ReleaseFolderName;
  std::string ReleaseFileMark;
  std::string UpdateMessageText;
  std::string ListingAddress;
  std::string ReleaseFolderId;
  std::vector<std::string> NoticeFields;
  std::vector<std::string> UpdateMessageWords;
  std::string NewVersionAddress;   // the new release; the window reads it on a click
};

// The program's global state, created at start and released at exit, each item named
// as the routines that share it know it.
struct ProgramGlobals {
  std::string DownloadAddress;     // the last resolved download address
  std::string ResolverAnswer;      // the resolver's answer while it is read
  std::string ResolverAnswerRaw;   // the same answer as it came, for the second pass
  std::string CounterPageText;     // the page-hit counter page
  // Shared by ownership: a background thread that outlives the window still finds them.
  std::shared_ptr<OnlineServiceGlobals> online = std::make_shared<OnlineServiceGlobals>();
};

}  // namespace quorvane
