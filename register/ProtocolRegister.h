#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

// The protocol register: every confirmed protocol, one row of an SQLite database in the working
// folder (protocols.db), kept through crashes and power cuts and found again by text and date.

// A register that cannot be opened, read or written; the text names the file and SQLite's reason.
class TRegisterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One protocol as it was printed. Texts are UTF-8.
struct TProtocolRecord {
  std::int64_t number = 0;
  // Local date and time, ISO 8601 to the second: 2026-12-08T10:15:30.
  std::string madeAt;
  std::string place;
  std::string operatorName;
  std::string item;
  std::string material;
  int materialIndex = -1;
  std::string client;
  std::string document;
  std::string documentNo;
  // The detector's result code and working mode, as its Windows-1251 bytes; 0 for none.
  char resultCode = 0;
  std::string resultText;
  int u1 = 0;
  int u2 = 0;
  char mode = 0;
  bool matches = false;
  std::string verdict;
  // The saved page, named relative to the working folder.
  std::string pdfFile;
  // The date as the page showed it, in the short format the system had then: a reprint shows it
  // so whatever the system's format is by then.
  std::string protocolDate;

  bool operator==(const TProtocolRecord&) const = default;
};

// What the queries select: rows where Text occurs in the number, date, client, item, material,
// result or verdict, ignoring letter case (Latin and Cyrillic); and whose date lies within
// From..to, both days included. An empty text or a missing day does not restrict.
struct TRegisterFilter {
  std::string text;
  std::optional<std::chrono::year_month_day> from;
  std::optional<std::chrono::year_month_day> to;
};

// What SQLite's quick check finds wrong with the register file; empty when it is whole, missing,
// or cannot be opened at all (writing to it reports that). Reads only, through its own connection,
// so another thread may run it; it gives up, finding nothing, once stop is set.
std::string RegisterDamage(const std::string& fileName, const std::atomic<bool>& stop);

// One connection to the register file. Another program instance may hold the same file: a write
// waits for the other's transaction instead of failing.
class TProtocolRegister {
 public:
  // Opens the file, creating it, or bringing an older schema up to date. Throws TRegisterError,
  // without changing the file, when it is no database or was made by a newer program.
  explicit TProtocolRegister(const std::string& fileName);
  ~TProtocolRegister();
  TProtocolRegister(const TProtocolRegister&) = delete;
  TProtocolRegister& operator=(const TProtocolRegister&) = delete;

  // Stores the protocol for good: once this returns, no crash or power cut loses it. Returns its
  // row; throws TRegisterError, storing nothing, when it cannot be written (a number recorded
  // before included).
  std::int64_t Record(const TProtocolRecord& entry);
  // Numbers and records a new protocol, all under the register's write lock, so that another
  // instance waits and then takes the next number: entry.number becomes the first number from
  // floor up beyond the register's last, and keepPage(entry) writes the protocol's page for it.
  // keepPage answers false when that number's page is on the disk already (kept while the register
  // could not be used), and the number moves on. Throws TRegisterError, recording nothing, when
  // the register cannot be written; a page kept by then stays where it is.
  void RecordNext(TProtocolRecord& entry, std::int64_t floor,
                  const std::function<bool(TProtocolRecord&)>& keepPage);
  // The greatest number recorded, below `below` when that is given; none in an empty register.
  std::optional<std::int64_t> LastNumber(std::optional<std::int64_t> below = std::nullopt);
  // Whether the filter's text is too short for the search index: counting its rows then reads
  // every protocol.
  static bool ReadsEveryRow(const TRegisterFilter& filter);
  // How many rows the filter selects, of those numbered from..below-1 when that is given.
  std::int64_t Count(const TRegisterFilter& filter,
                     std::optional<std::pair<std::int64_t, std::int64_t>> fromBelow = std::nullopt);
  // At most limit of the rows the filter selects, newest first, numbered below `below` when that
  // is given: the page after one whose last row had that number.
  std::vector<TProtocolRecord> Page(const TRegisterFilter& filter,
                                    std::optional<std::int64_t> below, std::size_t limit);
  // Hands the rows the filter selects to each, newest first, one at a time, until it returns
  // false.
  void ForEach(const TRegisterFilter& filter,
               const std::function<bool(const TProtocolRecord&)>& each);

 private:
  struct TCloser {
    void operator()(sqlite3* db) const;
  };

  void Insert(const TProtocolRecord& entry);

  std::string fileName_;
  std::unique_ptr<sqlite3, TCloser> db_;
};

// The schema version (PRAGMA user_version) of the registers this program writes; it opens no newer
// one.
int RegisterSchemaVersion();
// Makes the register's own SQL functions known to a connection to its file, which the register's
// triggers need before it may write: SQLite's result code, SQLITE_OK when done.
int AddRegisterFunctions(sqlite3* db);
