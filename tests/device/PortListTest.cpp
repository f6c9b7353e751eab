#include <gtest/gtest.h>

#include <filesystem>

#include "device/PortList.h"
#include "tests/support/TempDir.h"

namespace {

TEST(PortListTest, SortsWithoutRegardToCaseAndKeepsDuplicates) {
  TStringList names{"COM2", "COM10", "COM1", "com3", "COM2"};
  SortPortNames(names);
  EXPECT_EQ(names, (TStringList{"COM1", "COM10", "COM2", "COM2", "com3"}));
}

// A sysfs tree as the kernel lays it out: hardware-backed terminals have a device link, and
// empty on-board UART slots report port type 0.
TEST(PortListTest, ListsOnlyTerminalsWithHardwareBehindThem) {
  namespace fs = std::filesystem;
  TempDir root;
  const fs::path tty = fs::path(root.File("class")) / "tty";
  const struct {
    const char* name;
    bool device;
    const char* type;
  } entries[] = {
      {"ttyUSB0", true, nullptr}, {"ttyS0", true, "4"},        {"ttyS1", true, "0"},
      {"ttyACM0", true, nullptr}, {"tty0", false, nullptr},    {"ptmx", false, nullptr},
      {"ttyS2", false, "0"},      {"ttyUSB10", true, nullptr},
  };
  for (const auto& e : entries) {
    fs::create_directories(tty / e.name);
    if (e.device) fs::create_directory(tty / e.name / "device");
    if (e.type != nullptr) root.Write(std::string("class/tty/") + e.name + "/type", e.type);
  }
  TStringList names{"stale"};
  ASSERT_TRUE(ReadSystemPortNames(names, root.Path()));
  EXPECT_EQ(names, (TStringList{"ttyACM0", "ttyS0", "ttyUSB0", "ttyUSB10"}));
}

TEST(PortListTest, UnreadableSourceLeavesTheListAsItWas) {
  TempDir root;
  TStringList names{"COM3"};
  EXPECT_FALSE(ReadSystemPortNames(names, root.File("nothing-here")));
  EXPECT_EQ(names, TStringList{"COM3"});
}

}  // namespace
