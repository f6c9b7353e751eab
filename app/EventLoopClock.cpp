#include "app/EventLoopClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <thread>

namespace {

class TEventLoopClock final : public TClock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }

  void Sleep(std::chrono::milliseconds duration) override {
    const QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
      std::this_thread::sleep_for(duration);
      return;
    }
    // Every event is handled as it arrives. Once the program is quitting the loop returns at once:
    // the pause is cut short, so the search ends quickly and the program can close.
    QEventLoop loop;
    QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
  }
};

}  // namespace

TClock& EventLoopClock() {
  static TEventLoopClock clock;
  return clock;
}

TLinkEnv ProgramLinkEnv() {
  return TLinkEnv{OpenSerialLine, &EventLoopClock()};
}
