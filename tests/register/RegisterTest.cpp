#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <thread>

#include "base/Platform.h"
#include "base/TextFile.h"
#include "register/ProtocolRegister.h"
#include "register/TextFold.h"
#include "tests/support/FilledProtocol.h"
#include "tests/support/Rows.h"
#include "tests/support/TempDir.h"

namespace {

using std::chrono::year_month_day;
using namespace std::chrono_literals;

// Every row the filter selects, read as the window reads them: a page of two at a time.
std::vector<std::int64_t> Paged(TProtocolRegister& reg, const TRegisterFilter& filter) {
  std::vector<std::int64_t> numbers;
  for (auto page = reg.Page(filter, {}, 2); !page.empty();
       page = reg.Page(filter, page.back().number, 2)) {
    for (const TProtocolRecord& entry : page) numbers.push_back(entry.number);
  }
  return numbers;
}

// The file as another program instance, or a crash, leaves it.
struct RawConnection {
  explicit RawConnection(const std::string& file) {
    sqlite3_open(file.c_str(), &db);
    AddRegisterFunctions(db);
  }
  ~RawConnection() { sqlite3_close(db); }
  void Exec(const char* sql) {
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  }
  sqlite3* db = nullptr;
};

TEST(RegisterTest, RecordedProtocolsSurviveReopening) {
  TempDir dir;
  const std::string file = dir.File("protocols.db");
  TProtocolRecord first = FilledProtocol(1500, "2013-01-19T12:00:00", "Петрова Анна");
  first.resultCode = '\xfe';  // a Windows-1251 byte, and blanks that open a field
  first.resultText = "Повторите измерение";
  first.matches = false;
  first.verdict = "   не соответствует";
  TProtocolRecord second = FilledProtocol(348000, "2014-01-01T00:00:00", "Ёлкин Ю.");
  second.mode = 'w';
  {
    TProtocolRegister reg(file);
    EXPECT_EQ(reg.LastNumber(), std::nullopt);
    reg.Record(first);
    reg.Record(second);
    EXPECT_THROW(reg.Record(first), TRegisterError);
    EXPECT_THROW(reg.Record(FilledProtocol(1, "19.01.2013 12:00", "")), TRegisterError);
  }
  TProtocolRegister reg(file);
  EXPECT_EQ(reg.LastNumber(), 348000);
  EXPECT_EQ(reg.Page({}, {}, 5), (std::vector{second, first}));
}

TEST(RegisterTest, SearchMatchesShownColumnsIgnoringCaseWithinDays) {
  TempDir dir;
  TProtocolRegister reg(dir.File("protocols.db"));
  reg.Record(FilledProtocol(100, "2026-11-30T23:59:59", "Петрова Анна"));
  reg.Record(FilledProtocol(101, "2026-12-01T00:00:00", "ПЕТРОВ П.П."));
  reg.Record(FilledProtocol(102, "2026-12-01T23:59:59", "Ёлкина Ю."));
  TProtocolRecord smith = FilledProtocol(103, "2026-12-02T00:00:00", "Smith J.");
  smith.item = "Цепь";
  smith.material = "Серебро до 800 пробы";
  reg.Record(smith);
  const auto day = [](unsigned m, unsigned d) {
    return year_month_day(2026y / std::chrono::month(m) / std::chrono::day(d));
  };
  const struct {
    const char* text;
    std::optional<year_month_day> from, to;
    std::vector<std::int64_t> numbers;
  } cases[] = {
      {"петров", {}, {}, {101, 100}},
      {"пЕтРоВа", {}, {}, {100}},
      {"ЁЛКИН", {}, {}, {102}},
      {"елкина", {}, {}, {102}},
      {"sMITH", {}, {}, {103}},
      {"ЦЕПЬ", {}, {}, {103}},
      {"СЕРЕБРО", {}, {}, {103}},
      {"102", {}, {}, {102}},
      {"2026-12-01", {}, {}, {102, 101}},
      {"%", {}, {}, {}},
      {"нНа", {}, {}, {100}},
      {"01.12.2026 00", {}, {}, {101}},
      // Too short for the index.
      {"Ю.", {}, {}, {102}},
      {"j", {}, {}, {103}},
      {"03", {}, {}, {103}},
      {"\"Пет", {}, {}, {}},
      {"ю.", day(12, 2), {}, {}},
      {"", day(12, 1), day(12, 1), {102, 101}},
      {"", day(12, 2), {}, {103}},
      {"", {}, day(11, 30), {100}},
      {"петров", day(12, 1), {}, {101}},
      {"", {}, {}, {103, 102, 101, 100}},
  };
  for (const auto& c : cases) {
    const TRegisterFilter filter{c.text, c.from, c.to};
    EXPECT_EQ(Paged(reg, filter), c.numbers) << '"' << c.text << '"';
    EXPECT_EQ(reg.Count(filter), std::ssize(c.numbers)) << '"' << c.text << '"';
  }
}

// A register of the first version: the upgrade indexes the protocols it holds.
TEST(RegisterTest, UpgradeIndexesKeptProtocols) {
  TempDir dir;
  const std::string file = dir.File("protocols.db");
  TProtocolRegister(file).Record(FilledProtocol(5, "2026-12-08T10:00:00", "Сёмина"));
  RawConnection(file).Exec(
      "DROP TRIGGER protocols_search_insert; DROP TRIGGER protocols_search_delete;"
      "DROP TRIGGER protocols_search_update; DROP TABLE protocols_search; PRAGMA user_version = "
      "1;");
  TProtocolRegister reg(file);
  reg.Record(FilledProtocol(6, "2026-12-08T10:01:00", "Семина"));
  EXPECT_EQ(Paged(reg, {"СЕМИН", {}, {}}), (std::vector<std::int64_t>{6, 5}));
}

TEST(RegisterTest, CaseFoldCoversEveryLetterOfWindows1251) {
  std::vector<std::pair<int, int>> pairs = {{0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C},
                                            {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2},
                                            {0xA3, 0xBC}, {0xA5, 0xB4}, {0xAA, 0xBA}, {0xAF, 0xBF},
                                            {0xB2, 0xB3}, {0xBD, 0xBE}};
  for (int c = 0xC0; c <= 0xDF; ++c) pairs.emplace_back(c, c + 0x20);
  for (int c = 'A'; c <= 'Z'; ++c) pairs.emplace_back(c, c + 0x20);
  for (const auto& [upper, lower] : pairs) {
    const std::string small = Cp1251ToUtf8(std::string(1, static_cast<char>(lower)));
    EXPECT_EQ(FoldedCase(Cp1251ToUtf8(std::string(1, static_cast<char>(upper)))), small) << upper;
    EXPECT_EQ(FoldedCase(small), small) << lower;
  }
  EXPECT_EQ(FoldedCase("Ёё"), "ее");
  for (const char* kept : {"№ 5, «x» 0-9", "ÉΛ", "\xD0"}) EXPECT_EQ(FoldedCase(kept), kept);
}

TEST(RegisterTest, ForeignFilesAreInitialisedOrRefusedUnchanged) {
  TempDir dir;
  const std::string newer = dir.File("newer.db");
  RawConnection(newer).Exec("PRAGMA user_version = 99; CREATE TABLE protocols (future);");
  dir.Write("empty.db", "");
  dir.Write("text.db", std::string(4096, 'x'));
  for (const std::string& file : {dir.File("empty.db"), newer, dir.File("text.db")}) {
    const std::string before = dir.Read(std::filesystem::path(file).filename().string());
    try {
      TProtocolRegister reg(file);
      reg.Record(FilledProtocol(7, "2026-12-08T10:00:00", "Петрова Анна"));
      EXPECT_TRUE(before.empty()) << file;
      EXPECT_EQ(TProtocolRegister(file).LastNumber(), 7);
    } catch (const TRegisterError& e) {
      EXPECT_FALSE(before.empty()) << file;
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
      EXPECT_EQ(dir.Read(std::filesystem::path(file).filename().string()), before);
      EXPECT_FALSE(FileExists(file + "-wal"));
    }
  }
  EXPECT_THROW(TProtocolRegister(dir.File("нет/protocols.db")), TRegisterError);
}

// What a crash or a power cut leaves: the files as they stand in the middle of a transaction, the
// last commit still in the log only, and pages of the next one behind it without a commit.
TEST(RegisterTest, TornTransactionLeavesTheLastCommittedState) {
  TempDir dir;
  TempDir crashed;
  const std::string file = dir.File("protocols.db");
  const TProtocolRecord kept = FilledProtocol(1, "2026-12-08T10:00:00", "Петрова Анна");
  TProtocolRegister reg(file);
  reg.Record(kept);
  const auto committedLog = std::filesystem::file_size(file + "-wal");
  RawConnection other(file);
  other.Exec(
      "PRAGMA cache_size = 1; BEGIN; UPDATE protocols SET client = 'torn'; CREATE TABLE t (b);"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500)"
      "INSERT INTO t SELECT randomblob(4000) FROM n;");
  ASSERT_GT(std::filesystem::file_size(file + "-wal"), committedLog + 1000000);
  for (const char* suffix : {"", "-wal"})
    std::filesystem::copy_file(file + suffix, crashed.File("protocols.db") + suffix);

  TProtocolRegister(crashed.File("protocols.db"))
      .Record(FilledProtocol(2, kept.madeAt, "Ёлкин Ю."));
  const auto entries = TProtocolRegister(crashed.File("protocols.db")).Page({}, {}, 5);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].number, 2);
  EXPECT_EQ(entries[1], kept);
}

struct HoldCase {
  const char* name;
  bool initialised;
  const char* hold;
};
const HoldCase kHoldCases[] = {
    {"NewFile", false, "BEGIN IMMEDIATE;"},
    {"Write", true, "BEGIN IMMEDIATE; UPDATE protocols SET client = 'Сидоров С.С.';"}};
class SecondInstanceTest : public testing::TestWithParam<HoldCase> {};

// The first instance in the middle of its own start on a new file, and in the middle of a write.
TEST_P(SecondInstanceTest, WaitsForTheFirstOne) {
  const HoldCase& c = GetParam();
  TempDir dir;
  const std::string file = dir.File("protocols.db");
  if (c.initialised) TProtocolRegister(file).Record(FilledProtocol(1, "2026-12-08T10:00:00", ""));
  RawConnection first(file);
  first.Exec(c.hold);
  std::atomic<bool> recorded{false};
  std::thread second([&] {
    EXPECT_NO_THROW(TProtocolRegister(file).Record(FilledProtocol(2, "2026-12-08T10:01:00", "")));
    recorded = true;
  });
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(recorded);
  first.Exec("COMMIT");
  second.join();
  EXPECT_EQ(TProtocolRegister(file).LastNumber(), 2);
}
KVZ_ROWS(SecondInstanceTest, kHoldCases);

}  // namespace

// The check runs on a thread of its own while the program writes.
TEST(RegisterTest, CheckRunsBesideAWriter) {
  TempDir dir;
  const std::string file = dir.File("protocols.db");
  const std::atomic<bool> stop{false};
  TProtocolRegister reg(file);
  auto check = std::async(std::launch::async, [&] { return RegisterDamage(file, stop); });
  for (int n = 1; n <= 50; ++n)
    reg.Record(FilledProtocol(n, "2026-12-08T10:00:00", "Петрова Анна"));
  EXPECT_EQ(check.get(), "");
}
