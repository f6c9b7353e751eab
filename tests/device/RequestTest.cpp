#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "device/KVZDeviceUn.h"
#include "tests/support/FakeGui.h"
#include "tests/support/Rows.h"
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

struct IdentityCase {
  const char* name;
  const char* id;
  bool accepted;
};
const IdentityCase kIdentityCases[] = {{"Program", "KVZ03001", true},
                                       {"Another", "KVZ03999", true},
                                       {"PrefixNotFirst", "XKVZ0300", false},
                                       {"OtherDetector", "KVZ04001", false}};
class IdentityTest : public RequestTest, public testing::WithParamInterface<IdentityCase> {};

TEST_P(IdentityTest, IsAcceptedOnlyWhenItBeginsWithKVZ03) {
  const IdentityCase& c = GetParam();
  SimProcess sim({"--id", c.id});
  TKVZDevice device;
  device.DeviceVersion = "before";
  Open(device, sim);
  EXPECT_EQ(device.ReadVersion(), c.accepted);
  EXPECT_EQ(device.DeviceVersion, c.accepted ? c.id : "before");
}
KVZ_ROWS(IdentityTest, kIdentityCases);

struct ReadinessCase {
  const char* name;
  std::vector<std::string> args;
  bool ready;
  char mode;
};
const ReadinessCase kReadinessCases[] = {{"Expert", {"--mode", "e"}, true, 'e'},
                                         {"Yellow", {"--mode", "y"}, true, 'y'},
                                         {"NotReady", {"--not-ready", "--mode", "e"}, false, 'e'}};
class ReadinessTest : public RequestTest, public testing::WithParamInterface<ReadinessCase> {};

TEST_P(ReadinessTest, RaisesTheModeEventOnTheCallingThread) {
  const ReadinessCase& c = GetParam();
  SimProcess sim(c.args);
  TKVZDevice device;
  std::vector<char> modes;
  device.OnMode = [&](TKVZDevice& d) { modes.push_back(d.Mode.load()); };
  Open(device, sim);
  EXPECT_EQ(device.RequestReady(), c.ready);
  EXPECT_EQ(modes, std::vector<char>{c.mode});
  EXPECT_EQ(device.Mode.load(), c.mode);
}
KVZ_ROWS(ReadinessTest, kReadinessCases);

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
