#pragma once

#include <QDate>
#include <QObject>
#include <QTimer>
#include <cstddef>
#include <memory>
#include <string>

class TRegisterCopy;

// The folder of the register's copies, "Резервные копии" beside it.
std::string BackupFolderOf(const std::string& registerFile);

// One copy of the register a day, in the folder of copies beside it, the last 30 days kept. The
// day's first protocol starts it, and it is made in short steps on the GUI thread, so printing
// goes on and the windows answer while a large register is copied. A copy that cannot be made is
// reported once per run.
class TDailyBackup : public QObject {
  Q_OBJECT

 public:
  static constexpr std::size_t kKeptCopies = 30;

  explicit TDailyBackup(QObject* parent = nullptr);
  ~TDailyBackup() override;

  // A protocol was kept on day: the day's copy starts unless it is there, under way or tried
  // already in this run.
  void ProtocolKept(const std::string& registerFile, const QDate& day);
  // Makes the day's copy at once where it is missing, one under way included: the program closes.
  void Complete(const std::string& registerFile, const QDate& day);
  bool Busy() const { return StepTimer.isActive(); }

 private:
  void StepTimerTimer();
  // Starts the copy; false when there is nothing to copy or the day's copy is there.
  bool Start();
  void Finish();
  void Report(const std::string& text);

  std::string registerFile_;
  QDate day_;
  QDate tried_;
  std::unique_ptr<TRegisterCopy> copy_;
  bool reported_ = false;
  QTimer StepTimer;
};

// The program's own, living as long as the application object.
TDailyBackup& DailyBackup();
