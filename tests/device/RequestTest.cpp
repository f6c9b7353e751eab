#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "device/KVZDeviceUn.h"
#include "tests/support/FakeGui.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WorkDirScope.h"

namespace {

using namespace std::chrono_literals;

class RequestTest : public testing::Test {
 protected:
  // Opens the simulated detector's port the way the connection search does, without asking it
  // anything yet.
  void Open(TKVZDevice& device, SimProcess& sim) {
    device.PortParams.PortName = sim.PortPath();
    ASSERT_TRUE(OpenComPort(device.PortParams, device.PortHandle, nullptr));
  }

  FakeGui gui;
  TempDir dir;
  WorkDirScope workDir{dir.Path()};
};

TEST_F(RequestTest, IdentityIsAcceptedOnlyWhenItBeginsWithKVZ03) {
  const struct {
    const char* id;
    bool accepted;
  } cases[] = {{"KVZ03001", true}, {"KVZ03999", true}, {"XKVZ0300", false}, {"KVZ04001", false}};
  for (const auto& c : cases) {
    SimProcess sim({"--id", c.id});
    TKVZDevice device;
    device.DeviceVersion = "before";
    Open(device, sim);
    EXPECT_EQ(device.ReadVersion(), c.accepted) << c.id;
    EXPECT_EQ(device.DeviceVersion, c.accepted ? c.id : "before");
  }
}

TEST_F(RequestTest, ReadinessRaisesTheModeEventOnTheCallingThread) {
  const struct {
    std::vector<std::string> args;
    bool ready;
    char mode;
  } cases[] = {{{"--mode", "e"}, true, 'e'},
               {{"--mode", "y"}, true, 'y'},
               {{"--not-ready", "--mode", "e"}, false, 'e'}};
  for (const auto& c : cases) {
    SimProcess sim(c.args);
    TKVZDevice device;
    std::vector<char> modes;
    device.OnMode = [&](TKVZDevice& d) { modes.push_back(d.Mode.load()); };
    Open(device, sim);
    EXPECT_EQ(device.RequestReady(), c.ready);
    EXPECT_EQ(modes, std::vector<char>{c.mode});
    EXPECT_EQ(device.Mode.load(), c.mode);
  }
}

TEST_F(RequestTest, SilentPortFailsAfterTwoAttempts) {
  SimProcess sim({"--id", "KVZ03001"});
  sim.Command("silent 1");
  TKVZDevice device;
  Open(device, sim);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(device.ReadVersion());
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 200ms);
  EXPECT_LT(elapsed, 2s);
  EXPECT_TRUE(device.DeviceVersion.empty());
}

TEST_F(RequestTest, LateRepliesAreDrainedBeforeTheNextRequest) {
  SimProcess sim;
  TKVZDevice device;
  Open(device, sim);
  sim.Command("delay 250");
  EXPECT_FALSE(device.ReadVersion());
  // Both unanswered questions are answered late, while nobody is asking.
  std::this_thread::sleep_for(400ms);
  sim.Command("id KVZ03777");
  sim.Command("delay 50");
  EXPECT_TRUE(device.ReadVersion());
  EXPECT_EQ(device.DeviceVersion, "KVZ03777");
}

TEST_F(RequestTest, NoRequestWhileTheLoopOwnsThePort) {
  SimProcess sim;
  TKVZDevice device;
  Open(device, sim);
  device.Idle = false;
  EXPECT_FALSE(device.ReadVersion());
  EXPECT_FALSE(device.RequestReady());
  device.Idle = true;
  EXPECT_TRUE(device.ReadVersion());
}

}  // namespace
