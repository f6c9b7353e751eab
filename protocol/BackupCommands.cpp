#include "protocol/BackupCommands.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProgressDialog>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>

#include "base/TextFile.h"
#include "protocol/ProtocolArchive.h"
#include "register/ProtocolRegister.h"
#include "register/RegisterBackup.h"
#include "ui/MsgBox.h"

namespace {

// As the daily copy: steps of a quarter of a megabyte, the events handled after every slice.
constexpr int kPagesPerStep = 64;
constexpr qint64 kSliceMs = 15;

// The folder the register keeps its pages in, beside it.
QString PdfFolderName() {
  return QFileInfo(QString::fromStdString(ProtocolPdfName(0))).path();
}

// Runs step until it says it is done, handing the GUI thread back to the event loop after every
// slice and showing value() then; false when the operator cancelled.
bool RunInSlices(QProgressDialog& progress, const std::function<bool()>& step,
                 const std::function<int()>& value) {
  QElapsedTimer slice;
  slice.start();
  for (bool done = false; !done;) {
    done = step();
    if (done || slice.elapsed() >= kSliceMs) {
      progress.setValue(value());
      QApplication::processEvents();
      if (progress.wasCanceled()) return false;
      slice.restart();
    }
  }
  return true;
}

// A new folder inside folder under name, or under name with a number when that is taken; empty
// when none can be made.
QString NewFolder(const QString& folder, const QString& name) {
  QDir parent(folder);
  for (int n = 1; n <= 100; ++n) {
    const QString candidate = n == 1 ? name : QString("%1 (%2)").arg(name, QString::number(n));
    if (parent.mkdir(candidate)) return parent.filePath(candidate);
  }
  return {};
}

// Over what holds the GUI thread: checking and restoring a register of a million protocols takes
// seconds.
struct TWaitCursor {
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

void Tell(QWidget* owner, const QString& text) {
  MsgBox::Show(owner, {text, owner->window()->windowTitle(), TMsgIcon::Information,
                       MsgBox::TButtons::Ok, false});
}

// Copies the register and its pages into the made folder; the failure's reason in failure,
// nothing in it when cancelled.
bool CopyInto(QProgressDialog& progress, const std::string& registerFile, const QString& made,
              int& pdfCount, std::string& failure) {
  const QDir registerDir = QFileInfo(QString::fromStdString(registerFile)).absoluteDir();
  const QString pdfFolder = PdfFolderName();
  QStringList pdfs;
  QDirIterator listing(registerDir.filePath(pdfFolder), QDir::Files);
  progress.setLabelText("Чтение папки \"" + registerDir.filePath(pdfFolder) + "\"...");
  const auto listed = [&] {
    if (!listing.hasNext()) return true;
    pdfs << listing.next();
    return false;
  };
  if (!RunInSlices(progress, listed, [] { return 0; })) return false;

  progress.setLabelText("Копирование журнала протоколов...");
  TRegisterCopy copy(registerFile,
                     QDir(made)
                         .filePath(QFileInfo(QString::fromStdString(registerFile)).fileName())
                         .toStdString());
  const auto copied = [&] {
    const bool done = copy.Step(kPagesPerStep);
    progress.setMaximum(copy.PagesTotal());
    return done;
  };
  if (!RunInSlices(progress, copied, [&] { return copy.PagesDone(); })) return false;

  const QDir pdfTarget(QDir(made).filePath(pdfFolder));
  if (!QDir(made).mkdir(pdfFolder)) {
    failure = "не удалось создать папку \"" + pdfTarget.path().toStdString() + "\"";
    return false;
  }
  progress.setLabelText("Копирование протоколов PDF...");
  progress.setMaximum(static_cast<int>(pdfs.size()));
  pdfCount = 0;
  const auto pdfCopied = [&] {
    if (pdfCount == pdfs.size()) return true;
    const QString pdf = pdfs[pdfCount];
    // Without an option, copy_file never replaces a file; it is thrice as fast as QFile::copy,
    // which counts with a hundred thousand pages.
    std::error_code ec;
    if (!std::filesystem::copy_file(
            FilePath(pdf.toStdString()),
            FilePath(pdfTarget.filePath(QFileInfo(pdf).fileName()).toStdString()), ec)) {
      failure = "не удалось скопировать файл \"" + QDir::toNativeSeparators(pdf).toStdString() +
                "\": " + ec.message();
      return true;
    }
    ++pdfCount;
    return false;
  };
  return RunInSlices(progress, pdfCopied, [&] { return pdfCount; }) && failure.empty();
}

}  // namespace

bool BackUpRegister(QWidget* owner, const std::string& registerFile, const QString& folder,
                    const QDateTime& now) {
  const QString failed = "Не удалось сохранить резервную копию журнала протоколов в папке \"" +
                         QDir::toNativeSeparators(folder) + "\": ";
  const QString made =
      NewFolder(folder, "Журнал протоколов " + now.toString("yyyy-MM-dd HH-mm-ss"));
  if (made.isEmpty()) {
    MsgBox::ReportError(failed + "не удалось создать в ней папку");
    return false;
  }
  QProgressDialog progress(owner);
  // Folder names are shown as they are, never as markup.
  auto* label = new QLabel(&progress);
  label->setTextFormat(Qt::PlainText);
  progress.setLabel(label);
  progress.setWindowTitle("Резервная копия журнала протоколов");
  progress.setAccessibleName("Ход резервного копирования");
  progress.setCancelButtonText("Отмена");
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setAutoReset(false);
  progress.setAutoClose(false);
  progress.setMinimumDuration(0);
  progress.setRange(0, 0);
  progress.show();

  int pdfCount = 0;
  std::string failure;
  bool done = false;
  try {
    done = CopyInto(progress, registerFile, made, pdfCount, failure);
  } catch (const TRegisterError& e) {
    failure = e.what();
  }
  progress.close();
  if (done) {
    Tell(owner, QString("Резервная копия журнала протоколов сохранена в папке \"%1\": протоколов "
                        "PDF: %2.")
                    .arg(QDir::toNativeSeparators(made), QString::number(pdfCount)));
    return true;
  }
  // Only the folder made above goes; a half-made copy is not mistaken for a whole one later.
  QDir(made).removeRecursively();
  if (!failure.empty()) MsgBox::ReportError(failed + QString::fromStdString(failure));
  return false;
}

bool RestoreRegisterFrom(QWidget* owner, const std::string& registerFile, const QString& copyFile,
                         const QDateTime& now) {
  const std::string copy = QDir::toNativeSeparators(copyFile).toStdString();
  std::int64_t copyCount = 0;
  QString registerState = "В журнале протоколов сейчас протоколов: 0.";
  try {
    if (QFileInfo(copyFile).canonicalFilePath() ==
        QFileInfo(QString::fromStdString(registerFile)).canonicalFilePath())
      throw TRegisterError("Файл \"" + copy + "\" - сам журнал протоколов, а не его копия");
    const TWaitCursor wait;
    copyCount = CheckedCopyCount(copy);
  } catch (const TRegisterError& e) {
    MsgBox::ReportError(e.what());
    return false;
  }
  // A register that cannot be read is what a restore is for: the question says so instead.
  try {
    if (FileExists(registerFile))
      registerState =
          QString("В журнале протоколов сейчас протоколов: %1.").arg(ProtocolCount(registerFile));
  } catch (const TRegisterError& e) {
    registerState = QString::fromStdString(e.what()) + ".";
  }
  const QString kept =
      QFileInfo(QString::fromStdString(registerFile))
          .absoluteDir()
          .filePath("protocols-before-restore-" + now.toString("yyyy-MM-dd-HHmmss") + ".db");
  const QString question = QString(
                               "%1\rВ копии \"%2\" протоколов: %3.\r\rЗаменить журнал копией? "
                               "Нынешний журнал сохранится в файле \"%4\".")
                               .arg(registerState, QString::fromStdString(copy),
                                    QString::number(copyCount), QDir::toNativeSeparators(kept));
  if (MsgBox::Show(owner, {question, owner->window()->windowTitle(), TMsgIcon::Warning,
                           MsgBox::TButtons::YesNo, false}) != MsgBox::TAnswer::Yes)
    return false;
  try {
    const TWaitCursor wait;
    RestoreRegister(registerFile, copy, QDir::toNativeSeparators(kept).toStdString());
  } catch (const TRegisterError& e) {
    MsgBox::ReportError(e.what());
    return false;
  }
  Tell(owner, QString("Журнал протоколов восстановлен из копии \"%1\": протоколов: %2. Прежний "
                      "журнал сохранён в файле \"%3\".")
                  .arg(QString::fromStdString(copy), QString::number(copyCount),
                       QDir::toNativeSeparators(kept)));
  return true;
}
