#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Platform.h"
#include "base/Win32Text.h"
#include "tests/support/Rows.h"
#include "tests/support/TempDir.h"

namespace {

std::filesystem::path Utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

TEST(Win32PlatformTest, ExecutablePathNamesThisProgramWithBackslashes) {
  EXPECT_EQ(PathSeparator(), '\\');
  const std::string path = ExecutablePath();
  EXPECT_TRUE(std::filesystem::is_regular_file(Utf8Path(path))) << path;
  EXPECT_TRUE(path.ends_with("\\base_tests.exe")) << path;
}

struct CodecCase {
  const char* name;
  std::string utf8;
  std::string cp1251;
  bool roundTrip;
};
const CodecCase kCodecCases[] = {
    {"Empty", "", "", true},
    {"NumberSign", "Порт №1", "\xcf\xee\xf0\xf2 \xb9\x31", true},
    {"Letters", "АЯаяЁё € –", "\xc0\xdf\xe0\xff\xa8\xb8 \x88 \x96", true},
    {"NulInside", std::string("a\0b", 3), std::string("a\0b", 3), true},
    {"NoLookAlikes", "Grüße", "Gr??e", false},
    {"Chinese", "中文", "??", false},
    {"OutsideTheBasicPlane", "a😀b", "a?b", false},  // one mark for the character
};
class CodecTest : public testing::TestWithParam<CodecCase> {};

TEST_P(CodecTest, Windows1251ThroughTheSystemCodec) {
  const CodecCase& c = GetParam();
  EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251);
  if (c.roundTrip) {
    EXPECT_EQ(Cp1251ToUtf8(c.cp1251), c.utf8);
  }
}
KVZ_ROWS(CodecTest, kCodecCases);

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

}  // namespace
