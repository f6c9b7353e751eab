#pragma once

#include <QByteArray>
#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <string>

#include "register/ProtocolRegister.h"

// Every confirmed protocol is kept twice: its facts in the register (protocols.db in the working
// folder) and its page, exactly as printed, as a PDF in the folder "Протоколы" beside it.

// The register's file: the working folder's, or the user's folder's copy when the program had to
// keep its files there.
std::string RegisterFileName();

// The stored PDF of a protocol, named relative to the register's folder as the register keeps it.
std::string ProtocolPdfName(std::int64_t number);

// Numbers and keeps the protocols of one program run. A number is never given twice, and an
// archived page is never replaced, whatever happens to the register: two instances in one folder,
// a register that cannot be written, a clock set back, a file or link planted at a page's name.
class TProtocolArchive {
 public:
  using TFileName = std::function<std::string()>;
  // The protocol's page with the given number, as PDF bytes; throws TReportError.
  using TPdfFor = std::function<QByteArray(std::int64_t number)>;

  explicit TProtocolArchive(TFileName registerFile);
  ~TProtocolArchive();
  TProtocolArchive(const TProtocolArchive&) = delete;
  TProtocolArchive& operator=(const TProtocolArchive&) = delete;

  std::string RegisterFile() const { return registerFile_(); }

  // Starts the register's integrity check on a thread of its own, so that a large register is
  // checked while the operator works; the first protocol waits for it only if it is still running.
  void StartCheck();

  // Gives the protocol the first number from floor up that neither the register nor a page in
  // "Протоколы" holds, nor this run gave already; writes its page (pdfFor) there, as a new file,
  // and records it. A page that cannot be written is recorded without it; a register that cannot
  // be used, or is damaged, is left alone and the page kept all the same. Returns what failed,
  // empty when both were kept; throws nothing, so that the paper is never lost because of the
  // register.
  std::string Keep(TProtocolRecord& record, std::int64_t floor, const TPdfFor& pdfFor);

 private:
  // Why the register must not be written to; empty when it was found whole.
  std::string Damage(const std::string& registerFile);

  TFileName registerFile_;
  std::int64_t lastNumber_ = INT64_MIN;
  std::atomic<bool> stopCheck_{false};
  std::string checkedFile_;
  std::future<std::string> check_;
  bool whole_ = false;
};
