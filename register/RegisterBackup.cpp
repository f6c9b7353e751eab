#include "register/RegisterBackup.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/Platform.h"
#include "base/TextFile.h"
#include "register/ProtocolRegister.h"

namespace {

// As the register's own connections: another instance's transaction lasts milliseconds.
constexpr int kBusyTimeoutMs = 10000;

// 4 MB of pages at the usual page size.
constexpr int kSyncPages = 1024;

constexpr std::string_view kDailyPrefix = "protocols-";
constexpr std::string_view kDailyPattern = "protocols-0000-00-00.db";

struct TCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using TDb = std::unique_ptr<sqlite3, TCloser>;

struct TFinisher {
  void operator()(sqlite3_backup* backup) const { sqlite3_backup_finish(backup); }
};

struct TFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

std::string Message(sqlite3* db) {
  return db ? sqlite3_errmsg(db) : sqlite3_errstr(SQLITE_NOMEM);
}

// Opens an existing file unless flags say to create it; the reason for a failure in reason.
TDb Open(const std::string& file, int flags, std::string& reason) {
  sqlite3* db = nullptr;
  const int opened = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
  TDb owned(db);
  if (opened != SQLITE_OK) {
    reason = Message(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  return owned;
}

// The first column of the statement's first row as text; false with the reason in text when it
// fails or yields no row.
bool QueryText(sqlite3* db, const char* sql, std::string& text) {
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
  const std::unique_ptr<sqlite3_stmt, TFinalizer> statement(raw);
  if (!raw || sqlite3_step(raw) != SQLITE_ROW) {
    text = Message(db);
    return false;
  }
  const unsigned char* value = sqlite3_column_text(raw, 0);
  text = value ? reinterpret_cast<const char*>(value) : "";
  return true;
}

bool IsDailyCopyName(std::string_view name) {
  if (name.size() != kDailyPattern.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const bool digit = name[i] >= '0' && name[i] <= '9';
    if (kDailyPattern[i] == '0' ? !digit : name[i] != kDailyPattern[i]) return false;
  }
  return true;
}

// A day's copy on its way, as TRegisterCopy names it (protocols-2026-12-09.db.<16 hex
// digits>.part), or its journal.
bool IsPartName(std::string_view name) {
  if (name.ends_with("-journal")) name.remove_suffix(std::string_view("-journal").size());
  constexpr std::size_t kHexDigits = 16;
  const std::size_t day = kDailyPattern.size();
  if (name.size() != day + 1 + kHexDigits + std::string_view(".part").size() ||
      !IsDailyCopyName(name.substr(0, day)) || name[day] != '.' || !name.ends_with(".part"))
    return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(day + 1),
                     name.begin() + static_cast<std::ptrdiff_t>(day + 1 + kHexDigits),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string RandomSuffix() {
  std::random_device random;
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), ".%08x%08x.part", random(), random());
  return text.data();
}

}  // namespace

std::string DailyCopyName(std::chrono::year_month_day day) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%s%04d-%02u-%02u.db", kDailyPrefix.data(),
                static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                static_cast<unsigned>(day.day()));
  return text.data();
}

void TRegisterCopy::TCloser::operator()(sqlite3* db) const {
  sqlite3_close_v2(db);
}

void TRegisterCopy::TBackupFinisher::operator()(sqlite3_backup* backup) const {
  sqlite3_backup_finish(backup);
}

TRegisterCopy::TRegisterCopy(const std::string& registerFile, const std::string& target)
    : registerFile_(registerFile), target_(target), temporary_(target + RandomSuffix()) {
  std::string reason;
  // Read and write, not read-only: a register in write-ahead mode whose log files are gone needs
  // them made again to be read. Nothing is written.
  TDb source = Open(registerFile, SQLITE_OPEN_READWRITE, reason);
  if (!source) Fail(reason);
  source_.reset(source.release());
  // One read transaction for the whole copy: every step reads the same state of the register,
  // and what other connections write meanwhile goes to the log beside it without restarting the
  // copy.
  std::string ignored;
  if (sqlite3_exec(source_.get(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK ||
      !QueryText(source_.get(), "SELECT count(*) FROM sqlite_schema", ignored))
    Fail(Message(source_.get()));
  if (!CreateEmptyFile(temporary_)) Fail("не удалось создать файл \"" + temporary_ + "\"");
  try {
    TDb copy = Open(temporary_, SQLITE_OPEN_READWRITE, reason);
    if (!copy) Fail(reason);
    copy_.reset(copy.release());
    backup_.reset(sqlite3_backup_init(copy_.get(), "main", source_.get(), "main"));
    if (!backup_) Fail(Message(copy_.get()));
  } catch (...) {
    copy_.reset();
    RemoveFile(temporary_);
    throw;
  }
}

TRegisterCopy::~TRegisterCopy() {
  backup_.reset();
  copy_.reset();
  if (made_) return;
  for (const char* tail : {"", "-journal", "-wal", "-shm"}) RemoveFile(temporary_ + tail);
}

void TRegisterCopy::Fail(const std::string& reason) const {
  throw TRegisterError("Не удалось сделать резервную копию журнала протоколов \"" + registerFile_ +
                       "\": " + reason);
}

bool TRegisterCopy::Step(int pages) {
  if (finished_) return true;
  // The copy's last step and its completion each flush to the disk: a step of their own each.
  if (copied_) {
    Complete();
    return true;
  }
  const int before = done_;
  const int step = sqlite3_backup_step(backup_.get(), pages);
  total_ = sqlite3_backup_pagecount(backup_.get());
  done_ = total_ - sqlite3_backup_remaining(backup_.get());
  if (step == SQLITE_OK || step == SQLITE_BUSY || step == SQLITE_LOCKED) {
    // Flushed as it goes, so that the last step's flush has only the rest to write: one flush of
    // the whole copy would hold a step as long as the disk takes to write hundreds of megabytes.
    unsynced_ += done_ - before;
    if (unsynced_ >= kSyncPages) {
      unsynced_ = 0;
      sqlite3_file* file = nullptr;
      if (sqlite3_file_control(copy_.get(), "main", SQLITE_FCNTL_FILE_POINTER, &file) !=
              SQLITE_OK ||
          file->pMethods->xSync(file, SQLITE_SYNC_NORMAL) != SQLITE_OK)
        Fail(Message(copy_.get()));
    }
    return false;
  }
  if (step != SQLITE_DONE) Fail(sqlite3_errstr(step));
  copied_ = true;
  return pages < 0 && Step(pages);
}

void TRegisterCopy::Complete() {
  if (sqlite3_backup_finish(backup_.release()) != SQLITE_OK) Fail(Message(copy_.get()));
  source_.reset();
  // The pages carry the register's write-ahead mark; the copy becomes one file that needs no log.
  // Its last commit is flushed to the disk (synchronous FULL, SQLite's default without the log).
  if (sqlite3_exec(copy_.get(), "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr) !=
      SQLITE_OK)
    Fail(Message(copy_.get()));
  // Closed here and not by the destructor, so that a failure to write the last pages is seen.
  sqlite3* copy = copy_.release();
  if (sqlite3_close(copy) != SQLITE_OK) {
    copy_.reset(copy);
    Fail(Message(copy));
  }
  finished_ = true;
  if (RenameToNewName(temporary_, target_)) {
    made_ = true;
    return;
  }
  // Another instance made the same copy meanwhile: the destructor drops this one.
  if (!FileExists(target_))
    Fail("не удалось переименовать \"" + temporary_ + "\" в \"" + target_ + "\"");
}

void RemoveOldDailyCopies(const std::string& folder, std::size_t keep) {
  std::vector<std::string> names;
  std::vector<std::string> parts;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(FilePath(folder), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::u8string name = it->path().filename().u8string();
    const std::string text(name.begin(), name.end());
    if (!it->is_regular_file(ec)) continue;
    if (IsDailyCopyName(text)) names.push_back(text);
    if (IsPartName(text)) parts.push_back(text);
  }
  if (ec)
    throw TRegisterError("Не удалось прочитать папку резервных копий \"" + folder +
                         "\": " + ec.message());
  // The names hold the days year first: the first in order are the oldest.
  std::sort(names.begin(), names.end());
  std::vector<std::string> old(names.begin(), names.end() - std::min(keep, names.size()));
  // What a copy cut short by a crash or a power cut left behind, hundreds of megabytes with a
  // large register: parts of days before the newest copy, which no instance writes any more.
  for (const std::string& part : parts) {
    if (!names.empty() && part.compare(0, names.back().size(), names.back()) < 0)
      old.push_back(part);
  }
  for (const std::string& name : old) {
    const std::string file = folder + "/" + name;
    if (!RemoveFile(file))
      throw TRegisterError("Не удалось удалить старую резервную копию \"" + file + "\"");
  }
}

std::int64_t ProtocolCount(const std::string& registerFile) {
  std::string reason;
  std::string count;
  const TDb db = Open(registerFile, SQLITE_OPEN_READWRITE, reason);
  if (!db || !QueryText(db.get(), "SELECT count(*) FROM protocols", count))
    throw TRegisterError("Не удалось прочитать журнал протоколов \"" + registerFile +
                         "\": " + (db ? count : reason));
  return std::stoll(count);
}

std::int64_t CheckedCopyCount(const std::string& copyFile) {
  const std::string copy = "Копия журнала протоколов \"" + copyFile + "\"";
  std::string text;
  const TDb db = Open(copyFile, SQLITE_OPEN_READONLY, text);
  if (!db) throw TRegisterError(copy + " не открывается: " + text);
  if (!QueryText(db.get(), "PRAGMA integrity_check", text) || text != "ok")
    throw TRegisterError(copy + " повреждена: " + text);
  if (!QueryText(db.get(), "PRAGMA user_version", text))
    throw TRegisterError(copy + " не читается: " + text);
  if (std::stoi(text) > RegisterSchemaVersion())
    throw TRegisterError(copy + " записана более новой версией программы (версия журнала " + text +
                         ")");
  if (!QueryText(db.get(), "SELECT count(*) FROM protocols", text))
    throw TRegisterError(copy + " не содержит протоколов: " + text);
  return std::stoll(text);
}

void RestoreRegister(const std::string& registerFile, const std::string& copyFile,
                     const std::string& keptFile) {
  std::string reason;
  const auto fail = [&](const std::string& why) {
    throw TRegisterError("Не удалось восстановить журнал протоколов \"" + registerFile +
                         "\" из копии \"" + copyFile + "\": " + why);
  };
  const TDb copy = Open(copyFile, SQLITE_OPEN_READONLY, reason);
  if (!copy) fail(reason);
  // In write-ahead mode, as the register always is: the lock below then still lets the register
  // be read and kept. A register that is no database any more is kept as it is, its log beside
  // it, and a new one made in its place.
  const auto open = [&] {
    TDb live = Open(registerFile, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, reason);
    if (!live) fail(reason);
    const int mode =
        sqlite3_exec(live.get(), "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    return mode == SQLITE_NOTADB || mode == SQLITE_CORRUPT ? nullptr : std::move(live);
  };
  TDb live = open();
  const bool damaged = !live;
  if (damaged) {
    RemoveFile(registerFile + "-shm");
    if (!RenameToNewName(registerFile, keptFile) ||
        (FileExists(registerFile + "-wal") &&
         !RenameToNewName(registerFile + "-wal", keptFile + "-wal")))
      fail("не удалось переименовать его в \"" + keptFile + "\"");
    live = open();
    if (!live) fail(sqlite3_errstr(SQLITE_NOTADB));
  }
  const std::unique_ptr<sqlite3_backup, TFinisher> restore(
      sqlite3_backup_init(live.get(), "main", copy.get(), "main"));
  if (!restore) fail(Message(live.get()));
  // A step of no pages takes the register's write lock and holds it: the copy kept below is the
  // register's last state, and nothing is written to it before the restore has replaced it.
  const int locked = sqlite3_backup_step(restore.get(), 0);
  if (locked != SQLITE_OK) fail(sqlite3_errstr(locked));
  if (!damaged) {
    TRegisterCopy kept(registerFile, keptFile);
    if (!kept.Step(-1)) fail(sqlite3_errstr(SQLITE_BUSY));
    if (!kept.Made()) fail("файл \"" + keptFile + "\" уже есть");
  }
  const int step = sqlite3_backup_step(restore.get(), -1);
  if (step != SQLITE_DONE) fail(sqlite3_errstr(step));
}
