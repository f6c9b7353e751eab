#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "base/Platform.h"
#include "base/TextFile.h"
#include "device/DirUn.h"
#include "device/KVZDeviceUn.h"
#include "tests/support/FakeGui.h"
#include "tests/support/TempDir.h"
#include "tests/support/WorkDirScope.h"

namespace fs = std::filesystem;

namespace {

const char kSaved[] =
    "COMName=COM3\r\nCOMSpeed=9600\r\nCOMByteSize=8\r\nCOMParity=0\r\nCOMStopBits=0\r\n";

// Every entry of the folder: its kind and permissions, and the contents of a regular file.
std::map<std::string, std::pair<int, std::string>> Snapshot(const TempDir& dir) {
  std::map<std::string, std::pair<int, std::string>> entries;
  for (const auto& e : fs::directory_iterator(dir.Path())) {
    const fs::file_status s = fs::symlink_status(e.path());
    entries[e.path().filename()] = {int(s.type()) * 10000 + int(s.permissions()),
                                    fs::is_regular_file(s) ? dir.Read(e.path().filename()) : ""};
  }
  return entries;
}

// CI runs as root, so every refusal here must hold for root too.
TEST(SaveTest, ChangesOnlyTheFileItMayAndLeavesNothingElse) {
  const struct {
    const char* name;
    const char* plant;    // a shell command run in the folder
    const char* changed;  // the file that gets the new contents; nullptr when the save is refused
    rlim_t fileSizeLimit;
  } cases[] = {
      {"PlantedTemporaryLink", "ln -s victim kvzport.ini.tmp", "kvzport.ini", RLIM_INFINITY},
      {"ReadOnlyFile", "chmod 444 kvzport.ini", nullptr, RLIM_INFINITY},
      {"PermissionsKept", "chmod 640 kvzport.ini", "kvzport.ini", RLIM_INFINITY},
      {"LinkWrittenThrough", "ln -sf victim kvzport.ini", "victim", RLIM_INFINITY},
      {"DanglingLink", "ln -sf /nonexistent/x.ini kvzport.ini", nullptr, RLIM_INFINITY},
      {"FailedWrite", "true", nullptr, 16},
  };
  std::signal(SIGXFSZ, SIG_IGN);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeGui gui;
    TempDir dir;
    dir.Write("kvzport.ini", "old");
    dir.Write("victim", "victim");
    ASSERT_EQ(std::system(("cd " + dir.Path() + " && " + c.plant).c_str()), 0);
    auto expected = Snapshot(dir);
    if (c.changed) expected[c.changed].second = kSaved;
    TStringList list;
    const rlimit limited{c.fileSizeLimit, RLIM_INFINITY}, unlimited{RLIM_INFINITY, RLIM_INFINITY};
    setrlimit(RLIMIT_FSIZE, &limited);
    SavePortParams(list, dir.File("kvzport.ini"), {"COM3", 9600, 8, 0, 0}, true);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    EXPECT_EQ(Snapshot(dir), expected);
    EXPECT_EQ(gui.messages.size(), c.changed ? 0u : 1u);
  }
}

TEST(WorkDirTest, FilesAreReadWhereTheyAreAndWrittenWhereThatIsAllowed) {
  const struct {
    const char* name;
    const char* setup;  // shell, in a folder holding own/ (the program's); $f is own/kvzport.ini
    bool installed;
    bool userKnown;  // user/ is the user's folder
    const char* read;
    const char* writtenIn;
  } cases[] = {
      {"WritableProgramFolder", "true", false, true, "COM1", "own/"},
      {"ReadOnlyFolder", "echo COMName=COM7 >$f; chmod 555 own", false, true, "COM7", "user/"},
      {"ReadOnlyFile", "echo COMName=COM7 >$f; chmod 444 $f", false, true, "COM7", "user/"},
      {"InstalledCopy", "echo COMName=COM7 >$f", true, true, "COM1", "user/"},
      {"FileInBoth", "echo COMName=COM7 >$f; mkdir user; echo COMName=COM8 >user/kvzport.ini",
       false, true, "COM8", "user/"},
      {"NoUserFolder", "echo COMName=COM7 >$f; chmod 555 own", false, false, "COM7", "own/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
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
  EXPECT_THROW(const WorkDirScope workDir("/usr/bin/", "", true), std::runtime_error);
  EXPECT_TRUE(IsSystemInstallFolder("/usr/local/bin/") && !IsSystemInstallFolder("/work/usr/"));
}

}  // namespace
