#pragma once

#include "handoff/file_download.h"
#include "handoff/handoff_seams.h"

#include <QPointer>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace quorvane {

// The system clipboard, as text.
class QtClipboard final : public Clipboard {
 public:
  void SetText(std::string_view text) override;
};

// The desktop's default browser, never a shell command line.
class QtShell final : public Shell {
 public:
  void OpenAddress(std::string_view address) override;
};

// A small window per download: file name, bytes, the whole speed, the connections at
// work and the time left, a progress bar, the number of connections to use, the outcome
// in words, Cancel, and Open folder once the file is there. Cancel removes what arrived;
// closing the window (or the program) stops the download so that starting the same
// address again continues it. Address and file name are GBK.
class DownloadWindow final : public QWidget {
 public:
  DownloadWindow(const std::string& address, const std::string& fileName, const DownloadSettings& settings,
                 Shell& shell);
  ~DownloadWindow() override;

  // What the window says about the download: "finished", "failed", "cancelled", or
  // "running".
  QString State() const { return state_; }
  std::filesystem::path File() const { return file_; }

 private:
  void ShowProgress(const DownloadProgress& progress);
  void ShowResult(const DownloadResult& result);
  void ShowReceived(std::uint64_t received, const std::optional<std::uint64_t>& total);
  void ShowUnfinished(const DownloadResult& result, const QString& reason);

  Shell& shell_;
  std::filesystem::path folder_;
  std::filesystem::path file_;
  QString state_ = QStringLiteral("running");
  QLabel* name_;
  QLabel* bytes_;
  QLabel* speed_;
  QLabel* connections_;
  QLabel* timeLeft_;
  QSpinBox* connectionCount_;
  QLabel* status_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  QPushButton* openFolder_;
  std::unique_ptr<FileDownload> download_;
};

// The browser box: sent to a web address it downloads the file there in a window of
// its own; sent anywhere else it only holds the address. Several downloads may run.
class DownloadBrowserBox final : public BrowserBox {
 public:
  DownloadBrowserBox(DownloadSettings settings, Shell& shell) : settings_(std::move(settings)), shell_(shell) {}
  // Closes the download windows still open: their downloads stop and their threads end.
  ~DownloadBrowserBox() override;
  DownloadBrowserBox(const DownloadBrowserBox&) = delete;
  DownloadBrowserBox& operator=(const DownloadBrowserBox&) = delete;
  void Navigate(std::string_view address, std::string_view fileName) override;
  std::string Address() const override { return address_; }

  // The user's download folder, made when missing.
  static std::filesystem::path UserDownloadFolder();

 private:
  DownloadSettings settings_;
  Shell& shell_;
  std::string address_;
  std::vector<QPointer<DownloadWindow>> windows_;
};

}  // namespace quorvane
