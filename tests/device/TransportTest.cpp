#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <numeric>

#include "device/DeviceObjectUn.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeGui.h"
#include "tests/support/Pty.h"
#include "tests/support/Rows.h"
#include "tests/support/ScriptedLine.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

// The byte-level object on its own; the listening loop is not under test here.
class LineDevice : public TDeviceObject {
 public:
  using TDeviceObject::Env;
  using TDeviceObject::TDeviceObject;
  std::string Received() const {
    std::lock_guard lock(RxMutex);
    return std::string(reinterpret_cast<const char*>(RxBuffer.data()), RxCount);
  }

 protected:
  void Execute() override {}
};

const TMyComPortParams kLine{"", 921600, 8, 0, 0};

class TransportTest : public testing::Test {
 protected:
  // Opens the pty's slave end through the real serial layer.
  void OpenPty(LineDevice& device, TMyComPortParams params = kLine) {
    params.PortName = pty.SlavePath();
    ASSERT_TRUE(OpenComPort(params, device.PortHandle, nullptr));
  }

  FakeGui gui;
  Pty pty;
};

TEST_F(TransportTest, UnopenablePortCostsFiveAttemptsASecondApart) {
  FakeClock clock;
  int attempts = 0;
  TLinkEnv env{[&](const std::string&, TOpenError*) {
                 ++attempts;
                 return TPortHandle();
               },
               &clock};
  FakeProgress progress;
  LineDevice device(env);
  EXPECT_FALSE(OpenComPort({"COM9", 921600, 8, 0, 0}, device.PortHandle, &progress, env));
  EXPECT_EQ(attempts, 5);
  EXPECT_EQ(std::accumulate(clock.sleeps.begin(), clock.sleeps.end(), 0ms), 5000ms);
  EXPECT_EQ(progress.maximum, 5);
  EXPECT_EQ(progress.positions, (std::vector<int>{0, 1, 2, 3, 4, 5, 5}));
  EXPECT_FALSE(device.PortHandle);
}

// The retry pauses above are the clock's; unless told otherwise that is the steady clock, which
// really sleeps (bench_link times a real retry).
TEST_F(TransportTest, DefaultLinkEnvironmentRunsOnTheSteadyClock) {
  EXPECT_EQ(TLinkEnv().Clock, &SteadyClock());
  EXPECT_EQ(LineDevice().Env.Clock, &SteadyClock());
  const auto before = std::chrono::steady_clock::now();
  SteadyClock().Sleep(20ms);
  const auto now = SteadyClock().Now();
  EXPECT_GE(now - before, 20ms);
  EXPECT_LE(now, std::chrono::steady_clock::now());
}

TEST_F(TransportTest, OpenStopsAtTheFirstSuccessAndClosesAnOpenHandleFirst) {
  FakeClock clock;
  LineScript script;
  int attempts = 0;
  TLinkEnv env{[&](const std::string&, TOpenError*) -> TPortHandle {
                 if (++attempts < 3) return nullptr;
                 return std::make_unique<ScriptedLine>(script);
               },
               &clock};
  LineDevice device(env);
  ASSERT_TRUE(OpenComPort(kLine, device.PortHandle, nullptr, env));
  EXPECT_EQ(attempts, 3);
  EXPECT_EQ(std::accumulate(clock.sleeps.begin(), clock.sleeps.end(), 0ms), 2000ms);

  // A handle that refuses to close stops the reopen before any attempt, and is gone afterwards.
  script.closeFails = true;
  EXPECT_FALSE(OpenComPort(kLine, device.PortHandle, nullptr, env));
  EXPECT_EQ(attempts, 3);
  EXPECT_FALSE(device.PortHandle);

  // A line that cannot be configured stays open for the caller to close.
  script.closeFails = false;
  script.configureFails = true;
  EXPECT_FALSE(OpenComPort(kLine, device.PortHandle, nullptr, env));
  EXPECT_TRUE(device.PortHandle);
  EXPECT_TRUE(device.ClosePort());
  EXPECT_TRUE(device.ClosePort());
}

// Opens path as an unprivileged user would: as root, in a child that has given up root.
TOpenError OpenAsUser(const std::string& path) {
  const auto open = [&path] {
    TOpenError error = TOpenError::None;
    OpenSerialLine(path, &error);
    return error;
  };
  if (geteuid() != 0) return open();
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
    _exit(static_cast<int>(open()));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return static_cast<TOpenError>(WEXITSTATUS(status));
}

TEST_F(TransportTest, OpenSaysWhyAPortDidNotOpen) {
  const struct {
    std::string name;
    TOpenError error;
  } cases[] = {{"", TOpenError::NotFound},
               {"/dev/kvz-test-no-such-port", TOpenError::NotFound},
               {"/dev/null", TOpenError::Other},
               {pty.SlavePath(), TOpenError::None}};
  for (const auto& c : cases) {
    TOpenError error = TOpenError::Busy;
    const TPortHandle line = OpenSerialLine(c.name, &error);
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(line != nullptr, c.error == TOpenError::None) << c.name;
  }
  // A port is held exclusively until it is closed.
  LineDevice holder;
  OpenPty(holder);
  TOpenError error = TOpenError::None;
  EXPECT_FALSE(OpenSerialLine(pty.SlavePath(), &error));
  EXPECT_EQ(error, TOpenError::Busy);
  EXPECT_TRUE(holder.ClosePort());
  EXPECT_TRUE(OpenSerialLine(pty.SlavePath()));
  // A port this user may not use is told apart from one that is missing or busy.
  ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0600), 0);
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0), 0);
  }
  EXPECT_EQ(OpenAsUser(pty.SlavePath()), TOpenError::AccessDenied);
}

TEST_F(TransportTest, WhatIsNoTerminalIsRefusedUnopened) {
  TempDir dir;
  dir.Write("passwd", "root:x:0:0::/root:/bin/sh\n");
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  // As root, a second node of the null device: a device that is no terminal.
  mknod(dir.File("null").c_str(), S_IFCHR | 0600, makedev(1, 3));
  std::filesystem::create_directory(dir.File("pts"));
  std::filesystem::create_symlink(pty.SlavePath(), dir.File("pts/kvz"));
  const std::filesystem::path folder = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  // Every open of a watched file shows as an event, whoever opens it. A relative name is looked
  // up under /dev, not in the current folder.
  const int opens = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  for (const std::string& name :
       {dir.File("passwd"), dir.File("fifo"), std::string("pts/kvz"), dir.File("null")}) {
    if (inotify_add_watch(opens, name.c_str(), IN_OPEN) < 0) continue;  // no node but as root
    EXPECT_FALSE(OpenSerialLine(name)) << name;
    char event[4096];
    EXPECT_LT(read(opens, event, sizeof event), 0) << name << " was opened";
  }
  close(opens);
  std::filesystem::current_path(folder);
  // Pseudo-terminals by their name under /dev and through a symlink elsewhere.
  EXPECT_TRUE(OpenSerialLine(pty.SlavePath().substr(5)));
  EXPECT_TRUE(OpenSerialLine(dir.File("pts/kvz")));
}

struct LineCase {
  const char* name;
  TMyComPortParams params;
  bool ok;
};
const LineCase kLineCases[] = {
    {"Fastest", {"", 921600, 8, 0, 0}, true},
    {"Slowest", {"", 110, 5, 1, 2}, true},
    {"SevenBits", {"", 115200, 7, 3, 0}, true},
    {"SpaceParity", {"", 9600, 8, 4, 0}, true},
    {"OddSpeed", {"", 12345, 8, 0, 0}, false},
    {"NineBits", {"", 9600, 9, 0, 0}, false},
    {"UnknownParity", {"", 9600, 8, 5, 0}, false},
    {"OneAndAHalfStopBits", {"", 9600, 8, 0, 1}, false},
};
class LineSettingsTest : public TransportTest, public testing::WithParamInterface<LineCase> {};

TEST_P(LineSettingsTest, OutsideWhatTheLineCanDoAreRefused) {
  LineDevice device;
  TMyComPortParams params = GetParam().params;
  params.PortName = pty.SlavePath();
  EXPECT_EQ(OpenComPort(params, device.PortHandle, nullptr), GetParam().ok);
}
KVZ_ROWS(LineSettingsTest, kLineCases);

TEST_F(TransportTest, EveryByteValuePassesUntouchedBothWays) {
  LineDevice device;
  OpenPty(device);
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  pty.Send(all);
  std::uint32_t wanted = 256;
  ASSERT_TRUE(device.WaitForInput(wanted, 1000, 0xFFFFFFFF));
  ASSERT_TRUE(device.ReadInput(wanted));
  EXPECT_EQ(device.Received(), all);

  EXPECT_TRUE(device.WriteText(all));
  EXPECT_EQ(pty.Receive(), all);
}

TEST_F(TransportTest, WaitForInputReportsWhatIsQueued) {
  LineDevice device;
  OpenPty(device);

  pty.Send(std::string(20, 'a'));
  std::uint32_t target = 16;
  EXPECT_TRUE(device.WaitForInput(target, 1000, 0xFFFFFFFF));
  EXPECT_EQ(target, 20u);
  ASSERT_TRUE(device.DrainInput());
  EXPECT_EQ(device.UnconsumedByteCount(), 0u);

  pty.Send(std::string(10, 'b'));
  target = 16;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(device.WaitForInput(target, 100, 0xFFFFFFFF));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
  EXPECT_EQ(target, 10u);

  // A queue that stops growing ends the wait early when a stall limit is given.
  target = 16;
  EXPECT_TRUE(device.WaitForInput(target, 5000, 3));
  EXPECT_EQ(target, 10u);
}

TEST_F(TransportTest, HangUpIsAnErrorNotAnEmptyQueue) {
  LineDevice device;
  OpenPty(device);
  std::uint32_t count = 99;
  ASSERT_TRUE(device.GetInputCount(count));
  EXPECT_FALSE(device.PortHandle->Lost());
  pty.Hangup();
  EXPECT_FALSE(device.GetInputCount(count));
  // Not a line error: the port itself failed and will not work again.
  EXPECT_TRUE(device.PortHandle->Lost());
  std::uint32_t target = 16;
  EXPECT_FALSE(device.WaitForInput(target, 1000, 0xFFFFFFFF));
  EXPECT_EQ(target, 16u);
  EXPECT_FALSE(device.DrainInput());
}

TEST(ScriptedTransportTest, LineErrorFailsCountWaitAndDrain) {
  FakeGui gui;
  LineScript script;
  script.queued = "abc";
  script.errorFlag = true;
  LineDevice device;
  device.PortHandle = std::make_unique<ScriptedLine>(script);
  std::uint32_t target = 2;
  EXPECT_FALSE(device.WaitForInput(target, 100, 0xFFFFFFFF));
  EXPECT_EQ(target, 2u);
  EXPECT_FALSE(device.DrainInput());
  script.errorFlag = false;
  EXPECT_TRUE(device.DrainInput());
  EXPECT_EQ(script.queued, "");
  // An error that the line's own wait meets is passed on, or this would wait a minute.
  script.errorInWait = true;
  EXPECT_FALSE(device.WaitForInput(target, 60000, 0xFFFFFFFF));
}

TEST(ScriptedTransportTest, ReadInputRefusesAnOverflowAndKeepsShortReads) {
  FakeGui gui;
  LineScript script;
  script.queued = std::string(200, 'x');
  LineDevice device;
  device.PortHandle = std::make_unique<ScriptedLine>(script);
  ASSERT_TRUE(device.ReadInput(200));

  script.queued = std::string(8000, 'y');
  EXPECT_FALSE(device.ReadInput(8000));
  EXPECT_EQ(device.UnconsumedByteCount(), 200u);
  EXPECT_EQ(script.queued.size(), 8000u);
  EXPECT_EQ(script.reads, 1);
  EXPECT_TRUE(device.ReadInput(7892));
  EXPECT_EQ(device.UnconsumedByteCount(), 8092u);
  EXPECT_FALSE(device.ReadInput(1));

  // Bytes that did arrive are kept even though the read came up short.
  device.ClearBuffer(TDeviceObject::TBuffer::Receive);
  script.queued = "[$%]Me";
  script.readLimit = 6;
  EXPECT_FALSE(device.ReadInput(10));
  EXPECT_EQ(device.Received(), "[$%]Me");
}

}  // namespace
