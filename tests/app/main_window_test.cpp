#include "app/qt/application.h"
#include "standins/resolver_standin.h"
#include "support/gui_helpers.h"

#include <QLabel>
#include <QLineEdit>
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
