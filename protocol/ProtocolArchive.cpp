#include "protocol/ProtocolArchive.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <filesystem>
#include <system_error>

#include "base/TextFile.h"
#include "device/DirUn.h"
#include "report/ReportError.h"
#include "report/ReportRenderer.h"

namespace {

constexpr char kRegisterFile[] = "protocols.db";
constexpr char kPdfFolder[] = "Протоколы";

}  // namespace

std::string RegisterFileName() {
  const std::string existing = FileToRead(kRegisterFile);
  std::error_code ec;
  return std::filesystem::exists(FilePath(existing), ec) ? existing : FileToWrite(kRegisterFile);
}

std::string ProtocolPdfName(std::int64_t number) {
  return std::string(kPdfFolder) + "/" + std::to_string(number) + ".pdf";
}

std::string KeepProtocol(const std::string& registerFile, TProtocolRecord record,
                         const TReportPage& page) {
  std::string failures;
  try {
    const QDir folder = QFileInfo(QString::fromStdString(registerFile)).absoluteDir();
    // Only the PDFs' own folder is made: a working folder that is gone stays gone, and the
    // register below reports it. A folder that cannot be made shows up as the PDF's own error.
    folder.mkdir(kPdfFolder);
    RenderToPdf(page, folder.filePath(QString::fromStdString(record.pdfFile)));
  } catch (const TReportError& e) {
    failures = e.what();
    record.pdfFile.clear();
  }
  try {
    TProtocolRegister(registerFile).Record(record);
  } catch (const TRegisterError& e) {
    failures += (failures.empty() ? "" : "\r") + std::string(e.what());
  }
  return failures;
}
