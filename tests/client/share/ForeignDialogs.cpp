// Another program's Qt windows for the chooser's tests: a main window with an
// owned dialog, and a dialog without a parent, which Qt makes transient for
// its hidden client leader. Prints "ready MAIN OWNED DIALOG" (X window ids)
// once all three are on the screen, then runs until it is killed or given
// a time limit in seconds as its argument.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>

namespace {

bool Exposed(const QWidget& widget) { return widget.windowHandle() != nullptr && widget.windowHandle()->isExposed(); }

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int limitSeconds = argc > 1 ? std::atoi(argv[1]) : 120;
  QWidget main;
  main.setWindowTitle(QStringLiteral("Foreign main"));
  main.setGeometry(600, 100, 300, 200);
  main.show();
  QDialog owned(&main);
  owned.setWindowTitle(QStringLiteral("Foreign owned"));
  owned.setGeometry(650, 150, 200, 100);
  QDialog parentless;
  parentless.setWindowTitle(QStringLiteral("Foreign dialog"));
  parentless.setGeometry(600, 400, 200, 100);
  // The owner is on the screen before its dialog, as a program shows them.
  QTimer poll;
  bool shown = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!shown && Exposed(main)) {
      owned.show();
      parentless.show();
      shown = true;
    }
    if (shown && Exposed(owned) && Exposed(parentless)) {
      poll.stop();
      std::printf("ready %llu %llu %llu\n", static_cast<unsigned long long>(main.winId()),
                  static_cast<unsigned long long>(owned.winId()),
                  static_cast<unsigned long long>(parentless.winId()));
      std::fflush(stdout);
    }
  });
  poll.start(10);
  QTimer::singleShot(limitSeconds * 1000, &app, &QCoreApplication::quit);
  return app.exec();
}
