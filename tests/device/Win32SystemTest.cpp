#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DirUn.h"
#include "Platform.h"
#include "PortList.h"
#include "TempDir.h"
#include "TestRegistryKeyWin32.h"

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

TEST(Win32PlatformTest, ReplaceFileWithPutsTheNewFileInPlace) {
  TempDir dir;
  const std::string source = dir.File("new.tmp");
  for (const std::string name : {"kvzport.ini", "настройки.ini"}) {
    const std::string target = dir.File("") + name;
    dir.Write("new.tmp", "new");
    std::ofstream(Utf8Path(target)) << "old";
    ASSERT_TRUE(ReplaceFileWith(source, target)) << name;
    std::string text;
    std::ifstream(Utf8Path(target)) >> text;
    EXPECT_EQ(text, "new");
    EXPECT_FALSE(std::filesystem::exists(source));
    // Without a source the target stays.
    EXPECT_FALSE(ReplaceFileWith(source, target));
    EXPECT_TRUE(std::filesystem::exists(Utf8Path(target)));
  }
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
