#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "base/Platform.h"
#include "tests/support/Rows.h"
#include "tests/support/TempDir.h"

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

struct SaveCase {
  const char* name;
  const char* plant;    // a shell command run in the folder
  const char* changed;  // the file that gets the new contents; nullptr when the save is refused
  rlim_t fileSizeLimit;
};

const SaveCase kSaveCases[] = {
    {"PlantedTemporaryLink", "ln -s victim kvzport.ini.tmp", "kvzport.ini", RLIM_INFINITY},
    {"ReadOnlyFile", "chmod 444 kvzport.ini", nullptr, RLIM_INFINITY},
    {"PermissionsKept", "chmod 640 kvzport.ini", "kvzport.ini", RLIM_INFINITY},
    {"LinkWrittenThrough", "ln -sf victim kvzport.ini", "victim", RLIM_INFINITY},
    {"DanglingLink", "ln -sf /nonexistent/x.ini kvzport.ini", nullptr, RLIM_INFINITY},
    {"FailedWrite", "true", nullptr, 16}};
class SaveTest : public testing::TestWithParam<SaveCase> {};

// CI runs as root, so every refusal here must hold for root too.
TEST_P(SaveTest, ChangesOnlyTheFileItMayAndLeavesNothingElse) {
  const SaveCase& c = GetParam();
  std::signal(SIGXFSZ, SIG_IGN);
  TempDir dir;
  dir.Write("kvzport.ini", "old");
  dir.Write("victim", "victim");
  ASSERT_EQ(std::system(("cd " + dir.Path() + " && " + c.plant).c_str()), 0);
  auto expected = Snapshot(dir);
  if (c.changed) expected[c.changed].second = kSaved;
  const rlimit limited{c.fileSizeLimit, RLIM_INFINITY}, unlimited{RLIM_INFINITY, RLIM_INFINITY};
  setrlimit(RLIMIT_FSIZE, &limited);
  const bool saved = WriteFileAtomically(dir.File("kvzport.ini"), kSaved);
  setrlimit(RLIMIT_FSIZE, &unlimited);
  EXPECT_EQ(Snapshot(dir), expected);
  EXPECT_EQ(saved, c.changed != nullptr);
}

KVZ_ROWS(SaveTest, kSaveCases);

TEST(PlatformTest, InstallFoldersAreTheSystemsOwn) {
  EXPECT_TRUE(IsSystemInstallFolder("/usr/local/bin/") && !IsSystemInstallFolder("/work/usr/"));
}

}  // namespace
