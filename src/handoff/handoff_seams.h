#pragma once

#include <memory>
#include <string>
#include <string_view>

// What the hand-off commands reach outside the program through; one production
// implementation each (the platform side), fakes in tests. Texts are GBK.
namespace quorvane {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual void SetText(std::string_view text) = 0;
};

// Opens an address in the user's default browser.
class Shell {
 public:
  virtual ~Shell() = default;
  virtual void OpenAddress(std::string_view address) = 0;
};

// A download manager that takes tasks: added one by one, then committed together.
class DownloadAgent {
 public:
  virtual ~DownloadAgent() = default;
  virtual void AddTask(std::string_view address, std::string_view fileName, std::string_view comment) = 0;
  virtual void CommitTasks2(int value) = 0;
};

// The hidden browser box: sent to the address of a file, it downloads the file, saved
// under `fileName` when the server names none; sent to the empty address, it just
// holds that address.
class BrowserBox {
 public:
  virtual ~BrowserBox() = default;
  virtual void Navigate(std::string_view address, std::string_view fileName) = 0;
  virtual std::string Address() const = 0;
};

// Whether an address may be opened or downloaded at all: http:// and https:// only.
bool IsWebAddress(std::string_view address);

}  // namespace quorvane
