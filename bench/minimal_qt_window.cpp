// The yardstick for start-up: the smallest Qt Widgets program that shows a window,
// leaving as soon as it is shown. With --chinese-label it also shows one label in the
// tool's Chinese font, which shows what drawing any Chinese text costs by itself.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.resize(576, 280);
  if (argc > 1 && std::strcmp(argv[1], "--chinese-label") == 0) {
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    new QLabel(QStringLiteral("百度网盘地址："), &window);
  }
  window.show();
  QTimer::singleShot(0, &application, &QApplication::quit);
  return QApplication::exec();
}
