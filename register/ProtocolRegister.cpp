#include "register/ProtocolRegister.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>
#include <string_view>
#include <utility>

#include "base/Platform.h"
#include "register/TextFold.h"

namespace {

// Another instance's transaction lasts milliseconds; a write waits this long for it before
// giving up.
constexpr int kBusyTimeoutMs = 10000;
constexpr int kRetryMs = 10;

// kMigrations[v] brings a register of schema version v (PRAGMA user_version; 0 is a new, empty
// file) to version v + 1.
constexpr std::array<const char*, 2> kMigrations = {
    R"(CREATE TABLE protocols (
         id INTEGER PRIMARY KEY,
         number INTEGER NOT NULL UNIQUE,
         made_at TEXT NOT NULL CHECK (made_at GLOB
           '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9]'),
         place TEXT NOT NULL,
         operator TEXT NOT NULL,
         item TEXT NOT NULL,
         material TEXT NOT NULL,
         material_index INTEGER NOT NULL,
         client TEXT NOT NULL,
         document TEXT NOT NULL,
         document_no TEXT NOT NULL,
         result_code TEXT NOT NULL,
         result_text TEXT NOT NULL,
         u1 INTEGER NOT NULL,
         u2 INTEGER NOT NULL,
         mode TEXT NOT NULL,
         matches INTEGER NOT NULL CHECK (matches IN (0, 1)),
         verdict TEXT NOT NULL,
         pdf_file TEXT NOT NULL,
         protocol_date TEXT NOT NULL
       ) STRICT;
       CREATE INDEX protocols_made_at ON protocols (made_at);)",
    // The search box's index: the shown columns folded (kvz_fold) into one text per protocol,
    // its rowid the protocol's number, cut into every three characters' sequence, so that a
    // search reads the few protocols that hold its text instead of folding every row. Letters
    // are folded before the index sees them, hence case_sensitive: the tokenizer's own folding
    // knows no Cyrillic.
    R"(CREATE VIRTUAL TABLE protocols_search USING fts5(
         shown, tokenize = 'trigram case_sensitive 1');
       CREATE TRIGGER protocols_search_insert AFTER INSERT ON protocols BEGIN
         INSERT INTO protocols_search (rowid, shown) VALUES (new.number,
           kvz_fold(new.number, new.made_at, strftime('%d.%m.%Y %H:%M', new.made_at), new.client,
                    new.item, new.material, new.result_text, new.verdict));
       END;
       CREATE TRIGGER protocols_search_delete AFTER DELETE ON protocols BEGIN
         DELETE FROM protocols_search WHERE rowid = old.number;
       END;
       CREATE TRIGGER protocols_search_update
       AFTER UPDATE OF number, made_at, client, item, material, result_text, verdict
       ON protocols BEGIN
         DELETE FROM protocols_search WHERE rowid = old.number;
         INSERT INTO protocols_search (rowid, shown) VALUES (new.number,
           kvz_fold(new.number, new.made_at, strftime('%d.%m.%Y %H:%M', new.made_at), new.client,
                    new.item, new.material, new.result_text, new.verdict));
       END;
       -- The protocols already kept are indexed in one statement, which leaves the index as years
       -- of recording would. Merging it into one piece ('optimize') would make searches a third
       -- faster but double this one-off wait; gathering more of its words in memory first
       -- ('hashsize') would shorten the wait but leave one huge piece that every later protocol
       -- then works at merging, at a hundred times its usual cost.
       INSERT INTO protocols_search (rowid, shown)
         SELECT number, kvz_fold(number, made_at, strftime('%d.%m.%Y %H:%M', made_at), client,
                                 item, material, result_text, verdict)
         FROM protocols;)",
};
constexpr int kSchemaVersion = static_cast<int>(kMigrations.size());

// In the order Record binds them and Find reads them.
constexpr const char* kColumns =
    "number, made_at, place, operator, item, material, material_index, client, document, "
    "document_no, result_code, result_text, u1, u2, mode, matches, verdict, pdf_file, "
    "protocol_date";
// Stands between the columns in the search index, so that no match spans two of them: a control
// character no one types into the search box.
constexpr char kColumnBreak = '\x1f';
// A search reads the trigram index when its text has this many characters; a shorter text has
// no trigram and is looked for in every protocol's folded text.
constexpr std::size_t kIndexedLength = 3;

constexpr const char* kOpenFailure = "Не удалось открыть журнал протоколов";
constexpr const char* kWriteFailure = "Не удалось записать протокол в журнал";
constexpr const char* kReadFailure = "Не удалось прочитать журнал протоколов";

// SQLite names a full disk only where its own writes ran out of room ("database or disk is
// full"); a log or shared-memory file that cannot grow comes as "disk I/O error". The system's
// own error tells.
std::string Reason(sqlite3* db) {
  if (!db) return sqlite3_errstr(SQLITE_NOMEM);
  const int code = sqlite3_errcode(db);
  if (code == SQLITE_FULL || ((code == SQLITE_IOERR || code == SQLITE_CANTOPEN) &&
                              IsDiskFullError(sqlite3_system_errno(db))))
    return "Недостаточно места на диске";
  return sqlite3_errmsg(db);
}

[[noreturn]] void Fail(sqlite3* db, const std::string& fileName, const char* failure) {
  throw TRegisterError(std::string(failure) + " \"" + fileName + "\": " + Reason(db));
}

void Exec(sqlite3* db, const std::string& fileName, const std::string& sql, const char* failure) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    Fail(db, fileName, failure);
}

struct TFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using TStatement = std::unique_ptr<sqlite3_stmt, TFinalizer>;

TStatement Prepare(sqlite3* db, const std::string& fileName, const std::string& sql,
                   const char* failure) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) !=
      SQLITE_OK)
    Fail(db, fileName, failure);
  return TStatement(statement);
}

// The one value a statement such as a PRAGMA or an aggregate yields; NULL reads as nothing.
std::optional<std::int64_t> QueryInteger(sqlite3* db, const std::string& fileName,
                                         const std::string& sql, const char* failure) {
  TStatement statement = Prepare(db, fileName, sql, failure);
  if (sqlite3_step(statement.get()) != SQLITE_ROW) Fail(db, fileName, failure);
  if (sqlite3_column_type(statement.get(), 0) == SQLITE_NULL) return std::nullopt;
  return sqlite3_column_int64(statement.get(), 0);
}

// Every write runs here. IMMEDIATE takes the write lock at the start, so waiting for another
// instance happens under the busy timeout before anything is done, never halfway through.
template <typename TBody>
void InTransaction(sqlite3* db, const std::string& fileName, const char* failure, TBody&& body) {
  Exec(db, fileName, "BEGIN IMMEDIATE", failure);
  try {
    body();
    Exec(db, fileName, "COMMIT", failure);
  } catch (...) {
    // The rethrow reports what failed. A rollback that fails as well leaves the transaction open,
    // and the next write's BEGIN reports that.
    if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

int SchemaVersion(sqlite3* db, const std::string& fileName) {
  const auto version = QueryInteger(db, fileName, "PRAGMA user_version", kOpenFailure);
  if (version.value_or(0) > kSchemaVersion)
    throw TRegisterError("Журнал протоколов \"" + fileName +
                         "\" записан более новой версией программы (версия журнала " +
                         std::to_string(*version) + ")");
  return static_cast<int>(version.value_or(0));
}

// A code byte of the detector as one UTF-8 character, and back.
std::string CodeText(char code) {
  return code == 0 ? std::string() : Cp1251ToUtf8(std::string_view(&code, 1));
}

char CodeByte(const std::string& text) {
  const std::string byte = Utf8ToCp1251(text);
  return byte.empty() ? '\0' : byte[0];
}

std::string DayText(std::chrono::sys_days day) {
  const std::chrono::year_month_day date(day);
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text.data();
}

std::string_view ValueText(sqlite3_value* value) {
  const unsigned char* text = sqlite3_value_text(value);
  if (!text) return {};
  return {reinterpret_cast<const char*>(text),
          static_cast<std::size_t>(sqlite3_value_bytes(value))};
}

// kvz_fold(column...): the columns' texts folded (AppendFoldedCase), kColumnBreak between them.
// SQLite's own LIKE and lower() fold ASCII letters only.
void Fold(sqlite3_context* context, int argc, sqlite3_value** argv) {
  try {
    std::string folded;
    for (int i = 0; i < argc; ++i) {
      const std::string_view text = ValueText(argv[i]);
      if (text.data() == nullptr && sqlite3_value_type(argv[i]) != SQLITE_NULL) {
        sqlite3_result_error_nomem(context);
        return;
      }
      if (i > 0) folded += kColumnBreak;
      AppendFoldedCase(folded, text);
    }
    sqlite3_result_text(context, folded.data(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  }
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  if (!text && sqlite3_column_type(statement, column) != SQLITE_NULL) throw std::bad_alloc();
  if (!text) return {};
  return {reinterpret_cast<const char*>(text),
          static_cast<std::size_t>(sqlite3_column_bytes(statement, column))};
}

TProtocolRecord ReadEntry(sqlite3_stmt* statement) {
  TProtocolRecord entry;
  entry.number = sqlite3_column_int64(statement, 0);
  entry.madeAt = ColumnText(statement, 1);
  entry.place = ColumnText(statement, 2);
  entry.operatorName = ColumnText(statement, 3);
  entry.item = ColumnText(statement, 4);
  entry.material = ColumnText(statement, 5);
  entry.materialIndex = sqlite3_column_int(statement, 6);
  entry.client = ColumnText(statement, 7);
  entry.document = ColumnText(statement, 8);
  entry.documentNo = ColumnText(statement, 9);
  entry.resultCode = CodeByte(ColumnText(statement, 10));
  entry.resultText = ColumnText(statement, 11);
  entry.u1 = sqlite3_column_int(statement, 12);
  entry.u2 = sqlite3_column_int(statement, 13);
  entry.mode = CodeByte(ColumnText(statement, 14));
  entry.matches = sqlite3_column_int(statement, 15) != 0;
  entry.verdict = ColumnText(statement, 16);
  entry.pdfFile = ColumnText(statement, 17);
  entry.protocolDate = ColumnText(statement, 18);
  return entry;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

// The rows a filter selects, as SQL: the tables, the conditions with the texts they bind, and the
// protocol number's column, by which the rows go newest first.
struct TSelection {
  std::string from;
  std::string number;
  std::vector<std::string> conditions;
  std::vector<std::string> values;

  std::string Where() const {
    std::string sql;
    for (std::size_t i = 0; i < conditions.size(); ++i)
      sql += (i == 0 ? " WHERE " : " AND ") + conditions[i];
    return sql;
  }
};

// withRecords: the protocols' own columns are read, not only counted.
TSelection Select(const TRegisterFilter& filter, bool withRecords) {
  TSelection selection{"protocols", "number", {}, {}};
  const std::string text = FoldedCase(filter.text);
  const bool dated = filter.from || filter.to;
  if (!text.empty()) {
    // The index drives: it yields the matching numbers newest first, and only those protocols are
    // read.
    selection.from = withRecords || dated
                         ? "protocols_search AS s CROSS JOIN protocols ON number = s.rowid"
                         : "protocols_search AS s";
    selection.number = "s.rowid";
    if (text.find(kColumnBreak) != std::string::npos) {
      // It could only be found across two columns.
      selection.conditions.emplace_back("0");
    } else if (CharacterCount(text) >= kIndexedLength) {
      selection.conditions.emplace_back("s.protocols_search MATCH ?");
      // One phrase, quoted: the typed text is matched as it stands, never read as a query.
      std::string phrase = "\"";
      for (const char c : text) phrase += c == '"' ? std::string("\"\"") : std::string(1, c);
      selection.values.push_back(phrase + '"');
    } else {
      selection.conditions.emplace_back("instr(s.shown, ?) > 0");
      selection.values.push_back(text);
    }
  }
  if (filter.from) {
    selection.conditions.emplace_back("made_at >= ?");
    selection.values.push_back(DayText(std::chrono::sys_days(*filter.from)));
  }
  if (filter.to) {
    selection.conditions.emplace_back("made_at < ?");
    selection.values.push_back(DayText(std::chrono::sys_days(*filter.to) + std::chrono::days(1)));
  }
  return selection;
}

// The statement of sql with the selection's texts bound; they live as long as the selection.
TStatement Bound(sqlite3* db, const std::string& fileName, const std::string& sql,
                 const TSelection& selection) {
  TStatement statement = Prepare(db, fileName, sql, kReadFailure);
  for (std::size_t i = 0; i < selection.values.size(); ++i) {
    const std::string& value = selection.values[i];
    if (sqlite3_bind_text(statement.get(), static_cast<int>(i + 1), value.data(),
                          static_cast<int>(value.size()), SQLITE_STATIC) != SQLITE_OK)
      Fail(db, fileName, kReadFailure);
  }
  return statement;
}

// The numbers grow with every protocol: the register's last one is the floor of the next.
std::string RowsSql(TSelection& selection, std::optional<std::int64_t> below,
                    std::optional<std::size_t> limit) {
  if (below) selection.conditions.push_back(selection.number + " < " + std::to_string(*below));
  std::string sql = std::string("SELECT ") + kColumns + " FROM " + selection.from +
                    selection.Where() + " ORDER BY " + selection.number + " DESC";
  if (limit) sql += " LIMIT " + std::to_string(*limit);
  return sql;
}

// Hands the selected rows to each, newest first, until it returns false.
template <typename TEach>
void VisitRows(sqlite3* db, const std::string& fileName, const TRegisterFilter& filter,
               std::optional<std::int64_t> below, std::optional<std::size_t> limit, TEach&& each) {
  TSelection selection = Select(filter, true);
  const TStatement select = Bound(db, fileName, RowsSql(selection, below, limit), selection);
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(select.get())) == SQLITE_ROW) {
    if (!each(ReadEntry(select.get()))) return;
  }
  if (step != SQLITE_DONE) Fail(db, fileName, kReadFailure);
}

}  // namespace

std::string RegisterDamage(const std::string& fileName, const std::atomic<bool>& stop) {
  sqlite3* opened = nullptr;
  const int status = sqlite3_open_v2(fileName.c_str(), &opened, SQLITE_OPEN_READONLY, nullptr);
  const std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)> db(opened, sqlite3_close_v2);
  if (status != SQLITE_OK) return {};
  sqlite3_busy_timeout(opened, kBusyTimeoutMs);
  sqlite3_progress_handler(
      opened, 10000,
      [](void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; },
      const_cast<std::atomic<bool>*>(&stop));
  // A file damaged past reading fails the check itself, and that is what is wrong with it; a
  // file that cannot be read for other reasons (a lock, a folder without rights) is not damaged.
  const auto failed = [&] {
    const int code = sqlite3_errcode(opened);
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB ? Reason(opened) : std::string();
  };
  // The first problem named is enough to tell the file is damaged; the rest follow from it.
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(opened, "PRAGMA quick_check(1)", -1, &raw, nullptr) != SQLITE_OK)
    return failed();
  const TStatement check(raw);
  const int step = sqlite3_step(check.get());
  if (step != SQLITE_ROW) return failed();
  std::string found = ColumnText(check.get(), 0);
  if (found == "ok") return {};
  // SQLite heads the problem with the database's name; the problem alone is kept.
  const std::size_t heading = found.find("***\n");
  if (heading != std::string::npos) found.erase(0, heading + 4);
  return found;
}

int AddRegisterFunctions(sqlite3* db) {
  // Deterministic and innocuous: the index's triggers call it, on whichever connection writes.
  return sqlite3_create_function_v2(db, "kvz_fold", -1,
                                    SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                    Fold, nullptr, nullptr, nullptr);
}

// sqlite3_close_v2 has no failure to report: it closes at once or, with statements still open,
// as soon as the last is finalised.
void TProtocolRegister::TCloser::operator()(sqlite3* db) const {
  sqlite3_close_v2(db);
}

TProtocolRegister::TProtocolRegister(const std::string& fileName) : fileName_(fileName) {
  sqlite3* db = nullptr;
  const int opened =
      sqlite3_open_v2(fileName.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  db_.reset(db);
  if (opened != SQLITE_OK) Fail(db, fileName_, kOpenFailure);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (AddRegisterFunctions(db) != SQLITE_OK) Fail(db, fileName_, kOpenFailure);

  // Read before anything is set, so a register of a newer program is left exactly as it was.
  int version = SchemaVersion(db, fileName_);
  // Write-ahead logging: a commit appends to protocols.db-wal, a crash at any moment leaves the
  // last commit readable, and readers never wait for a writer.
  std::string journal;
  {
    const TStatement mode = Prepare(db, fileName_, "PRAGMA journal_mode = WAL", kOpenFailure);
    // Switching a new file reads it and then asks for the write lock; SQLite does not wait for a
    // lock asked for from inside a read (that could deadlock), so while another instance writes
    // its own start, this one waits here.
    int step = sqlite3_step(mode.get());
    for (int waited = 0; step == SQLITE_BUSY && waited < kBusyTimeoutMs; waited += kRetryMs) {
      sqlite3_reset(mode.get());
      sqlite3_sleep(kRetryMs);
      step = sqlite3_step(mode.get());
    }
    if (step != SQLITE_ROW) Fail(db, fileName_, kOpenFailure);
    journal = ColumnText(mode.get(), 0);
  }
  if (journal != "wal")
    throw TRegisterError(std::string(kOpenFailure) + " \"" + fileName_ +
                         "\": журнал изменений SQLite остался в режиме " + journal);
  // FULL, not NORMAL: with NORMAL a commit reaches the disk only at the next checkpoint, and a
  // power cut before it takes back protocols already printed. FULL flushes the log on every
  // commit; a protocol is recorded once Record returns, at the cost of one flush per protocol.
  Exec(db, fileName_, "PRAGMA synchronous = FULL", kOpenFailure);

  if (version < kSchemaVersion) {
    InTransaction(db, fileName_, kOpenFailure, [&] {
      // Again under the write lock: another instance may have brought it up to date meanwhile.
      for (version = SchemaVersion(db, fileName_); version < kSchemaVersion; ++version)
        Exec(db, fileName_, kMigrations[static_cast<std::size_t>(version)], kOpenFailure);
      Exec(db, fileName_, "PRAGMA user_version = " + std::to_string(kSchemaVersion), kOpenFailure);
    });
  }
}

TProtocolRegister::~TProtocolRegister() = default;

void TProtocolRegister::Insert(const TProtocolRecord& entry) {
  sqlite3* db = db_.get();
  const TStatement insert =
      Prepare(db, fileName_,
              std::string("INSERT INTO protocols (") + kColumns +
                  ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
              kWriteFailure);
  sqlite3_stmt* s = insert.get();
  int column = 0;
  auto text = [&](const std::string& value) {
    return sqlite3_bind_text(s, ++column, value.data(), static_cast<int>(value.size()),
                             SQLITE_TRANSIENT) == SQLITE_OK;
  };
  auto integer = [&](std::int64_t value) {
    return sqlite3_bind_int64(s, ++column, value) == SQLITE_OK;
  };
  const bool bound = integer(entry.number) && text(entry.madeAt) && text(entry.place) &&
                     text(entry.operatorName) && text(entry.item) && text(entry.material) &&
                     integer(entry.materialIndex) && text(entry.client) && text(entry.document) &&
                     text(entry.documentNo) && text(CodeText(entry.resultCode)) &&
                     text(entry.resultText) && integer(entry.u1) && integer(entry.u2) &&
                     text(CodeText(entry.mode)) && integer(entry.matches ? 1 : 0) &&
                     text(entry.verdict) && text(entry.pdfFile) && text(entry.protocolDate);
  if (!bound || sqlite3_step(s) != SQLITE_DONE) Fail(db, fileName_, kWriteFailure);
}

std::int64_t TProtocolRegister::Record(const TProtocolRecord& entry) {
  sqlite3* db = db_.get();
  std::int64_t row = 0;
  InTransaction(db, fileName_, kWriteFailure, [&] {
    Insert(entry);
    row = sqlite3_last_insert_rowid(db);
  });
  return row;
}

void TProtocolRegister::RecordNext(TProtocolRecord& entry, std::int64_t floor,
                                   const std::function<bool(TProtocolRecord&)>& keepPage) {
  sqlite3* db = db_.get();
  InTransaction(db, fileName_, kWriteFailure, [&] {
    const auto last =
        QueryInteger(db, fileName_, "SELECT max(number) FROM protocols", kWriteFailure);
    entry.number = std::max(floor, last.value_or(floor - 1) + 1);
    while (!keepPage(entry)) ++entry.number;
    Insert(entry);
  });
}

std::optional<std::int64_t> TProtocolRegister::LastNumber(std::optional<std::int64_t> below) {
  return QueryInteger(db_.get(), fileName_,
                      "SELECT max(number) FROM protocols" +
                          (below ? " WHERE number < " + std::to_string(*below) : ""),
                      kReadFailure);
}

bool TProtocolRegister::ReadsEveryRow(const TRegisterFilter& filter) {
  const std::string text = FoldedCase(filter.text);
  return !text.empty() && CharacterCount(text) < kIndexedLength;
}

std::int64_t TProtocolRegister::Count(
    const TRegisterFilter& filter, std::optional<std::pair<std::int64_t, std::int64_t>> fromBelow) {
  TSelection selection = Select(filter, false);
  if (fromBelow) {
    selection.conditions.push_back(selection.number + " >= " + std::to_string(fromBelow->first));
    selection.conditions.push_back(selection.number + " < " + std::to_string(fromBelow->second));
  }
  sqlite3* db = db_.get();
  const TStatement count =
      Bound(db, fileName_, "SELECT count(*) FROM " + selection.from + selection.Where(), selection);
  if (sqlite3_step(count.get()) != SQLITE_ROW) Fail(db, fileName_, kReadFailure);
  return sqlite3_column_int64(count.get(), 0);
}

std::vector<TProtocolRecord> TProtocolRegister::Page(const TRegisterFilter& filter,
                                                     std::optional<std::int64_t> below,
                                                     std::size_t limit) {
  std::vector<TProtocolRecord> entries;
  entries.reserve(limit);
  VisitRows(db_.get(), fileName_, filter, below, limit, [&](TProtocolRecord entry) {
    entries.push_back(std::move(entry));
    return true;
  });
  return entries;
}

int RegisterSchemaVersion() {
  return kSchemaVersion;
}

void TProtocolRegister::ForEach(const TRegisterFilter& filter,
                                const std::function<bool(const TProtocolRecord&)>& each) {
  VisitRows(db_.get(), fileName_, filter, std::nullopt, std::nullopt,
            [&](const TProtocolRecord& entry) { return each(entry); });
}
