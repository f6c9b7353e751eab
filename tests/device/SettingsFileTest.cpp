#include <gtest/gtest.h>

#include <optional>

#include "base/Platform.h"
#include "base/TextFile.h"
#include "device/CommonProcUn.h"
#include "device/DirUn.h"
#include "device/KVZDeviceUn.h"
#include "tests/support/FakeGui.h"
#include "tests/support/Rows.h"
#include "tests/support/TempDir.h"
#include "tests/support/WorkDirScope.h"

namespace {

struct LoadCase {
  const char* name;
  std::optional<std::string> file;
  TMyComPortParams expected;
  bool result;
};

class LoadPortParamsTest : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadPortParamsTest, ReadsFieldsWithFallbacks) {
  const LoadCase& c = GetParam();
  TempDir dir;
  if (c.file) dir.Write("kvzport.ini", *c.file);
  TStringList list;
  TMyComPortParams params{"junk", 1, 2, 3, 4};
  EXPECT_EQ(LoadPortParams(list, dir.File("kvzport.ini"), params), c.result);
  EXPECT_EQ(params, c.expected);
}

const LoadCase kLoadCases[] = {
    {"MissingFile", std::nullopt, {"COM1", 115200, 8, 0, 0}, false},
    {"FullFile",
     "COMName=COM3\r\nCOMSpeed=921600\r\nCOMByteSize=7\r\nCOMParity=2\r\nCOMStopBits=2\r\n",
     {"COM3", 921600, 7, 2, 2},
     true},
    {"OnlyName", "COMName=COM7\r\n", {"COM7", 115200, 8, 0, 0}, true},
    {"EmptyFile", "", {"", 115200, 8, 0, 0}, true},
    {"KeysIgnoreCase", "comname=COM2\r\ncomspeed=9600\r\n", {"COM2", 9600, 8, 0, 0}, true},
    {"BadNumbers", "COMSpeed=abc\r\nCOMParity=1x\r\nCOMStopBits=\r\n", {"", 115200, 8, 0, 0}, true},
    {"LowByteOnly", "COMByteSize=264\r\nCOMParity=-1\r\n", {"", 115200, 8, 255, 0}, true},
    {"NumberOutOfRange", "COMSpeed=99999999999\r\n", {"", 115200, 8, 0, 0}, true},
    {"OneSignAtMost", "COMSpeed=+-9600\r\nCOMParity=+2\r\n", {"", 115200, 8, 2, 0}, true},
    {"Oversized", "COMName=COM3\r\n" + std::string(65536, ' '), {"", 115200, 8, 0, 0}, true},
    {"FirstOfTwoWins", "COMName=COM5\nCOMName=COM6\n", {"COM5", 115200, 8, 0, 0}, true},
    {"Windows1251Value", "COMName=\xcf\xee\xf0\xf2\r\n", {"Порт", 115200, 8, 0, 0}, true}};
KVZ_ROWS(LoadPortParamsTest, kLoadCases);

class SettingsFileTest : public testing::Test {
 protected:
  FakeGui gui;
  TempDir dir;
  TStringList list;
};

TEST_F(SettingsFileTest, SaveWithClearFirstWritesFiveCrLfLines) {
  dir.Write("kvzport.ini", "COMName=COM9\r\nExtra=1\r\n");
  TMyComPortParams params;
  LoadPortParams(list, dir.File("kvzport.ini"), params);
  SavePortParams(list, dir.File("kvzport.ini"), {"COM4", 115200, 8, 2, 0}, true);
  SavePortParams(list, dir.File("kvzport.ini"), {"COM4", 921600, 8, 2, 0}, true);
  EXPECT_EQ(dir.Read("kvzport.ini"),
            "COMName=COM4\r\nCOMSpeed=921600\r\nCOMByteSize=8\r\nCOMParity=2\r\nCOMStopBits=0\r\n");
  EXPECT_TRUE(gui.messages.empty());
  SavePortParams(list, dir.File("kvzport.ini"), {"COM4", 115200, 8, 2, 0}, false);
  EXPECT_EQ(ReadTextLines(dir.File("kvzport.ini")).size(), 10u);
}

TEST_F(SettingsFileTest, SavedFileLoadsBackInWindows1251) {
  const TMyComPortParams saved{"Порт №1", 4294967295u, 5, 4, 1};
  SavePortParams(list, dir.File("kvzport.ini"), saved, true);
  EXPECT_NE(dir.Read("kvzport.ini").find("COMName=\xcf\xee\xf0\xf2 \xb9\x31\r\n"),
            std::string::npos);
  TMyComPortParams loaded;
  EXPECT_TRUE(LoadPortParams(list, dir.File("kvzport.ini"), loaded));
  EXPECT_EQ(loaded, saved);
}

TEST_F(SettingsFileTest, UnwritableFolderShowsTheErrorAndKeepsTheOldFile) {
  SavePortParams(list, dir.File("missing/kvzport.ini"), {"COM3", 9600, 8, 0, 0}, true);
  ASSERT_EQ(gui.messages.size(), 1u);
  EXPECT_EQ(gui.messages[0].text, "Ошибка при записи настроек");
  EXPECT_EQ(gui.messages[0].caption, " Ошибка");

  // A file that cannot be replaced (a folder stands in its place) stays as it was, and no
  // temporary file is left behind.
  std::filesystem::create_directory(dir.File("kvzport.ini"));
  SavePortParams(list, dir.File("kvzport.ini"), {"COM3", 9600, 8, 0, 0}, true);
  EXPECT_EQ(gui.messages.size(), 2u);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("kvzport.ini")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(SettingsFileTest, DeviceObjectDefaultsDependOnWhetherTheFileExists) {
  const WorkDirScope workDir(dir.Path());
  EXPECT_EQ(TKVZDevice().PortParams, (TMyComPortParams{"COM1", 921600, 8, 0, 0}));
  dir.Write("kvzport.ini", "COMName=COM7\r\n");
  EXPECT_EQ(TKVZDevice().PortParams, (TMyComPortParams{"COM7", 115200, 8, 0, 0}));
  EXPECT_TRUE(gui.messages.empty());
}

struct ExeCase {
  const char* name;
  const char* exe;
  char separator;
  const char* dir;
};
const ExeCase kExeCases[] = {
    {"Posix", "/opt/kvz03/KVZApp", '/', "/opt/kvz03/"},
    {"PosixRoot", "/KVZApp", '/', "/"},
    {"DriveRoot", "C:\\KVZApp.exe", '\\', "C:\\"},
    {"Windows", "C:\\Program Files\\KVZ\\KVZApp.exe", '\\', "C:\\Program Files\\KVZ\\"},
    {"NoFolder", "KVZApp.exe", '\\', "\\"},
};
class ExePathTest : public testing::TestWithParam<ExeCase> {};

TEST_P(ExePathTest, KeepsTheFolderWithOneTrailingSeparator) {
  EXPECT_EQ(WorkDirFromExePath(GetParam().exe, GetParam().separator), GetParam().dir);
}
KVZ_ROWS(ExePathTest, kExeCases);

TEST(WorkDirTest, SetWorkDirsPointsAtTheTestExecutable) {
  FakeGui gui;
  const WorkDirScope unsetAtTheEnd("");
  EXPECT_TRUE(SetWorkDirs());
  const char* exe = PathSeparator() == '\\' ? "device_tests.exe" : "device_tests";
  EXPECT_TRUE(FileExists(WorkDir + exe)) << WorkDir;
  EXPECT_TRUE(gui.messages.empty());
}

struct MessageCase {
  const char* name;
  int kind;
  const char* caption;
  TMsgIcon icon;
  bool topmost;
};
const MessageCase kMessageCases[] = {
    {"Error", 1, " Ошибка", TMsgIcon::Error, true},
    {"Information", 2, " Информация", TMsgIcon::Information, true},
    {"Warning", 3, " Предупреждение", TMsgIcon::Warning, true},
    {"Plain", 0, " Сообщение", TMsgIcon::None, false},
    {"UnknownKind", 7, " Сообщение", TMsgIcon::None, false},
};
class MessageKindTest : public testing::TestWithParam<MessageCase> {};

TEST_P(MessageKindTest, KindChoosesCaptionIconAndTopmost) {
  const MessageCase& c = GetParam();
  FakeGui gui;
  ShowMsg("текст", c.kind);
  ASSERT_EQ(gui.messages.size(), 1u);
  EXPECT_EQ(gui.messages[0].text, "текст");
  EXPECT_EQ(gui.messages[0].caption, c.caption);
  EXPECT_EQ(gui.messages[0].icon, c.icon);
  EXPECT_EQ(gui.messages[0].topmost, c.topmost);
}
KVZ_ROWS(MessageKindTest, kMessageCases);

TEST(MessageTest, ShowStageIndentsTheTextAndLetsEventsRun) {
  struct BrokenStage : TStageTarget {
    void SetText(const std::string&) override { throw std::runtime_error("gone"); }
  };
  FakeGui gui;
  FakeStage stage;
  BrokenStage broken;
  EXPECT_TRUE(ShowStage("Готов", &stage));
  EXPECT_FALSE(ShowStage("Готов", &broken));
  EXPECT_TRUE(ShowStage("Готов", nullptr));
  EXPECT_EQ(stage.texts, std::vector<std::string>{"        Готов"});
  EXPECT_EQ(gui.processEventsCalls, 3);
}

}  // namespace
