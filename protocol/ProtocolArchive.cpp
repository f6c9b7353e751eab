#include "protocol/ProtocolArchive.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/Platform.h"
#include "base/TextFile.h"
#include "device/DirUn.h"
#include "protocol/DailyBackup.h"
#include "report/ReportError.h"

namespace {

constexpr char kRegisterFile[] = "protocols.db";
constexpr char kPdfFolder[] = "Протоколы";

QDir RegisterFolder(const std::string& registerFile) {
  return QFileInfo(QString::fromStdString(registerFile)).absoluteDir();
}

std::string Shown(const QString& fileName) {
  return QDir::toNativeSeparators(fileName).toStdString();
}

// Anything at all under the name, a link to nowhere included.
bool NameTaken(const QString& fileName) {
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(FilePath(fileName.toStdString()), ec);
  return status.type() != std::filesystem::file_type::not_found;
}

// The greatest number among the pages in the folder, for when the register cannot tell it.
std::int64_t HighestPageNumber(const QDir& folder) {
  std::int64_t highest = 0;
  const QDir pages(folder.filePath(kPdfFolder));
  for (const QString& name : pages.entryList({"*.pdf"}, QDir::Files, QDir::NoSort)) {
    bool number = false;
    const qint64 value = name.chopped(4).toLongLong(&number);
    if (number && value > highest) highest = value;
  }
  return highest;
}

// The newest of the daily copies of the register, which the operator restores a damaged one from.
QString NewestBackup(const std::string& registerFile) {
  const QDir backups(QString::fromStdString(BackupFolderOf(registerFile)));
  const QStringList copies =
      backups.entryList({"protocols-*.db"}, QDir::Files, QDir::Name | QDir::Reversed);
  return copies.isEmpty() ? QString() : backups.filePath(copies.first());
}

}  // namespace

std::string RegisterFileName() {
  const std::string existing = FileToRead(kRegisterFile);
  std::error_code ec;
  return std::filesystem::exists(FilePath(existing), ec) ? existing : FileToWrite(kRegisterFile);
}

std::string ProtocolPdfName(std::int64_t number) {
  return std::string(kPdfFolder) + "/" + std::to_string(number) + ".pdf";
}

TProtocolArchive::TProtocolArchive(TFileName registerFile)
    : registerFile_(std::move(registerFile)) {}

TProtocolArchive::~TProtocolArchive() {
  stopCheck_ = true;
}

void TProtocolArchive::StartCheck() {
  if (check_.valid()) return;
  checkedFile_ = registerFile_();
  whole_ = false;
  check_ = std::async(std::launch::async,
                      [file = checkedFile_, this] { return RegisterDamage(file, stopCheck_); });
}

std::string TProtocolArchive::Damage(const std::string& registerFile) {
  if (whole_ && registerFile == checkedFile_) return {};
  // A damaged register is checked again at every protocol: it may have been restored meanwhile.
  if (registerFile != checkedFile_ || !check_.valid()) {
    check_ = std::future<std::string>();
    StartCheck();
  }
  std::string damage = check_.get();
  whole_ = damage.empty() && registerFile == checkedFile_;
  if (whole_) return {};
  const QString backup = NewestBackup(registerFile);
  return "Журнал протоколов \"" + Shown(QString::fromStdString(registerFile)) + "\" повреждён (" +
         damage + "): протоколы в него не записываются. " +
         (backup.isEmpty() ? std::string("Резервных копий журнала нет.")
                           : "Последняя резервная копия журнала: \"" + Shown(backup) + "\".");
}

std::string TProtocolArchive::Keep(TProtocolRecord& record, std::int64_t floor,
                                   const TPdfFor& pdfFor) {
  const std::string registerFile = registerFile_();
  const QDir folder = RegisterFolder(registerFile);
  // Only the pages' own folder is made: a working folder that is gone stays gone, and the register
  // below reports it. A folder that cannot be made shows up as the page's own error.
  folder.mkdir(kPdfFolder);
  std::string failures;
  const auto fail = [&failures](const std::string& failure) {
    failures += (failures.empty() ? "" : "\r") + failure;
  };
  bool pageTried = false;
  // False when the number's page is on the disk already.
  const auto keepPage = [&](TProtocolRecord& entry) {
    const QString pdf = folder.filePath(QString::fromStdString(ProtocolPdfName(entry.number)));
    if (NameTaken(pdf)) return false;
    pageTried = true;
    entry.pdfFile = ProtocolPdfName(entry.number);
    try {
      const QByteArray bytes = pdfFor(entry.number);
      const std::string written = "Не удалось записать файл \"" + Shown(pdf) + "\"";
      switch (CreateNewFile(pdf.toStdString(), std::string_view(bytes.data(), bytes.size()))) {
        case TNewFile::kCreated:
          return true;
        case TNewFile::kNameTaken:
          return false;
        case TNewFile::kDiskFull:
          fail(written + ": Недостаточно места на диске");
          break;
        case TNewFile::kFailed:
          fail(written);
          break;
      }
    } catch (const TReportError& e) {
      fail(e.what());
    }
    entry.pdfFile.clear();
    return true;
  };

  floor = std::max(floor, lastNumber_ + 1);
  try {
    const std::string damage = Damage(registerFile);
    if (!damage.empty()) throw TRegisterError(damage);
    TProtocolRegister(registerFile).RecordNext(record, floor, keepPage);
  } catch (const TRegisterError& e) {
    fail(e.what());
  }
  if (!pageTried) {
    // The register could not give the number: its pages tell the numbers it holds.
    record.number = std::max(floor, HighestPageNumber(folder) + 1);
    while (!keepPage(record)) ++record.number;
  }
  lastNumber_ = record.number;
  return failures;
}
