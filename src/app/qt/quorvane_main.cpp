#include "app/qt/application.h"

#include <QApplication>
#include <QTimer>

#include <cstring>

int main(int argc, char** argv) {
  // --exit-when-shown: leave once the window is up; start-up is measured with it.
  bool exitWhenShown = false;
  for (int i = 1; i < argc; ++i) {
    exitWhenShown = exitWhenShown || std::strcmp(argv[i], "--exit-when-shown") == 0;
  }
  return quorvane::ProgramStart(argc, argv, quorvane::BuiltInEndpoints(), [exitWhenShown](quorvane::Application&) {
    if (exitWhenShown) {
      QTimer::singleShot(0, &QApplication::quit);
    }
  });
}
