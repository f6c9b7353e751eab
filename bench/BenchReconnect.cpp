// Prints, through the whole program against kvz03-sim behind a link, the time from the detector's
// port failing to the red lamp, from the port coming back to the green lamp, and the processor
// time the program takes while it waits for the detector:
//   bench_reconnect [rounds=5] [wait-seconds=30]
#include <signal.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/FormsUn.h"
#include "app/KVZApplication.h"
#include "app/Lamp.h"
#include "app/QtGuiLink.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WorkDirScope.h"
#include "ui/MsgBox.h"

namespace {

const QColor kGreen(0, 255, 0), kRed(255, 0, 0);

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop until done holds, looking every millisecond; the milliseconds it took, or -1
// after ten seconds.
double MsUntil(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (done() || clock.elapsed() > 10000) loop.quit();
  });
  look.start(1);
  loop.exec();
  return done() ? static_cast<double>(clock.nsecsElapsed()) / 1e6 : -1;
}

void Report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%s over %zu rounds: median %.0f ms, worst %.0f ms\n", what, ms.size(),
              ms[ms.size() / 2], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int waitSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
  TKVZApplication app(argc, argv);
  app.LoadTranslationsAndFonts();
  TQtGuiLink guiLink;
  InstallGuiLink(&guiLink);
  int boxes = 0;
  MsgBox::SetHook([&boxes](const MsgBox::TBox&) {
    ++boxes;
    return MsgBox::TAnswer::Ok;
  });
  TempDir dir;
  const WorkDirScope workDir(dir.Path());
  // A system that lists no ports: only the stored link is ever opened.
  TempDir sysfs;
  std::filesystem::create_directories(sysfs.File("class/tty"));
  const std::vector<std::string> args{"--link", dir.File("kvz03")};
  dir.Write("kvzport.ini", "COMName=" + args[1] + "\r\n");
  auto sim = std::make_unique<SimProcess>(args);

  TKVZForms forms(
      {.env = TLinkEnv(), .setWorkDirs = [] { return true; }, .portSource = sysfs.Path()});
  forms.MainForm.show();
  const auto lamp = [&forms](const QColor& color) {
    return [&forms, color] { return forms.MainForm.ReadyShape->Color() == color; };
  };
  if (MsUntil(lamp(kGreen)) < 0) {
    std::fprintf(stderr, "no connection at start\n");
    return 1;
  }
  std::vector<double> toRed;
  std::vector<double> toGreen;
  for (int round = 0; round < rounds; ++round) {
    sim->KillAndWait(SIGTERM);
    toRed.push_back(MsUntil(lamp(kRed)));
    if (round == 0) {
      const double cpu = CpuSeconds();
      QElapsedTimer clock;
      clock.start();
      QEventLoop loop;
      QTimer::singleShot(waitSeconds * 1000, &loop, &QEventLoop::quit);
      loop.exec();
      std::printf("waiting for the detector: %.3f %% of one core over %d s\n",
                  100 * (CpuSeconds() - cpu) / (static_cast<double>(clock.elapsed()) / 1000),
                  waitSeconds);
    }
    // The watch looks once a second: come back at a different moment of its second each round.
    QEventLoop pause;
    QTimer::singleShot((round * 397) % 1000, &pause, &QEventLoop::quit);
    pause.exec();
    sim = std::make_unique<SimProcess>(args);
    toGreen.push_back(MsUntil(lamp(kGreen)));
    if (toRed.back() < 0 || toGreen.back() < 0) {
      std::fprintf(stderr, "round %d: the lamp did not follow\n", round);
      return 1;
    }
  }
  Report("port failing to red lamp (sim ended to lamp)", toRed);
  Report("port back to green lamp (link made to lamp)", toGreen);
  std::printf("message boxes: %d\n", boxes);
  return 0;
}
