#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "base/TextFile.h"
#include "device/KVZDeviceUn.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeGui.h"
#include "tests/support/TempDir.h"
#include "tests/support/WorkDirScope.h"

// The Win32 serial line on real COM ports. The Wine stage (scripts/wine-tests.py) maps COM ports
// to simulated detectors on Linux pseudo-terminals and names them in environment variables;
// without them these tests skip. No other port is ever opened here.

namespace {

using namespace std::chrono_literals;

// No device of this name exists, and it is no COM name that Wine could map to a system port.
const char kAbsentPort[] = "KVZ03-NO-SUCH-PORT";

std::string PortFromEnvironment(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr ? value : "";
}

// A port's four line settings as the next program to open it finds them.
std::array<DWORD, 4> LineSettings(const std::string& port) {
  const HANDLE handle = CreateFileA(("\\\\.\\" + port).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  DCB dcb{};
  dcb.DCBlength = sizeof(dcb);
  EXPECT_TRUE(GetCommState(handle, &dcb)) << port;
  CloseHandle(handle);
  return {dcb.BaudRate, dcb.ByteSize, dcb.Parity, dcb.StopBits};
}

class Win32LineTest : public testing::Test {
 protected:
  void SetUp() override {
    for (auto [port, variable] : {std::pair{&answering, "KVZ_WINE_SIM_PORT"},
                                  {&silent, "KVZ_WINE_SILENT_PORT"},
                                  {&talking, "KVZ_WINE_DEMO_PORT"},
                                  {&vanishing, "KVZ_WINE_UNPLUG_PORT"},
                                  {&vanishingControl, "KVZ_WINE_UNPLUG_CONTROL"}}) {
      *port = PortFromEnvironment(variable);
      if (port->empty()) GTEST_SKIP() << variable << " unset: run scripts/wine-tests.py";
    }
  }

  // A device whose open retries cost no time; the ports themselves are real.
  TKVZDevice& MakeDevice() {
    device = std::make_unique<TKVZDevice>(TLinkEnv{OpenSerialLine, &clock});
    modeEvents = 0;
    device->OnMode = [this](TKVZDevice&) { ++modeEvents; };
    return *device;
  }

  FakeGui gui;
  TempDir dir;
  WorkDirScope workDir{dir.Path()};
  FakeClock clock;
  std::string answering;  // answers V and R
  std::string silent;     // ignores V and R
  std::string talking;    // sends frames on its own
  std::string vanishing;  // unplugged and replugged by commands written to vanishingControl
  std::string vanishingControl;
  std::unique_ptr<TKVZDevice> device;
  int modeEvents = 0;
};

TEST_F(Win32LineTest, IdentityAndReadinessOnEveryLineSetting) {
  const TMyComPortParams settings[] = {
      {"", 921600, 8, 0, 0}, {"", 115200, 8, 2, 0}, {"", 9600, 7, 1, 2}, {"", 57600, 8, 0, 2}};
  for (TMyComPortParams params : settings) {
    params.PortName = answering;
    TKVZDevice& d = MakeDevice();
    ASSERT_TRUE(OpenComPort(params, d.PortHandle, nullptr)) << params.BaudRate;
    EXPECT_TRUE(d.ReadVersion());
    EXPECT_EQ(d.DeviceVersion, "KVZ03001");
    EXPECT_TRUE(d.RequestReady());
    EXPECT_EQ(d.Mode.load(), 'e');
    EXPECT_EQ(modeEvents, 1);
    EXPECT_TRUE(d.ClosePort());
  }
}

TEST_F(Win32LineTest, ConnectPassesOverAbsentAndSilentPorts) {
  const struct {
    std::vector<std::string> ports;
    bool connected;
  } cases[] = {{{silent, kAbsentPort, answering}, true}, {{silent, kAbsentPort}, false}};
  for (const auto& c : cases) {
    std::filesystem::remove(dir.File("kvzport.ini"));
    TKVZDevice& d = MakeDevice();
    d.PortParams.PortName = kAbsentPort;
    FakeStage stage;
    const auto before = LineSettings(silent);
    EXPECT_EQ(d.Connect(c.ports, nullptr, &stage), c.connected);
    // The silent port was tried and left as it was found.
    EXPECT_EQ(LineSettings(silent), before);
    EXPECT_EQ(stage.texts.size(), c.ports.size() + 1);
    EXPECT_EQ(bool(d.PortHandle), c.connected);
    EXPECT_EQ(d.PortParams.PortName, c.connected ? answering : kAbsentPort);
    // Only a port that answered is remembered for the next start.
    EXPECT_EQ(FileExists(dir.File("kvzport.ini")), c.connected);
  }
}

TEST_F(Win32LineTest, FramesTheDetectorSendsAreReadAndDispatched) {
  TKVZDevice& d = MakeDevice();
  ASSERT_TRUE(OpenComPort({talking, 921600, 8, 0, 0}, d.PortHandle, nullptr));
  std::uint32_t queued = 4;
  ASSERT_TRUE(d.WaitForInput(queued, 5000, 0xFFFFFFFF));
  ASSERT_TRUE(d.ReadInput(queued));
  EXPECT_EQ(d.UnconsumedByteCount(), queued);

  // The listening loop waits on the port between polls and turns the frames into events.
  d.ClearBuffer(TDeviceObject::TBuffer::Receive);
  d.StartListening();
  d.Resume();
  EXPECT_TRUE(gui.PumpUntil([&] { return modeEvents >= 2; }, 10s));
  EXPECT_TRUE(d.StopListening());
}

TEST_F(Win32LineTest, AVanishedDeviceIsAnErrorAndWaitingOnItDoesNotSpin) {
  const auto tell = [this](const char* command) {
    std::ofstream(vanishingControl, std::ios::app) << command << std::endl;
  };
  TKVZDevice& d = MakeDevice();
  // The real retries: a replug at the end of an earlier run may still be under way.
  ASSERT_TRUE(OpenComPort({vanishing, 921600, 8, 0, 0}, d.PortHandle, nullptr));
  std::uint32_t count = 0;
  ASSERT_TRUE(d.GetInputCount(count));

  tell("unplug");
  const auto unplugged = std::chrono::steady_clock::now() + 5s;
  while (d.GetInputCount(count) && std::chrono::steady_clock::now() < unplugged)
    std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(d.GetInputCount(count));
  EXPECT_TRUE(d.PortHandle->Lost());
  const auto start = std::chrono::steady_clock::now();
  d.PortHandle->WaitForInput(200ms);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
  std::uint32_t target = 16;
  EXPECT_FALSE(d.WaitForInput(target, 1000, 0xFFFFFFFF));
  EXPECT_EQ(target, 16u);
  EXPECT_FALSE(d.DrainInput());
  d.ClosePort();
  tell("replug");
}

TEST(Win32OpenTest, WhatIsNotAPortIsRefused) {
  TempDir dir;
  dir.Write("plain.txt", "not a port");
  EXPECT_FALSE(OpenSerialLine(""));
  EXPECT_FALSE(OpenSerialLine(kAbsentPort));
  EXPECT_FALSE(OpenSerialLine(dir.File("missing.txt")));
  // A plain file opens, as any path does, but has no line settings.
  TPortHandle file = OpenSerialLine(dir.File("plain.txt"));
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->Configure({"", 921600, 8, 0, 0}));
  EXPECT_TRUE(file->Close());
}

}  // namespace
