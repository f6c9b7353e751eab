#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Platform.h"
#include "base/Win32Text.h"
#include "device/DirUn.h"
#include "device/PortList.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestRegistryKeyWin32.h"

namespace {

std::filesystem::path Utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

TEST(Win32PlatformTest, ExecutablePathNamesThisProgramWithBackslashes) {
  EXPECT_EQ(PathSeparator(), '\\');
  const std::string path = ExecutablePath();
  EXPECT_TRUE(std::filesystem::is_regular_file(Utf8Path(path))) << path;
  EXPECT_EQ(WorkDirFromExePath(path, PathSeparator()) + "device_tests.exe", path);
}

TEST(Win32PlatformTest, Windows1251ThroughTheSystemCodec) {
  const struct {
    std::string utf8;
    std::string cp1251;
    bool roundTrip;
  } cases[] = {
      {"", "", true},
      {"Порт №1", "\xcf\xee\xf0\xf2 \xb9\x31", true},
      {"АЯаяЁё € –", "\xc0\xdf\xe0\xff\xa8\xb8 \x88 \x96", true},
      {std::string("a\0b", 3), std::string("a\0b", 3), true},
      {"Grüße", "Gr??e", false},  // no look-alike letters
      {"中文", "??", false},
      {"a😀b", "a?b", false},  // one mark for a character outside the basic plane
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.utf8;
    if (c.roundTrip) {
      EXPECT_EQ(Cp1251ToUtf8(c.cp1251), c.utf8);
    }
  }
}

TEST(Win32PlatformTest, SavesRefuseReadOnlyFilesAndLeaveNothingBehind) {
  // No file yet, a plain one, a read-only one.
  for (const DWORD attributes :
       {0ul, DWORD{FILE_ATTRIBUTE_NORMAL}, DWORD{FILE_ATTRIBUTE_READONLY}}) {
    SCOPED_TRACE(attributes);
    TempDir dir;
    const std::string file = dir.File("") + "настройки.ini";
    const std::wstring wide = Utf8ToWide(file);
    if (attributes != 0) std::ofstream(Utf8Path(file)) << "old";
    if (attributes != 0) SetFileAttributesW(wide.c_str(), attributes);
    const bool readOnly = attributes == FILE_ATTRIBUTE_READONLY;
    EXPECT_EQ(MayReplaceFile(file), !readOnly);
    EXPECT_EQ(WriteFileAtomically(file, "new"), !readOnly);
    std::string text;
    std::ifstream(Utf8Path(file)) >> text;
    EXPECT_EQ(text, readOnly ? "old" : "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Utf8Path(dir.Path())), {}), 1);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST(Win32PlatformTest, InstallFoldersForAllUsersAndForOne) {
  const char* programFiles = std::getenv("ProgramFiles");
  const char* local = std::getenv("LOCALAPPDATA");
  ASSERT_TRUE(programFiles != nullptr && local != nullptr);
  EXPECT_TRUE(IsSystemInstallFolder(std::string(programFiles) + "\\KVZ\\"));
  EXPECT_TRUE(IsSystemInstallFolder(std::string(local) + "\\programs\\KVZ-03\\"));
  EXPECT_FALSE(IsSystemInstallFolder(std::string(local) + "\\ProgramsOld\\KVZ-03\\"));
  EXPECT_FALSE(IsSystemInstallFolder("C:\\KVZ\\"));
}

TEST(Win32PortListTest, ReadsPortNamesFromTheKeySorted) {
  EXPECT_EQ(DefaultPortSource(), "HARDWARE\\DEVICEMAP\\SERIALCOMM");
  TestRegistryKey key;
  if (!key.Created()) GTEST_SKIP() << "no right to write under HKEY_LOCAL_MACHINE";
  TStringList names{"stale"};
  ASSERT_TRUE(ReadSystemPortNames(names, key.Source()));
  EXPECT_TRUE(names.empty());

  // Value names are the drivers' device names, in no useful order; only the data counts.
  key.SetString(L"\\Device\\Serial0", L"COM2");
  key.SetString(L"\\Device\\Serial1", L"COM10");
  key.SetString(L"\\Device\\VCP0", L"com1");
  key.SetString(L"\\Device\\ProlificSerial0", L"COM2");
  key.SetNumber(L"NotAPort", 7);
  key.SetString(L"\\Device\\Empty", L"");
  ASSERT_TRUE(ReadSystemPortNames(names, key.Source()));
  EXPECT_EQ(names, (TStringList{"com1", "COM10", "COM2", "COM2"}));
}

TEST(Win32PortListTest, MissingKeyLeavesTheListAsItWas) {
  TStringList names{"COM3"};
  EXPECT_FALSE(ReadSystemPortNames(names, "SOFTWARE\\KVZ03-Test-No-Such-Key"));
  EXPECT_EQ(names, TStringList{"COM3"});
}

}  // namespace
