#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/TextFile.h"
#include "device/DirUn.h"
#include "device/KVZDeviceUn.h"
#include "tests/support/FakeGui.h"
#include "tests/support/Rows.h"
#include "tests/support/TempDir.h"
#include "tests/support/WorkDirScope.h"

namespace fs = std::filesystem;

namespace {

struct FolderCase {
  const char* name;
  const char* setup;  // shell, in a folder holding own/ (the program's); $f is own/kvzport.ini
  bool installed;
  bool userKnown;  // user/ is the user's folder
  const char* read;
  const char* writtenIn;
};
const FolderCase kFolderCases[] = {
    {"WritableProgramFolder", "true", false, true, "COM1", "own/"},
    {"ReadOnlyFolder", "echo COMName=COM7 >$f; chmod 555 own", false, true, "COM7", "user/"},
    {"ReadOnlyFile", "echo COMName=COM7 >$f; chmod 444 $f", false, true, "COM7", "user/"},
    {"InstalledCopy", "echo COMName=COM7 >$f", true, true, "COM1", "user/"},
    {"FileInBoth", "echo COMName=COM7 >$f; mkdir user; echo COMName=COM8 >user/kvzport.ini", false,
     true, "COM8", "user/"},
    {"NoUserFolder", "echo COMName=COM7 >$f; chmod 555 own", false, false, "COM7", "own/"},
};
class WorkDirFolderTest : public testing::TestWithParam<FolderCase> {};

TEST_P(WorkDirFolderTest, FilesAreReadWhereTheyAreAndWrittenWhereThatIsAllowed) {
  const FolderCase& c = GetParam();
  FakeGui gui;
  TempDir dir;
  const std::string shell = "cd " + dir.Path() + " && mkdir own && f=own/kvzport.ini && ";
  ASSERT_EQ(std::system((shell + c.setup).c_str()), 0);
  const WorkDirScope workDir(dir.File("own/"), c.userKnown ? dir.File("user/") : "", c.installed);
  TKVZDevice device;
  EXPECT_EQ(device.PortParams.PortName, c.read);
  device.PortParams.PortName = "COM5";
  device.SaveSettings();
  EXPECT_EQ(FileToRead("kvzport.ini"), dir.File(c.writtenIn) + "kvzport.ini");
  const bool refused = !c.userKnown;  // a read-only program folder and nowhere else to write
  EXPECT_EQ(gui.messages.size(), refused ? 1u : 0u);
  EXPECT_EQ(TKVZDevice().PortParams.PortName, refused ? "COM7" : "COM5");
  RemoveWorkFile("kvzport.ini");  // wherever it stands and may be removed
  EXPECT_FALSE(FileExists(dir.File("user/kvzport.ini")));
  const bool ownReadOnly = access(dir.File("own").c_str(), W_OK) != 0;
  EXPECT_EQ(FileExists(dir.File("own/kvzport.ini")), c.installed || ownReadOnly);
  fs::permissions(dir.File("own"), fs::perms(0755));
}
KVZ_ROWS(WorkDirFolderTest, kFolderCases);

TEST(WorkDirTest, ScopeRefusesASystemFolder) {
  EXPECT_THROW(const WorkDirScope workDir("/usr/bin/", "", true), std::runtime_error);
}

}  // namespace
