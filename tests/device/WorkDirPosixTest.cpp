#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "DirUn.h"
#include "FakeGui.h"
#include "KVZDeviceUn.h"
#include "TempDir.h"

namespace {

TEST(WorkDirTest, WritableFolderTestIsATryNotAGuess) {
  TempDir dir;
  EXPECT_TRUE(FolderWritable(dir.Path()));
  EXPECT_FALSE(FolderWritable(dir.File("missing") + "/"));
  EXPECT_FALSE(FolderWritable("/proc/"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(WorkDirTest, ProgramFolderIsUsedWhenWritableElseTheUsersDataFolder) {
  FakeGui gui;
  TempDir own;
  TempDir home;
  setenv("XDG_DATA_HOME", home.Path().c_str(), 1);
  SetWorkDirsFor(own.Path());
  EXPECT_EQ(WorkDir, own.Path());

  // A folder nobody may create files in, root included.
  SetWorkDirsFor("/proc/");
  const std::string userFolder = home.Path() + "/kvz03/";
  EXPECT_EQ(WorkDir, userFolder);
  EXPECT_FALSE(std::filesystem::exists(userFolder));
  {
    TKVZDevice device;
    EXPECT_EQ(device.PortParams.PortName, "COM1");
    device.SaveSettings();
  }
  EXPECT_EQ(home.Read("kvz03/kvzport.ini").substr(0, 14), "COMName=COM1\r\n");
  EXPECT_TRUE(gui.messages.empty());
  unsetenv("XDG_DATA_HOME");
  SetWorkDirsFor(own.Path());
  WorkDir.clear();
}

}  // namespace
