#pragma once

#include <cstdint>
#include <string>

#include "register/ProtocolRegister.h"

struct TReportPage;

// Every confirmed protocol is kept twice: its facts in the register (protocols.db in the working
// folder) and its page, exactly as printed, as a PDF in the folder "Протоколы" beside it.

// The register's file: the working folder's, or the user's folder's copy when the program had to
// keep its files there.
std::string RegisterFileName();

// The stored PDF of a protocol, named relative to the register's folder as the register keeps it.
std::string ProtocolPdfName(std::int64_t number);

// Writes the page as record.pdfFile beside the register, then records it. A page that cannot be
// written is recorded without its PDF. Returns what failed, empty when both were kept; throws
// nothing, so that the paper is never lost because of the register.
std::string KeepProtocol(const std::string& registerFile, TProtocolRecord record,
                         const TReportPage& page);
