#include "protocol/DailyBackup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <chrono>

#include "base/TextFile.h"
#include "register/ProtocolRegister.h"
#include "register/RegisterBackup.h"
#include "ui/MsgBox.h"

namespace {

constexpr char kBackupFolder[] = "Резервные копии";
// A step of 64 pages reads a quarter of a megabyte; steps go on until a slice of the GUI thread's
// time is spent, and the events waiting meanwhile are handled before the next slice. A register
// of a million protocols, a few hundred megabytes, is copied in a minute or two of such slices.
constexpr int kPagesPerStep = 64;
constexpr qint64 kSliceMs = 15;

std::chrono::year_month_day Day(const QDate& date) {
  return {std::chrono::year(date.year()), std::chrono::month(static_cast<unsigned>(date.month())),
          std::chrono::day(static_cast<unsigned>(date.day()))};
}

}  // namespace

std::string BackupFolderOf(const std::string& registerFile) {
  return QFileInfo(QString::fromStdString(registerFile))
      .absoluteDir()
      .filePath(kBackupFolder)
      .toStdString();
}

TDailyBackup::TDailyBackup(QObject* parent) : QObject(parent) {
  StepTimer.setInterval(0);
  connect(&StepTimer, &QTimer::timeout, this, &TDailyBackup::StepTimerTimer);
}

TDailyBackup::~TDailyBackup() = default;

void TDailyBackup::ProtocolKept(const std::string& registerFile, const QDate& day) {
  if (copy_ || StepTimer.isActive() || (day == tried_ && registerFile == registerFile_)) return;
  registerFile_ = registerFile;
  day_ = tried_ = day;
  // The copy begins on the next turn of the event loop: the protocol's preview opens first.
  StepTimer.start();
}

void TDailyBackup::Complete(const std::string& registerFile, const QDate& day) {
  StepTimer.stop();
  if (registerFile != registerFile_ || day != day_) copy_.reset();
  registerFile_ = registerFile;
  day_ = day;
  try {
    if (!copy_ && !Start()) return;
    while (!copy_->Step(-1)) {
    }
    Finish();
  } catch (const TRegisterError& e) {
    copy_.reset();
    Report(e.what());
  }
}

void TDailyBackup::StepTimerTimer() {
  try {
    if (!copy_ && !Start()) {
      StepTimer.stop();
      return;
    }
    QElapsedTimer slice;
    slice.start();
    while (!copy_->Step(kPagesPerStep)) {
      if (slice.elapsed() >= kSliceMs) return;
    }
    Finish();
  } catch (const TRegisterError& e) {
    StepTimer.stop();
    copy_.reset();
    Report(e.what());
  }
}

bool TDailyBackup::Start() {
  const std::string folder = BackupFolderOf(registerFile_);
  const std::string target = QDir(QString::fromStdString(folder))
                                 .filePath(QString::fromStdString(DailyCopyName(Day(day_))))
                                 .toStdString();
  // A register not made yet has nothing to copy; the failure to make it was reported already.
  if (!FileExists(registerFile_) || FileExists(target)) return false;
  // A folder that cannot be made shows up as the copy's own failure to make its file.
  QDir().mkpath(QString::fromStdString(folder));
  copy_ = std::make_unique<TRegisterCopy>(registerFile_, target);
  return true;
}

void TDailyBackup::Finish() {
  StepTimer.stop();
  copy_.reset();
  RemoveOldDailyCopies(BackupFolderOf(registerFile_), kKeptCopies);
}

void TDailyBackup::Report(const std::string& text) {
  if (reported_) return;
  reported_ = true;
  MsgBox::ReportError(QString::fromStdString(text));
}

TDailyBackup& DailyBackup() {
  static QPointer<TDailyBackup> backup;
  if (!backup) backup = new TDailyBackup(QCoreApplication::instance());
  return *backup;
}
