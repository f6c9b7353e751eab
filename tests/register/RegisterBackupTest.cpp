#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "base/TextFile.h"
#include "register/ProtocolRegister.h"
#include "register/RegisterBackup.h"
#include "tests/support/FilledProtocol.h"
#include "tests/support/TempDir.h"

namespace {

// Long enough that a few hundred protocols fill many pages, each step copying one of them.
TProtocolRecord Entry(std::int64_t number) {
  return FilledProtocol(number, "2026-12-09T10:00:00",
                        std::string(300, 'x') + std::to_string(number));
}

std::string JournalMode(const std::string& file) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &statement, nullptr);
  sqlite3_step(statement);
  std::string mode = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return mode;
}

}  // namespace

// A copy taken page by page while another connection records a protocol after every page is the
// register of its first moment; restoring it brings exactly that back, to the other connection
// too, and keeps the register it replaced.
TEST(RegisterBackupTest, CopyWhileWritingThenRestoreRoundTrip) {
  TempDir dir;
  const std::string file = dir.File("protocols.db");
  TProtocolRegister other(file);
  for (std::int64_t n = 1; n <= 300; ++n) other.Record(Entry(n));
  const std::vector<TProtocolRecord> before = other.Page({}, {}, 1000);
  std::int64_t next = 301;
  {
    TRegisterCopy copy(file, dir.File("copy.db"));
    while (!copy.Step(1)) other.Record(Entry(next++));
    EXPECT_TRUE(copy.Made());
    EXPECT_GT(copy.PagesTotal(), 30);
  }
  EXPECT_GT(next, 330);
  EXPECT_EQ(JournalMode(dir.File("copy.db")), "delete");
  EXPECT_EQ(CheckedCopyCount(dir.File("copy.db")), 300);

  RestoreRegister(file, dir.File("copy.db"), dir.File("kept.db"));
  EXPECT_EQ(other.Page({}, {}, 1000), before);
  EXPECT_EQ(ProtocolCount(dir.File("kept.db")), next - 1);
  EXPECT_EQ(JournalMode(file), "wal");
  // The kept register's name is never taken over, nor a copy's.
  EXPECT_THROW(RestoreRegister(file, dir.File("copy.db"), dir.File("kept.db")), TRegisterError);
  {
    TRegisterCopy again(file, dir.File("copy.db"));
    EXPECT_TRUE(again.Step(-1));
    EXPECT_FALSE(again.Made());
  }
  EXPECT_EQ(ProtocolCount(dir.File("kept.db")), next - 1);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("")), {}), 5);
}

TEST(RegisterBackupTest, RotationKeepsTheNewestDailyCopiesAndNothingElseGoes) {
  TempDir dir;
  std::vector<std::string> daily;
  for (int day = 1; day <= 33; ++day)
    daily.push_back(DailyCopyName(std::chrono::year(2026) / (day <= 28 ? 11 : 12) /
                                  (day <= 28 ? day : day - 28)));
  const std::vector<std::string> others = {"protocols-2020-1-01.db",
                                           "protocols-2020-01-01.db.bak",
                                           "protocols-before-restore-2020-01-01-101010.db",
                                           "Protocols-2020-01-01.db",
                                           "protocols-2020-01-01.db.0123abcd.part",
                                           "notes.txt",
                                           "protocols-2026-12-05.db.0123456789abcdef.part"};
  // Left by copies cut short on an earlier day.
  const std::vector<std::string> stale = {"protocols-2026-12-04.db.0123456789abcdef.part",
                                          "protocols-2026-12-04.db.0123456789abcdef.part-journal"};
  std::filesystem::create_directory(dir.File("copies"));
  for (const std::string& name : daily) dir.Write("copies/" + name, "x");
  for (const std::string& name : others) dir.Write("copies/" + name, "x");
  for (const std::string& name : stale) dir.Write("copies/" + name, "x");
  std::filesystem::create_directory(dir.File("copies/protocols-2000-01-01.db"));
  RemoveOldDailyCopies(dir.File("copies"), 30);
  for (std::size_t i = 0; i < daily.size(); ++i)
    EXPECT_EQ(FileExists(dir.File("copies/" + daily[i])), i >= 3) << daily[i];
  for (const std::string& name : others)
    EXPECT_TRUE(FileExists(dir.File("copies/" + name))) << name;
  for (const std::string& name : stale)
    EXPECT_FALSE(FileExists(dir.File("copies/" + name))) << name;
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("copies/protocols-2000-01-01.db")));
}

// A copy that is damaged, newer than the program or no register at all is refused with the reason.
TEST(RegisterBackupTest, DamagedNewerOrForeignCopiesAreRefused) {
  TempDir dir;
  const std::string good = dir.File("good.db");
  {
    TProtocolRegister reg(good);
    for (std::int64_t n = 1; n <= 100; ++n) reg.Record(Entry(n));
  }
  const struct {
    const char* name;
    const char* reason;
    std::function<void(const std::string&)> spoil;
  } cases[] = {
      {"damaged", "повреждена",
       [](const std::string& f) {
         std::fstream(f, std::ios::in | std::ios::out | std::ios::binary).seekp(4096 * 3 + 8)
             << std::string(200, '\xff');
       }},
      {"text", "повреждена",
       [](const std::string& f) { std::ofstream(f) << std::string(5000, 'x'); }},
      {"newer", "записана более новой версией программы (версия журнала 99)",
       [](const std::string& f) {
         sqlite3* db = nullptr;
         sqlite3_open(f.c_str(), &db);
         sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
         sqlite3_close(db);
       }},
      {"foreign", "не содержит протоколов", [](const std::string& f) { std::ofstream{f}; }},
  };
  for (const auto& c : cases) {
    const std::string copy = dir.File(std::string(c.name) + ".db");
    TRegisterCopy(good, copy).Step(-1);
    c.spoil(copy);
    try {
      CheckedCopyCount(copy);
      ADD_FAILURE() << c.name;
    } catch (const TRegisterError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
  // A register that is no database any more is kept byte for byte and replaced.
  dir.Write("broken.db", std::string(5000, 'x'));
  RestoreRegister(dir.File("broken.db"), good, dir.File("broken-kept.db"));
  EXPECT_EQ(ProtocolCount(dir.File("broken.db")), 100);
  EXPECT_EQ(dir.Read("broken-kept.db"), std::string(5000, 'x'));
}
