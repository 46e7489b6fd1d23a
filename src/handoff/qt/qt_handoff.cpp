#include "handoff/qt/qt_handoff.h"

#include "handoff/qt/gbk_qstring.h"
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
#include <QSpinBox>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {
namespace {

QString SizeText(double bytes) { return QString::fromStdString(ByteCountText(bytes)); }

// The address as libcurl and the desktop take it: UTF-8, with bytes a URL cannot carry
// percent-encoded.
std::string WebAddress(std::string_view gbk) {
  return EscapeUrlBytes(codepage::Transcode(gbk, codepage::kGbk, codepage::kUtf8), false);
}

constexpr int kBarSteps = 1000;

// "剩余 45 秒", "剩余 3 分 20 秒", "剩余 2 小时 5 分".
QString TimeLeftText(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  if (whole < 60) {
    return QStringLiteral("剩余 %1 秒").arg(whole);
  }
  if (whole < 3600) {
    return QStringLiteral("剩余 %1 分 %2 秒").arg(whole / 60).arg(whole % 60);
  }
  return QStringLiteral("剩余 %1 小时 %2 分").arg(whole / 3600).arg(whole % 3600 / 60);
}

}  // namespace

void QtClipboard::SetText(std::string_view text) { QApplication::clipboard()->setText(ToQString(text)); }

void QtShell::OpenAddress(std::string_view address) {
  QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(WebAddress(address))));
}

DownloadWindow::DownloadWindow(const std::string& address, const std::string& fileName,
                               const DownloadSettings& settings, Shell& shell)
    : QWidget(nullptr, Qt::Window), shell_(shell), folder_(settings.folder) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("DownloadWindow"));
  setWindowTitle(QStringLiteral("下载"));
  setMinimumWidth(420);
  name_ = new QLabel(ToQString(address), this);
  name_->setTextFormat(Qt::PlainText);
  bytes_ = new QLabel(this);
  speed_ = new QLabel(this);
  speed_->setObjectName(QStringLiteral("speed"));
  connections_ = new QLabel(this);
  connections_->setObjectName(QStringLiteral("connections"));
  timeLeft_ = new QLabel(this);
  timeLeft_->setObjectName(QStringLiteral("timeLeft"));
  connectionCount_ = new QSpinBox(this);
  connectionCount_->setObjectName(QStringLiteral("connectionCount"));
  connectionCount_->setRange(1, kMaxConnections);
  connectionCount_->setValue(std::clamp(settings.connections, 1, kMaxConnections));
  connectionCount_->setPrefix(QStringLiteral("最多 "));
  connectionCount_->setSuffix(QStringLiteral(" 个连接"));
  status_ = new QLabel(QStringLiteral("正在下载…"), this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setTextFormat(Qt::PlainText);
  status_->setWordWrap(true);  // a long reason is wrapped, never cut
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("bar"));
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
  numbers->addWidget(connections_);
  numbers->addWidget(timeLeft_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(connectionCount_);
  buttons->addStretch();
  buttons->addWidget(openFolder_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(name_);
  layout->addWidget(bar_);
  layout->addLayout(numbers);
  layout->addWidget(status_);
  layout->addLayout(buttons);

  connect(cancel_, &QPushButton::clicked, this, [this] {
    if (download_) {
      download_->Cancel();
    }
  });
  connect(connectionCount_, &QSpinBox::valueChanged, this, [this](int count) {
    if (download_) {
      download_->SetConnections(count);
    }
  });
  connect(openFolder_, &QPushButton::clicked, this, [this] {
    shell_.OpenAddress(FromQString(QUrl::fromLocalFile(QString::fromStdString(folder_.string())).toString()));
  });

  // The download's thread only posts to this window; the window runs the updates.
  QPointer<DownloadWindow> self(this);
  download_ = std::make_unique<FileDownload>(
      WebAddress(address), codepage::Transcode(fileName, codepage::kGbk, codepage::kUtf8), settings,
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
  ShowReceived(progress.received, progress.total);
  speed_->setText(SizeText(progress.bytesPerSecond) + QStringLiteral("/s"));
  connections_->setText(QStringLiteral("%1 个连接").arg(progress.connections));
  timeLeft_->setText(progress.secondsLeft ? TimeLeftText(*progress.secondsLeft) : QString());
}

void DownloadWindow::ShowReceived(std::uint64_t received, const std::optional<std::uint64_t>& total) {
  const auto bytes = static_cast<double>(received);
  if (total && *total > 0) {
    bar_->setRange(0, kBarSteps);
    bar_->setValue(static_cast<int>(std::min(1.0, bytes / static_cast<double>(*total)) * kBarSteps));
    bytes_->setText(SizeText(bytes) + QStringLiteral(" / ") + SizeText(static_cast<double>(*total)));
  } else {
    bytes_->setText(SizeText(bytes));
  }
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
      connections_->clear();
      timeLeft_->clear();
      connectionCount_->setEnabled(false);
      openFolder_->show();
      break;
    case DownloadOutcome::Failed:
      state_ = QStringLiteral("failed");
      ShowUnfinished(result, QStringLiteral("下载失败：") + ToQString(result.error));
      break;
    case DownloadOutcome::Cancelled:
      state_ = QStringLiteral("cancelled");
      ShowUnfinished(result, QStringLiteral("已取消"));
      break;
  }
}

void DownloadWindow::ShowUnfinished(const DownloadResult& result, const QString& reason) {
  status_->setText(reason);
  status_->setToolTip(reason);
  speed_->clear();
  connections_->clear();
  timeLeft_->clear();
  connectionCount_->setEnabled(false);
  // The bar shows what arrived and is never full: an unknown size leaves it empty.
  ShowReceived(result.facts.received, result.facts.total);
  if (!result.facts.total || *result.facts.total == 0) {
    bar_->setRange(0, kBarSteps);
    bar_->setValue(0);
  }
  bar_->setValue(std::min(bar_->value(), kBarSteps - 1));
}

void DownloadBrowserBox::Navigate(std::string_view address, std::string_view fileName) {
  address_ = std::string(address);
  if (!IsWebAddress(address)) {
    return;  // the empty address, or one that is no web address: nothing is fetched
  }
  auto* window = new DownloadWindow(address_, std::string(fileName), settings_, shell_);
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
