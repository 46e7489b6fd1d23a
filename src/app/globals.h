#pragma once

#include <string>
#include <vector>

namespace quorvane {

// The program's global state, created at start and released at exit, each item named
// as the routines that share it know it.
struct ProgramGlobals {
  std::string DownloadAddress;     // the last resolved download address
  std::string ResolverAnswer;      // the resolver's answer while it is read
  std::string ResolverAnswerRaw;   // the same answer as it came, for the second pass
  std::string CounterPageText;     // the page-hit counter page
  std::string HostingPageText;     // the last page read from the hosting service
  std::string PublishedVersion;
  std::string ReleaseFolderName;
  std::string ReleaseFileMark;
  std::string UpdateMessageText;
  std::string ListingAddress;
  std::string ReleaseFolderId;
  std::vector<std::string> NoticeFields;
  std::vector<std::string> UpdateMessageWords;
  std::string NewVersionAddress;   // the new release, written by the update check
};

}  // namespace quorvane
