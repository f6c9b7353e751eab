// Prints the listening loop's processor load while random bytes pour in on a pseudo-terminal at
// the line's rate, and how soon after the flood the next frame reaches its handler:
//   bench_flood [seconds=30] [bytes-per-second=92160]
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "device/KVZDeviceUn.h"
#include "tests/support/FakeGui.h"
#include "tests/support/Pty.h"
#include "tests/support/TempDir.h"
#include "tests/support/WorkDirScope.h"

namespace {

using Clock = std::chrono::steady_clock;

// Processor seconds of every thread but the calling one; here that is the listening loop alone.
double OtherThreadsCpuSeconds() {
  long ticks = 0;
  const std::string self = std::to_string(gettid());
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (task.path().filename() == self) continue;
    std::ifstream stat(task.path() / "stat");
    std::string line;
    std::getline(stat, line);
    // The fields after the thread's name, which is in parentheses and may hold blanks, begin
    // with the third; user and system time are the 14th and 15th.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string skipped;
    for (int field = 3; field < 14; ++field) fields >> skipped;
    long user = 0;
    long system = 0;
    fields >> user >> system;
    ticks += user + system;
  }
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  // 921600 bit/s at ten bits a byte.
  const int rate = argc > 2 ? std::atoi(argv[2]) : 92160;
  FakeGui gui;
  TempDir dir;
  const WorkDirScope workDir(dir.Path());
  Pty pty;
  TKVZDevice device;
  std::atomic<Clock::rep> handled{0};
  device.OnMode = [&](TKVZDevice&) { handled = Clock::now().time_since_epoch().count(); };
  device.PortParams.PortName = pty.SlavePath();
  if (!OpenComPort(device.PortParams, device.PortHandle, nullptr)) {
    std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
    return 1;
  }
  device.Resume();
  device.StartListening();

  constexpr auto kTick = std::chrono::milliseconds(10);
  std::string noise(static_cast<std::size_t>(rate / 100), '\0');
  std::minstd_rand random(1);
  const double cpu = OtherThreadsCpuSeconds();
  const auto start = Clock::now();
  for (auto next = start; next < start + std::chrono::seconds(seconds); next += kTick) {
    for (char& byte : noise) byte = static_cast<char>(random());
    pty.Send(noise);
    std::this_thread::sleep_until(next + kTick);
  }
  const auto end = Clock::now();
  const double load = 100 * (OtherThreadsCpuSeconds() - cpu) / Seconds(end - start);
  std::printf("listening through %d s of random bytes at %d bytes/s: %.2f %% of one core\n",
              seconds, rate, load);

  handled = 0;
  pty.Send("[$%]My{#&}");
  if (!gui.PumpUntil([&] { return handled.load() != 0; }, std::chrono::seconds(5))) {
    std::printf("the next frame was not delivered within 5 s\n");
    return 1;
  }
  std::printf("the next frame reached its handler %.1f ms after the flood\n",
              1000 * Seconds(Clock::time_point(Clock::duration(handled.load())) - end));
  return 0;
}
