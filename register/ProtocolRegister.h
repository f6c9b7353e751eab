#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
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
struct TProtocolEntry {
  std::int64_t Number = 0;
  // Local date and time, ISO 8601 to the second: 2026-12-08T10:15:30.
  std::string MadeAt;
  std::string Place;
  std::string Operator;
  std::string Item;
  std::string Material;
  int MaterialIndex = -1;
  std::string Client;
  std::string Document;
  std::string DocumentNo;
  // The detector's result code and working mode, as its Windows-1251 bytes; 0 for none.
  char ResultCode = 0;
  std::string ResultText;
  int U1 = 0;
  int U2 = 0;
  char Mode = 0;
  bool Matches = false;
  std::string Verdict;
  // The saved page, named relative to the working folder.
  std::string PdfFile;

  bool operator==(const TProtocolEntry&) const = default;
};

// What Find selects: rows where Text occurs in the number, date, client, item, material, result
// or verdict, ignoring letter case (Latin and Cyrillic); and whose date lies within From..To,
// both days included. An empty text or a missing day does not restrict.
struct TRegisterFilter {
  std::string Text;
  std::optional<std::chrono::year_month_day> From;
  std::optional<std::chrono::year_month_day> To;
};

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
  std::int64_t Record(const TProtocolEntry& entry);
  // The greatest number recorded; none in an empty register.
  std::optional<std::int64_t> LastNumber();
  // The rows the filter selects, newest first.
  std::vector<TProtocolEntry> Find(const TRegisterFilter& filter);

 private:
  struct TCloser {
    void operator()(sqlite3* db) const;
  };

  std::string fileName_;
  // The text search's working copy of each folded column, reused row after row.
  std::string folded_;
  std::unique_ptr<sqlite3, TCloser> db_;
};
