#include "app/qt/application.h"
#include "standins/resolver_standin.h"
#include "support/gui_helpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace quorvane {
namespace {

using namespace quorvane::testing;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Endpoints endpoints = BuiltInEndpoints();
    endpoints.ResolverAddress = "http://127.0.0.1:9";  // nothing listens: no test here resolves
    application_ = std::make_unique<Application>(endpoints);
    application_->Window().ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&application_->Window()));
  }

  MainWindow& Window() { return application_->Window(); }

  std::unique_ptr<Application> application_;
};

TEST_F(MainWindowTest, EveryControlStartsAsTheTableSays) {
  EXPECT_EQ(Window().windowTitle(), "Quorvane");
  EXPECT_EQ(Window().size(), QSize(576, 280));
  EXPECT_EQ(Window().minimumSize(), Window().maximumSize());  // fixed border
  EXPECT_FALSE(Window().windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(Window().windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(Window().windowIcon().isNull());

  for (const ControlSpec& spec : MainWindowControls()) {
    const QString name = QString::fromUtf8(ControlName(spec.id).data(), static_cast<qsizetype>(ControlName(spec.id).size()));
    auto* widget = Window().findChild<QWidget*>(name);
    ASSERT_NE(widget, nullptr) << name.toStdString();
    EXPECT_EQ(widget->geometry(), QRect(spec.x, spec.y, spec.width, spec.height)) << name.toStdString();
    EXPECT_EQ(!widget->isHidden(), spec.visible) << name.toStdString();
    EXPECT_EQ(!widget->isEnabled(), spec.disabled) << name.toStdString();
    if (spec.id != Control::编辑框1 && spec.kind != ControlKind::Picture && spec.kind != ControlKind::Browser) {
      EXPECT_EQ(Shown(Window(), spec.id),
                QString::fromUtf8(spec.initialText.data(), static_cast<qsizetype>(spec.initialText.size())))
          << name.toStdString();
    }
  }
  EXPECT_EQ(Shown(Window(), Control::编辑框1), QString::fromStdString(BuiltInEndpoints().SampleShareLink));
  EXPECT_EQ(Window().findChild<QLabel*>("标签8")->font().pixelSize(), 48);

  // Both strips are decoded and fitted into their boxes.
  for (const char* picture : {"图片框1", "图片框2"}) {
    const QPixmap strip = Window().findChild<QLabel*>(picture)->pixmap();
    ASSERT_FALSE(strip.isNull()) << picture;
    EXPECT_EQ(strip.width(), 576) << picture;
    EXPECT_LE(strip.height(), 32) << picture;
  }
}

// The window against the layout written out here, not against the table it was built
// from: a slip in that table shows up as a difference.
TEST_F(MainWindowTest, ControlsSitWhereTheLayoutPutsThem) {
  struct Expected {
    const char* name;
    const char* className;
    QRect place;
    const char* text;  // nullptr: not compared
    bool visible;
    bool enabled;
  };
  const Expected layout[] = {
      {"标签1", "QLabel", {8, 8, 88, 24}, "百度网盘地址：", true, true},
      {"编辑框1", "QLineEdit", {96, 8, 384, 24}, nullptr, true, true},
      {"按钮1", "QPushButton", {496, 8, 80, 24}, "获取真实地址", true, true},
      {"按钮2", "QPushButton", {144, 32, 80, 24}, "复制地址", true, false},
      {"按钮6", "QPushButton", {240, 32, 80, 24}, "启动迅雷下载", true, false},
      {"按钮7", "QPushButton", {336, 32, 80, 24}, "HTTP下载", true, false},
      {"标签11", "QLabel", {496, 32, 80, 24}, "", true, true},
      {"编辑框2", "QPlainTextEdit", {0, 56, 576, 104}, "", true, false},
      {"标签2", "QLabel", {0, 160, 48, 24}, "文件名：", true, true},
      {"标签3", "QLabel", {48, 160, 232, 24}, "", true, true},
      {"标签4", "QLabel", {368, 160, 64, 24}, "文件大小：", true, true},
      {"标签6", "QLabel", {440, 160, 144, 24}, "", true, true},
      {"标签7", "QLabel", {0, 192, 56, 24}, "当前版本：", true, true},
      {"当前版本号", "QLabel", {56, 192, 80, 24}, "v15.10.13", true, true},
      {"标签12", "QLabel", {136, 192, 192, 24}, "支持以下网盘获取", true, true},
      {"按钮5", "QPushButton", {136, 192, 200, 24}, "有新版本，点击我去下载！！", false, true},
      {"标签9", "QLabel", {336, 192, 240, 24}, "", true, true},
      {"图片框1", "QLabel", {0, 216, 576, 32}, nullptr, true, true},
      {"图片框2", "QLabel", {0, 248, 576, 32}, nullptr, true, true},
      {"标签8", "QLabel", {0, 0, 8, 24}, "请下载新版本使用！！！", false, true},
      {"标签10", "QLabel", {592, 32, 80, 24}, "", true, true},
      {"编辑框3", "QLineEdit", {488, 328, 80, 20}, "0", true, true},
      {"标签5", "QLabel", {304, 368, 56, 24}, "", true, true},
      {"编辑框4", "QPlainTextEdit", {600, 248, 416, 96}, "", true, true},
      {"按钮4", "QPushButton", {472, 360, 80, 40}, "播放音乐", true, true},
      {"超文本浏览框1", "QWidget", {944, 144, 32, 32}, nullptr, true, true},
  };
  QStringList names;
  for (const Expected& control : layout) {
    auto* widget = Window().findChild<QWidget*>(control.name);
    ASSERT_NE(widget, nullptr) << control.name;
    names << control.name;
    EXPECT_STREQ(widget->metaObject()->className(), control.className) << control.name;
    EXPECT_EQ(widget->geometry(), control.place) << control.name;
    EXPECT_EQ(!widget->isHidden(), control.visible) << control.name;
    EXPECT_EQ(widget->isEnabled(), control.enabled) << control.name;
    if (control.text != nullptr) {
      QString shown;
      if (auto* label = qobject_cast<QLabel*>(widget)) {
        shown = label->text();
      } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        shown = line->text();
      } else if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
        shown = box->toPlainText();
      } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        shown = button->text();
      }
      EXPECT_EQ(shown, QString::fromUtf8(control.text)) << control.name;
    }
  }
  // Nothing more: every named child of the window is one of these.
  for (const QWidget* child : Window().findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!child->objectName().isEmpty() && !child->objectName().startsWith("qt_")) {
      EXPECT_TRUE(names.contains(child->objectName())) << child->objectName().toStdString();
    }
  }
  EXPECT_EQ(Window().findChild<QLineEdit*>("编辑框1")->text(), "http://pan.baidu.com/s/1o6Qnmx8");
}

TEST_F(MainWindowTest, StartUpTimerIsArmedAndTicksOnce) {
  EXPECT_EQ(Window().TimerPeriod(Timer::时钟1), 1200);
  EXPECT_TRUE(Window().TimerObject(Timer::时钟1)->isActive());
  EXPECT_EQ(Window().TimerObject(Timer::时钟1)->interval(), 1200);
  for (const Timer timer : {Timer::时钟2, Timer::时钟3}) {
    EXPECT_EQ(Window().TimerPeriod(timer), 0);
    EXPECT_FALSE(Window().TimerObject(timer)->isActive());
  }
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(WaitUntil([this] { return !Window().TimerObject(Timer::时钟1)->isActive(); }));
  EXPECT_GE(clock.elapsed(), 1000);
  EXPECT_EQ(Window().TimerPeriod(Timer::时钟1), 0);
}

TEST_F(MainWindowTest, SettingTheSamePeriodDoesNotRestartTheTimer) {
  int ticks = 0;
  Window().onTick = [&ticks](Timer timer) { ticks += timer == Timer::时钟3 ? 1 : 0; };
  Window().SetTimerPeriod(Timer::时钟3, 300);
  QTest::qWait(200);
  Window().SetTimerPeriod(Timer::时钟3, 300);  // would push the tick to 500 ms if it restarted
  QTest::qWait(170);
  EXPECT_EQ(ticks, 1);
  Window().SetTimerPeriod(Timer::时钟3, 0);
  EXPECT_FALSE(Window().TimerObject(Timer::时钟3)->isActive());
}

TEST_F(MainWindowTest, EscapeClosesTheWindow) {
  QTest::keyClick(&Window(), Qt::Key_Escape);
  EXPECT_FALSE(Window().isVisible());
}

TEST_F(MainWindowTest, TabReachesTheControlsOutsideTheWindow) {
  Window().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
  Window().findChild<QLineEdit*>("编辑框1")->setFocus();
  QStringList reached;
  for (int i = 0; i < 12; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    if (QApplication::focusWidget() != nullptr) {
      reached << QApplication::focusWidget()->objectName();
    }
  }
  EXPECT_TRUE(reached.contains("编辑框3")) << reached.join(",").toStdString();
  EXPECT_TRUE(reached.contains("编辑框4")) << reached.join(",").toStdString();
  EXPECT_TRUE(reached.contains("按钮4")) << reached.join(",").toStdString();
  EXPECT_FALSE(reached.contains("按钮2"));  // disabled controls are skipped
}

TEST_F(MainWindowTest, FormCallsFromAnotherThreadRunOnTheWindowThread) {
  std::string readBack;
  std::atomic<bool> finished{false};
  std::thread background([this, &readBack, &finished] {
    Window().SetCaption(Control::标签9, "from a thread");
    Window().SetVisible(Control::按钮5, true);
    readBack = Window().Caption(Control::标签9);
    finished = true;
  });
  // The window's thread must keep running events for the calls to be carried out.
  ASSERT_TRUE(WaitUntil([&finished] { return finished.load(); }));
  background.join();
  EXPECT_EQ(readBack, "from a thread");
  EXPECT_FALSE(Window().findChild<QPushButton*>("按钮5")->isHidden());
}

TEST_F(MainWindowTest, LabelsShowMarkupAsText) {
  Window().SetCaption(Control::标签3, "<b>name</b>.zip");
  EXPECT_EQ(Window().findChild<QLabel*>("标签3")->textFormat(), Qt::PlainText);
  EXPECT_EQ(Shown(Window(), Control::标签3), "<b>name</b>.zip");
}

}  // namespace
}  // namespace quorvane
