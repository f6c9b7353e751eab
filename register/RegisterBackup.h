#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_backup;

// Copies of the protocol register made with SQLite's online backup. A copy holds the register as
// it stood at one moment, whatever this or another instance writes meanwhile, and is one plain
// file that needs no log beside it.

// The name of a day's copy, protocols-2026-12-09.db.
std::string DailyCopyName(std::chrono::year_month_day day);

// A copy on its way to the file target: written step by step under a temporary name beside it,
// and given target's name only when whole and on the disk. Nothing that stands under target is
// ever replaced.
class TRegisterCopy {
 public:
  // Starts the copy of the register as it stands now. Throws TRegisterError when the register
  // cannot be read or the temporary file cannot be made.
  TRegisterCopy(const std::string& registerFile, const std::string& target);
  // An unfinished copy leaves nothing behind.
  ~TRegisterCopy();
  TRegisterCopy(const TRegisterCopy&) = delete;
  TRegisterCopy& operator=(const TRegisterCopy&) = delete;

  // Copies up to pages more of the register (all for a negative number), or, once all are
  // copied, puts the copy under its name; true then: the copy is done, under its name or dropped
  // because something took the name meanwhile (Made tells). Throws TRegisterError.
  bool Step(int pages);
  bool Made() const { return made_; }
  // The register's pages, and how many of them are copied; 0 and 0 before the first step.
  int PagesTotal() const { return total_; }
  int PagesDone() const { return done_; }

 private:
  struct TCloser {
    void operator()(sqlite3* db) const;
  };
  struct TBackupFinisher {
    void operator()(sqlite3_backup* backup) const;
  };
  [[noreturn]] void Fail(const std::string& reason) const;
  void Complete();

  std::string registerFile_;
  std::string target_;
  std::string temporary_;
  std::unique_ptr<sqlite3, TCloser> source_;
  std::unique_ptr<sqlite3, TCloser> copy_;
  std::unique_ptr<sqlite3_backup, TBackupFinisher> backup_;
  bool copied_ = false;
  bool finished_ = false;
  int unsynced_ = 0;
  bool made_ = false;
  int total_ = 0;
  int done_ = 0;
};

// Removes the oldest daily copies in folder beyond the newest keep, and what copies of days before
// the newest one left unfinished; files named otherwise stay. Throws TRegisterError when one cannot
// be removed.
void RemoveOldDailyCopies(const std::string& folder, std::size_t keep);

// How many protocols the register holds. Throws TRegisterError.
std::int64_t ProtocolCount(const std::string& registerFile);

// How many protocols a copy holds, once it is found whole (PRAGMA integrity_check) and a register
// of a schema this program reads. Throws TRegisterError with the reason otherwise. The copy is only
// read.
std::int64_t CheckedCopyCount(const std::string& copyFile);

// Replaces the register's protocols with those of a copy CheckedCopyCount accepted, after keeping
// the register as it stood under keptFile, a name nothing stands under yet. Another instance
// writes nothing in between, so no protocol is in neither. Throws TRegisterError, with the register
// unchanged, when the copy cannot be kept or the restore fails.
void RestoreRegister(const std::string& registerFile, const std::string& copyFile,
                     const std::string& keptFile);
