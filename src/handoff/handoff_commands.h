#pragma once

#include "form/form.h"
#include "form/globals.h"
#include "handoff/handoff_seams.h"

#include <chrono>
#include <functional>
#include <memory>

namespace quorvane {

// Hands the task to the agent, or tells the user no download manager could be started.
void ThunderHandOff(std::string_view address, std::string_view fileName, DownloadAgent* agent, Form& form);

// The three ways to the file once the address is known, and the browser box's reset.
class HandoffCommands {
 public:
  using AgentFactory = std::function<std::unique_ptr<DownloadAgent>()>;

  HandoffCommands(Form& form, ProgramGlobals& globals, Clipboard& clipboard, Shell& shell, AgentFactory agents,
                  BrowserBox& browser, std::chrono::milliseconds browserResetPeriod = std::chrono::milliseconds(5000))
      : form_(form), globals_(globals), clipboard_(clipboard), shell_(shell), agents_(std::move(agents)),
        browser_(browser), resetPeriod_(browserResetPeriod) {}

  // 按钮2: the address to the clipboard, then the offer to open it in the browser.
  void CopyAddress();
  // 按钮6: the address and file name to the download manager; a click while the
  // manager is still being asked is ignored.
  void HandToDownloadManager();
  // 按钮7: the browser box to the address; the reset timer started.
  void DownloadInBrowserBox();
  // 时钟3: the browser box back to the empty address, once per start.
  void ResetBrowserBox();
  // 按钮5: the browser box to the new release.
  void DownloadNewVersion();

 private:
  Form& form_;
  ProgramGlobals& globals_;
  Clipboard& clipboard_;
  Shell& shell_;
  AgentFactory agents_;
  BrowserBox& browser_;
  std::chrono::milliseconds resetPeriod_;
  bool handingOff_ = false;
};

}  // namespace quorvane
