// Prints the device link's figures measured against pseudo-terminals, and the open retry on a
// port that is not there, on the real clock:
//   bench_link [frames=1000] [silent-ports=5] [idle-seconds=10]
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "device/KVZDeviceUn.h"
#include "tests/support/FakeGui.h"
#include "tests/support/Pty.h"
#include "tests/support/TempDir.h"
#include "tests/support/WorkDirScope.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

void OpenOn(TKVZDevice& device, const Pty& pty) {
  device.PortParams.PortName = pty.SlavePath();
  if (!OpenComPort(device.PortParams, device.PortHandle, nullptr)) std::exit(1);
}

void SilentRequest() {
  Pty pty;
  TKVZDevice device;
  OpenOn(device, pty);
  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  device.ReadVersion();
  std::printf("request to a silent port: wall %.1f ms, cpu %.1f ms\n", Ms(Clock::now() - start),
              (CpuSeconds() - cpu) * 1000);
}

void MissingPortRetry() {
  TKVZDevice device;
  device.PortParams.PortName = "/dev/kvz-bench-no-such-port";
  const auto start = Clock::now();
  const bool opened = OpenComPort(device.PortParams, device.PortHandle, nullptr);
  std::printf("open of a missing port: %s after %.0f ms of retries\n", opened ? "opened" : "failed",
              Ms(Clock::now() - start));
}

void SilentSearch(int ports) {
  std::vector<std::unique_ptr<Pty>> ptys;
  TStringList names;
  for (int i = 0; i < ports; ++i) {
    ptys.push_back(std::make_unique<Pty>());
    names.push_back(ptys.back()->SlavePath());
  }
  TKVZDevice device;
  device.PortParams.PortName = names.front();
  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  device.Connect(TStringList(names.begin() + 1, names.end()), nullptr, nullptr);
  std::printf("search over %d silent ports: wall %.0f ms, cpu %.1f ms\n", ports,
              Ms(Clock::now() - start), (CpuSeconds() - cpu) * 1000);
}

void Listening(FakeGui& gui, int frames, int idleSeconds) {
  Pty pty;
  TKVZDevice device;
  std::atomic<Clock::time_point::rep> handled{0};
  device.OnMode = [&](TKVZDevice&) { handled = Clock::now().time_since_epoch().count(); };
  OpenOn(device, pty);
  device.Resume();
  device.StartListening();

  std::vector<double> latency;
  for (int i = 0; i < frames; ++i) {
    handled = 0;
    // The frame leaves in one write; the clock starts just before it, so the figure includes
    // the write itself.
    const auto sent = Clock::now();
    pty.Send(i % 2 == 0 ? "[$%]Me{#&}" : "[$%]My{#&}");
    gui.PumpUntil([&] { return handled.load() != 0; });
    latency.push_back(Ms(Clock::time_point(Clock::duration(handled.load())) - sent));
  }
  std::sort(latency.begin(), latency.end());
  std::printf("frame latency over %d frames: median %.3f ms, 99th percentile %.3f ms\n", frames,
              latency[latency.size() / 2], latency[latency.size() * 99 / 100]);

  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  std::printf("listening to a silent detector: %.2f %% of one core over %d s\n",
              100 * (CpuSeconds() - cpu) / (Ms(Clock::now() - start) / 1000), idleSeconds);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int ports = argc > 2 ? std::atoi(argv[2]) : 5;
  const int idle = argc > 3 ? std::atoi(argv[3]) : 10;
  FakeGui gui;
  TempDir dir;
  const WorkDirScope workDir(dir.Path());
  MissingPortRetry();
  SilentRequest();
  SilentSearch(ports);
  Listening(gui, frames, idle);
  return 0;
}
