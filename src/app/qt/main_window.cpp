#include "app/qt/main_window.h"

#include "app/embedded_assets.h"
#include "app/jpeg_image.h"
#include "handoff/qt/gbk_qstring.h"
#include "web/encodings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <type_traits>

namespace quorvane {
namespace {

constexpr int kEnterKeyCode = 13;
constexpr int kEscapeKeyCode = 27;

QPixmap PixmapFromJpeg(std::string_view assetName) {
  const RgbImage image = DecodeJpeg(EmbeddedAsset(assetName));
  if (image.Empty()) {
    return {};
  }
  const QImage view(image.pixels.data(), image.width, image.height, image.width * 3, QImage::Format_RGB888);
  return QPixmap::fromImage(view.copy());
}

// Windows key codes for the keys the program can tell apart; 0 for the rest.
int KeyCode(const QKeyEvent& event) {
  const int key = event.key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    return kEnterKeyCode;
  }
  if (key == Qt::Key_Escape) {
    return kEscapeKeyCode;
  }
  if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z) || key == Qt::Key_Space) {
    return key;
  }
  return 0;
}

// The calling thread waits for the call on the window's thread with a lock of its
// own, so the hand-over is visible to tools that check threads; the wait also ends if
// the window goes before it could run the call (the queued call is then dropped).
struct CallHandover {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
};

struct CallFinisher {
  std::shared_ptr<CallHandover> handover;
  ~CallFinisher() {
    std::lock_guard lock(handover->mutex);
    handover->done = true;
    handover->finished.notify_all();
  }
};

}  // namespace

template <typename Work>
auto MainWindow::OnWindowThread(Work work) {
  if (QThread::currentThread() == thread()) {
    return work();
  }
  using Result = std::invoke_result_t<Work>;
  auto handover = std::make_shared<CallHandover>();
  auto finisher = std::make_shared<CallFinisher>();
  finisher->handover = handover;
  auto wait = [&handover] {
    std::unique_lock lock(handover->mutex);
    handover->finished.wait(lock, [&handover] { return handover->done; });
  };
  if constexpr (std::is_void_v<Result>) {
    QMetaObject::invokeMethod(this, [finisher = std::move(finisher), &work] { work(); }, Qt::QueuedConnection);
    wait();
  } else {
    Result result{};
    QMetaObject::invokeMethod(this, [finisher = std::move(finisher), &work, &result] { result = work(); },
                              Qt::QueuedConnection);
    wait();
    return result;
  }
}

MainWindow::MainWindow(std::string_view sampleLink)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("Quorvane"));
  setWindowTitle(QStringLiteral("Quorvane"));
  setFixedSize(kClientWidth, kClientHeight);
  setWindowIcon(QIcon(PixmapFromJpeg("icon.jpg")));

  for (const ControlSpec& spec : MainWindowControls()) {
    const auto index = static_cast<std::size_t>(spec.id);
    kinds_[index] = spec.kind;
    widgets_[index] = CreateControl(spec);
  }
  SetText(Control::编辑框1, sampleLink);
  Widget(Control::编辑框1)->installEventFilter(this);

  for (std::size_t index = 0; index < timers_.size(); ++index) {
    auto* timer = new QTimer(this);
    const auto id = static_cast<Timer>(index);
    timer->setObjectName(QString::fromUtf8(TimerName(id).data(), static_cast<qsizetype>(TimerName(id).size())));
    connect(timer, &QTimer::timeout, this, [this, id] {
      if (onTick) {
        onTick(id);
      }
    });
    timers_[index] = timer;
  }
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::CreateControl(const ControlSpec& spec) {
  const QString text = QString::fromUtf8(spec.initialText.data(), static_cast<qsizetype>(spec.initialText.size()));
  QWidget* widget = nullptr;
  switch (spec.kind) {
    case ControlKind::Label: {
      auto* label = new QLabel(text, this);
      label->setTextFormat(Qt::PlainText);  // file names from a server are never markup
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      widget = label;
      break;
    }
    case ControlKind::LineEdit:
      widget = new QLineEdit(text, this);
      break;
    case ControlKind::TextBox:
    case ControlKind::ScrollingTextBox: {
      auto* box = new QPlainTextEdit(text, this);
      box->setTabChangesFocus(true);
      if (spec.kind == ControlKind::ScrollingTextBox) {
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setLineWrapMode(QPlainTextEdit::NoWrap);
      }
      widget = box;
      break;
    }
    case ControlKind::Button: {
      auto* button = new QPushButton(text, this);
      button->setAutoDefault(false);
      const Control id = spec.id;
      connect(button, &QPushButton::clicked, this, [this, id] {
        if (onClick) {
          onClick(id);
        }
      });
      widget = button;
      break;
    }
    case ControlKind::Picture: {
      auto* picture = new QLabel(this);
      const std::string_view asset = spec.id == Control::图片框1 ? "services-row1.jpg" : "services-row2.jpg";
      const QPixmap strip = PixmapFromJpeg(asset);
      if (!strip.isNull()) {
        picture->setPixmap(
            strip.scaled(spec.width, spec.height, Qt::KeepAspectRatio, Qt::SmoothTransformation));
      }
      picture->setAlignment(Qt::AlignCenter);
      widget = picture;
      break;
    }
    case ControlKind::Browser:
      widget = new QWidget(this);
      widget->setFocusPolicy(Qt::TabFocus);
      break;
  }
  const auto name = ControlName(spec.id);
  widget->setObjectName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  widget->setGeometry(spec.x, spec.y, spec.width, spec.height);
  widget->setEnabled(!spec.disabled);
  widget->setVisible(spec.visible);
  if (spec.id == Control::标签8) {
    QFont big = widget->font();
    big.setPixelSize(48);
    widget->setFont(big);
    // Once enlarged it covers the controls beneath it, so it paints its background.
    widget->setAutoFillBackground(true);
  }
  return widget;
}

void MainWindow::ShowCentred() {
  show();
  if (const QScreen* screen = this->screen()) {
    move(screen->availableGeometry().center() - frameGeometry().center() + pos());
  }
}

std::string MainWindow::Caption(Control control) {
  return OnWindowThread([this, control]() -> std::string {
    QWidget* widget = Widget(control);
    switch (kinds_[static_cast<std::size_t>(control)]) {
      case ControlKind::Label:
        return FromQString(static_cast<QLabel*>(widget)->text());
      case ControlKind::LineEdit:
        return FromQString(static_cast<QLineEdit*>(widget)->text());
      case ControlKind::TextBox:
      case ControlKind::ScrollingTextBox:
        return FromQString(static_cast<QPlainTextEdit*>(widget)->toPlainText());
      case ControlKind::Button:
        return FromQString(static_cast<QPushButton*>(widget)->text());
      case ControlKind::Picture:
      case ControlKind::Browser:
        break;
    }
    return {};
  });
}

void MainWindow::SetCaption(Control control, std::string_view text) {
  const QString value = ToQString(text);
  OnWindowThread([this, control, &value] {
    QWidget* widget = Widget(control);
    switch (kinds_[static_cast<std::size_t>(control)]) {
      case ControlKind::Label:
        static_cast<QLabel*>(widget)->setText(value);
        break;
      case ControlKind::LineEdit:
        static_cast<QLineEdit*>(widget)->setText(value);
        break;
      case ControlKind::TextBox:
      case ControlKind::ScrollingTextBox:
        static_cast<QPlainTextEdit*>(widget)->setPlainText(value);
        break;
      case ControlKind::Button:
        static_cast<QPushButton*>(widget)->setText(value);
        break;
      case ControlKind::Picture:
      case ControlKind::Browser:
        break;
    }
  });
}

bool MainWindow::Disabled(Control control) {
  return OnWindowThread([this, control] { return !Widget(control)->isEnabled(); });
}

void MainWindow::SetDisabled(Control control, bool disabled) {
  OnWindowThread([this, control, disabled] {
    QWidget* widget = Widget(control);
    if (disabled && focusWidget() == widget) {
      // Qt would hand the focus to the next control in Tab order, which may be one the
      // user cannot see; the window holds it until the control is enabled again.
      setFocus(Qt::OtherFocusReason);
      parkedFocus_ = widget;
    }
    widget->setEnabled(!disabled);
    if (!disabled && parkedFocus_ == widget) {
      if (focusWidget() == this || focusWidget() == nullptr) {
        widget->setFocus(Qt::OtherFocusReason);
      }
      parkedFocus_ = nullptr;
    }
  });
}

bool MainWindow::Visible(Control control) {
  return OnWindowThread([this, control] { return !Widget(control)->isHidden(); });
}

void MainWindow::SetVisible(Control control, bool visible) {
  OnWindowThread([this, control, visible] {
    Widget(control)->setVisible(visible);
    if (visible) {
      Widget(control)->raise();  // a control shown later is drawn above those it covers
    }
  });
}

void MainWindow::SetWidth(Control control, int width) {
  OnWindowThread([this, control, width] { Widget(control)->resize(width, Widget(control)->height()); });
}

void MainWindow::SetHeight(Control control, int height) {
  OnWindowThread([this, control, height] { Widget(control)->resize(Widget(control)->width(), height); });
}

int MainWindow::TimerPeriod(Timer timer) {
  return OnWindowThread([this, timer] { return periods_[static_cast<std::size_t>(timer)]; });
}

void MainWindow::SetTimerPeriod(Timer timer, int milliseconds) {
  OnWindowThread([this, timer, milliseconds] {
    const auto index = static_cast<std::size_t>(timer);
    if (periods_[index] == milliseconds) {
      return;  // the period it already has: the running interval is left alone
    }
    periods_[index] = milliseconds;
    if (milliseconds <= 0) {
      timers_[index]->stop();
    } else {
      timers_[index]->start(milliseconds);
    }
  });
}

MessageAnswer MainWindow::ShowMessage(std::string_view text, std::string_view caption, MessageButtons buttons,
                                      MessageIcon icon) {
  QString body = ToQString(text);
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const QString title = ToQString(caption);
  return OnWindowThread([&body, &title, buttons, icon] {
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    switch (icon) {
      case MessageIcon::None:
        boxIcon = QMessageBox::NoIcon;
        break;
      case MessageIcon::Information:
        boxIcon = QMessageBox::Information;
        break;
      case MessageIcon::Question:
        boxIcon = QMessageBox::Question;
        break;
      case MessageIcon::Warning:
        boxIcon = QMessageBox::Warning;
        break;
      case MessageIcon::Error:
        boxIcon = QMessageBox::Critical;
        break;
    }
    const auto standardButtons =
        buttons == MessageButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(boxIcon, title, body, standardButtons);
    box.setObjectName(QStringLiteral("MessageBox"));
    // The program speaks Chinese, its message boxes' buttons included.
    if (QAbstractButton* yes = box.button(QMessageBox::Yes)) {
      yes->setText(QStringLiteral("是(&Y)"));
    }
    if (QAbstractButton* no = box.button(QMessageBox::No)) {
      no->setText(QStringLiteral("否(&N)"));
    }
    if (QAbstractButton* ok = box.button(QMessageBox::Ok)) {
      ok->setText(QStringLiteral("确定"));
    }
    box.setWindowModality(Qt::ApplicationModal);
    const int chosen = box.exec();
    if (chosen == QMessageBox::Yes) {
      return MessageAnswer::Yes;
    }
    return chosen == QMessageBox::No ? MessageAnswer::No : MessageAnswer::Ok;
  });
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Widget(Control::编辑框1) && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const int code = KeyCode(*key);
    if (onKeyDown) {
      onKeyDown(Control::编辑框1, code);
    }
    if (code == kEnterKeyCode) {
      return true;  // Enter resolves; it does not move the focus
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace quorvane
