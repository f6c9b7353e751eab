#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "base/TextFile.h"
#include "device/DirUn.h"
#include "device/KVZDeviceUn.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeGui.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WorkDirScope.h"

namespace {

using namespace std::chrono_literals;

struct Event {
  char kind;  // 'M' mode, 'W' work result
  char mode;
  char code;
  int u1;
  int u2;
  bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Event& e) {
  return os << e.kind << " mode=" << e.mode << " code=" << int(e.code) << " " << e.u1 << "/"
            << e.u2;
}

// Port names as the system would list them, each bound to a simulated detector's pty or to
// nothing at all; every open attempt is recorded.
class ConnectTest : public testing::Test, protected SimPortMap {
 protected:
  TKVZDevice& MakeDevice() {
    device = std::make_unique<TKVZDevice>(TLinkEnv{Opener(), &clock});
    device->OnMode = [this](TKVZDevice& d) { events.push_back({'M', d.Mode.load(), 0, 0, 0}); };
    device->OnWorkResult = [this](TKVZDevice& d) {
      events.push_back({'W', d.Mode.load(), d.ResultCode.load(), d.U1.load(), d.U2.load()});
    };
    device->OnLost = [this](TKVZDevice&) { ++losses; };
    return *device;
  }

  // Connects to the simulated detector and starts listening, as the connect command does.
  void Listen(SimProcess& sim) {
    ports["COM4"] = &sim;
    TKVZDevice& d = MakeDevice();
    d.PortParams.PortName = "COM4";
    ASSERT_TRUE(d.Connect({}, nullptr, nullptr));
    ASSERT_TRUE(d.RequestReady());
    events.clear();
    d.StartListening();
  }

  bool WaitForEvents(std::size_t n) {
    return gui.PumpUntil([&] { return events.size() >= n; });
  }

  FakeGui gui;
  TempDir dir;
  WorkDirScope workDir{dir.Path()};
  FakeClock clock;
  std::vector<Event> events;
  int losses = 0;
  std::unique_ptr<TKVZDevice> device;
};

TEST_F(ConnectTest, SearchTriesTheStoredPortThenTheListAndRemembersTheOneThatAnswered) {
  SimProcess silent;
  silent.Command("silent 1");
  SimProcess detector;
  ports = {{"COM1", &silent}, {"COM4", &detector}};
  dir.Write("kvzport.ini", "COMName=COM9\r\nCOMSpeed=921600\r\n");
  TKVZDevice& d = MakeDevice();
  FakeProgress progress;
  FakeStage stage;

  EXPECT_TRUE(d.Connect({"COM1", "COM4", "COM9"}, &progress, &stage));
  EXPECT_TRUE(d.Connected.load());
  EXPECT_EQ(d.DeviceVersion, "KVZ03001");
  EXPECT_EQ(d.PortParams.PortName, "COM4");
  // COM9 cannot be opened: five attempts; COM1 opens but stays silent; COM4 answers.
  EXPECT_EQ(opened,
            (std::vector<std::string>{"COM9", "COM9", "COM9", "COM9", "COM9", "COM1", "COM4"}));
  EXPECT_EQ(stage.texts, (std::vector<std::string>{"        Подключение к порту по умолчанию...",
                                                   "        Подключение к порту COM1...",
                                                   "        Подключение к порту COM4..."}));
  EXPECT_EQ(progress.maximum, 4);
  EXPECT_EQ(progress.visible, (std::vector<bool>{true, false}));
  EXPECT_EQ(dir.Read("kvzport.ini"),
            "COMName=COM4\r\nCOMSpeed=921600\r\nCOMByteSize=8\r\nCOMParity=0\r\nCOMStopBits=0\r\n");
}

TEST_F(ConnectTest, NoDetectorAnywhereKeepsTheDefaultAndWritesNothing) {
  SimProcess stranger({"--id", "XKVZ0300"});
  ports = {{"COM2", &stranger}};
  const int fd = open(stranger.PortPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios before{}, after{};
  ASSERT_EQ(tcgetattr(fd, &before), 0);
  TKVZDevice& d = MakeDevice();
  FakeProgress progress;
  EXPECT_FALSE(d.Connect({"COM2", "COM3"}, &progress, nullptr));
  EXPECT_FALSE(d.Connected.load());
  EXPECT_EQ(d.PortParams.PortName, "COM1");
  EXPECT_FALSE(d.PortHandle);
  EXPECT_FALSE(FileExists(WorkDir + "kvzport.ini"));
  EXPECT_EQ(progress.position, progress.maximum);
  // The port of the device with the wrong identity was closed again, with its settings back.
  EXPECT_TRUE(OpenSerialLine(stranger.PortPath()));
  ASSERT_EQ(tcgetattr(fd, &after), 0);
  // Field by field: memcmp would read the structure's padding too.
  EXPECT_TRUE(before.c_iflag == after.c_iflag && before.c_oflag == after.c_oflag &&
              before.c_cflag == after.c_cflag && before.c_lflag == after.c_lflag &&
              cfgetospeed(&before) == cfgetospeed(&after) &&
              std::equal(std::begin(before.c_cc), std::end(before.c_cc), std::begin(after.c_cc)));
  close(fd);
}

TEST_F(ConnectTest, SecondConnectClosesThePortFirst) {
  SimProcess detector;
  ports = {{"COM4", &detector}};
  TKVZDevice& d = MakeDevice();
  d.PortParams.PortName = "COM4";
  ASSERT_TRUE(d.Connect({}, nullptr, nullptr));
  // The port is held exclusively, so the second search finds the detector only if it let go.
  EXPECT_TRUE(d.Connect({}, nullptr, nullptr));
  EXPECT_EQ(opened, (std::vector<std::string>{"COM4", "COM4"}));
}

TEST_F(ConnectTest, StopListeningBeforeAnyConnectReturnsAtOnce) {
  TKVZDevice& d = MakeDevice();
  EXPECT_TRUE(d.StopListening());
}

TEST_F(ConnectTest, FramesReachTheHandlersInOrder) {
  SimProcess sim;
  Listen(sim);
  // First, noise that fills the buffer after a start marker whose frame could never fit it.
  sim.Command("raw 5b24255d" + std::string(2 * 9000, 'a'));
  const struct {
    const char* command;
    Event event;
  } steps[] = {
      {"mode c", {'M', 'c', 0, 0, 0}}, {"mode r", {'M', 'r', 0, 0, 0}},
      {"mode s", {'M', 's', 0, 0, 0}}, {"work 500 500 я w", {'W', 'w', '\xff', 500, 500}},
      {"mode f", {'M', 'f', 0, 0, 0}}, {"work 1771 -200 3 y", {'W', 'y', '3', 1771, -200}},
  };
  std::vector<Event> expected;
  for (const auto& step : steps) {
    sim.Command(step.command);
    if (step.event.kind == 'W') expected.push_back({'M', step.event.mode, 0, 0, 0});
    expected.push_back(step.event);
    ASSERT_TRUE(WaitForEvents(expected.size())) << step.command;
  }
  EXPECT_EQ(events, expected);
}

TEST_F(ConnectTest, FramesPutIntoTheBufferFromTheGuiThreadAreDelivered) {
  SimProcess sim;
  Listen(sim);
  device->PutWorkFrame(-5, 7, ':', 'e');
  ASSERT_TRUE(WaitForEvents(2));
  EXPECT_EQ(events[1], (Event{'W', 'e', ':', -5, 7}));
  device->PutModeFrame('p');
  ASSERT_TRUE(WaitForEvents(3));
  EXPECT_EQ(events[2], (Event{'M', 'p', 0, 0, 0}));
}

TEST_F(ConnectTest, HandlerErrorGoesToTheErrorHandlerAndListeningGoesOn) {
  SimProcess sim;
  Listen(sim);
  // Handlers change only while the loop has handed the port back.
  ASSERT_TRUE(device->StopListening());
  device->OnMode = [](TKVZDevice&) { throw std::runtime_error("обработчик упал"); };
  device->StartListening();
  sim.Command("mode e");
  ASSERT_TRUE(gui.PumpUntil([&] { return !gui.errors.empty(); }));
  EXPECT_EQ(gui.errors, std::vector<std::string>{"обработчик упал"});
  sim.Command("work 1 2 0 e");
  ASSERT_TRUE(WaitForEvents(1));
  EXPECT_EQ(events[0].kind, 'W');
}

TEST_F(ConnectTest, StopListeningHandsThePortBack) {
  SimProcess sim;
  Listen(sim);
  ASSERT_TRUE(gui.PumpUntil([&] { return !device->Idle.load(); }));
  EXPECT_TRUE(device->StopListening());
  EXPECT_TRUE(device->Idle.load());
  EXPECT_TRUE(device->RequestReady());
  device->StartListening();
  sim.Command("mode w");
  ASSERT_TRUE(WaitForEvents(2));
  EXPECT_EQ(events.back(), (Event{'M', 'w', 0, 0, 0}));
}

TEST_F(ConnectTest, StopListeningFailsWhileTheLoopWaitsForAHandler) {
  SimProcess sim;
  Listen(sim);
  sim.Command("mode e");
  // The loop is now waiting for the GUI thread to run the handler, which it does not do while
  // it waits in StopListening.
  std::this_thread::sleep_for(100ms);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(device->StopListening());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms);
  ASSERT_TRUE(WaitForEvents(1));
  EXPECT_TRUE(gui.PumpUntil([&] { return device->StopListening(); }));
}

TEST_F(ConnectTest, UnpluggedDetectorIsFoundAgainAfterReplug) {
  SimProcess sim;
  Listen(sim);
  sim.Unplug();
  // The loop tells of the vanished port once and lets go of it; give it a few passes.
  gui.PumpUntil([] { return false; }, 200ms);
  EXPECT_EQ(losses, 1);
  EXPECT_TRUE(device->PortLost.load() && device->Idle.load());
  EXPECT_TRUE(events.empty());
  sim.Replug();
  ASSERT_TRUE(device->StopListening());
  ASSERT_TRUE(device->Connect({}, nullptr, nullptr));
  ASSERT_TRUE(device->RequestReady());
  events.clear();
  device->StartListening();
  EXPECT_FALSE(device->PortLost.load());
  sim.Command("mode y");
  ASSERT_TRUE(WaitForEvents(1));
  EXPECT_EQ(events[0], (Event{'M', 'y', 0, 0, 0}));
}

}  // namespace
