#include "handoff/qt/qt_handoff.h"

#include "app/qt/gbk_qstring.h"
#include "web/code_page_converter.h"
#include "web/transfer.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

namespace quorvane {
namespace {

QString SizeText(double bytes) {
  static const char* units[] = {"B", "KB", "MB", "GB", "TB"};
  int unit = 0;
  while (bytes >= 1024 && unit < 4) {
    bytes /= 1024;
    ++unit;
  }
  return QString::number(bytes, 'f', unit == 0 ? 0 : 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

// The address as libcurl and the desktop take it: UTF-8, with bytes a URL cannot carry
// percent-encoded.
std::string WebAddress(std::string_view gbk) {
  return EscapeUrlBytes(codepage::Transcode(gbk, codepage::kGbk, codepage::kUtf8), false);
}

}  // namespace

void QtClipboard::SetText(std::string_view text) { QApplication::clipboard()->setText(ToQString(text)); }

void QtShell::OpenAddress(std::string_view address) {
  QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(WebAddress(address))));
}

DownloadWindow::DownloadWindow(const std::string& address, const std::filesystem::path& folder, Shell& shell)
    : QWidget(nullptr, Qt::Window), shell_(shell), folder_(folder) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("DownloadWindow"));
  setWindowTitle(QStringLiteral("下载"));
  setMinimumWidth(420);
  name_ = new QLabel(QString::fromStdString(address), this);
  name_->setTextFormat(Qt::PlainText);
  bytes_ = new QLabel(this);
  speed_ = new QLabel(this);
  status_ = new QLabel(QStringLiteral("正在下载…"), this);
  status_->setObjectName(QStringLiteral("status"));
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 0);
  cancel_ = new QPushButton(QStringLiteral("取消"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  openFolder_ = new QPushButton(QStringLiteral("打开文件夹"), this);
  openFolder_->setObjectName(QStringLiteral("openFolder"));
  openFolder_->hide();

  auto* numbers = new QHBoxLayout;
  numbers->addWidget(bytes_);
  numbers->addStretch();
  numbers->addWidget(speed_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(status_);
  buttons->addStretch();
  buttons->addWidget(openFolder_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(name_);
  layout->addWidget(bar_);
  layout->addLayout(numbers);
  layout->addLayout(buttons);

  connect(cancel_, &QPushButton::clicked, this, [this] {
    if (download_) {
      download_->Cancel();
    }
  });
  connect(openFolder_, &QPushButton::clicked, this, [this] {
    shell_.OpenAddress(FromQString(QUrl::fromLocalFile(QString::fromStdString(folder_.string())).toString()));
  });

  // The download's thread only posts to this window; the window runs the updates.
  QPointer<DownloadWindow> self(this);
  download_ = std::make_unique<FileDownload>(
      WebAddress(address), DownloadSettings{folder},
      [self](const DownloadProgress& progress) {
        QMetaObject::invokeMethod(qApp, [self, progress] {
          if (self) {
            self->ShowProgress(progress);
          }
        }, Qt::QueuedConnection);
      },
      [self](const DownloadResult& result) {
        QMetaObject::invokeMethod(qApp, [self, result] {
          if (self) {
            self->ShowResult(result);
          }
        }, Qt::QueuedConnection);
      });
}

DownloadWindow::~DownloadWindow() = default;

void DownloadWindow::ShowProgress(const DownloadProgress& progress) {
  if (!progress.fileName.empty()) {
    name_->setText(QString::fromStdString(progress.fileName));
    setWindowTitle(QStringLiteral("下载 ") + QString::fromStdString(progress.fileName));
  }
  const double received = static_cast<double>(progress.received);
  if (progress.total && *progress.total > 0) {
    bar_->setRange(0, 1000);
    bar_->setValue(static_cast<int>(1000.0 * received / static_cast<double>(*progress.total)));
    bytes_->setText(SizeText(received) + QStringLiteral(" / ") + SizeText(static_cast<double>(*progress.total)));
  } else {
    bytes_->setText(SizeText(received));
  }
  speed_->setText(SizeText(progress.bytesPerSecond) + QStringLiteral("/s"));
}

void DownloadWindow::ShowResult(const DownloadResult& result) {
  cancel_->setText(QStringLiteral("关闭"));
  disconnect(cancel_, nullptr, this, nullptr);
  connect(cancel_, &QPushButton::clicked, this, &QWidget::close);
  switch (result.outcome) {
    case DownloadOutcome::Finished:
      state_ = QStringLiteral("finished");
      file_ = result.file;
      status_->setText(QStringLiteral("下载完成"));
      bar_->setRange(0, 1);
      bar_->setValue(1);
      openFolder_->show();
      break;
    case DownloadOutcome::Failed:
      state_ = QStringLiteral("failed");
      status_->setText(QStringLiteral("下载失败：") + QString::fromStdString(result.error));
      break;
    case DownloadOutcome::Cancelled:
      state_ = QStringLiteral("cancelled");
      status_->setText(QStringLiteral("已取消"));
      break;
  }
}

void DownloadBrowserBox::Navigate(std::string_view address) {
  address_ = std::string(address);
  if (!IsWebAddress(address)) {
    return;  // the empty address, or one that is no web address: nothing is fetched
  }
  auto* window = new DownloadWindow(address_, folder_, shell_);
  window->show();
  windows_.emplace_back(window);
}

DownloadBrowserBox::~DownloadBrowserBox() {
  for (const QPointer<DownloadWindow>& window : windows_) {
    delete window.data();
  }
}

std::filesystem::path DownloadBrowserBox::UserDownloadFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  if (folder.isEmpty()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
  }
  std::error_code ignored;
  std::filesystem::create_directories(folder.toStdString(), ignored);
  return folder.toStdString();
}

}  // namespace quorvane
