#include <sys/stat.h>

#include <QFileDialog>
#include <QFileSystemModel>
#include <QtTest>

#include "base/TextFile.h"
#include "protocol/BackupCommands.h"
#include "protocol/DailyBackup.h"
#include "register/RegisterBackup.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/FilledProtocol.h"

namespace {

// How many locks this process holds on the file as Linux lists them; -1 where the system does not.
int LocksHeld(const std::string& file) {
  QFile locks("/proc/locks");
  struct stat st {};
  if (QSysInfo::kernelType() != "linux" || !locks.open(QIODevice::ReadOnly) ||
      stat(file.c_str(), &st) != 0)
    return -1;
  const QRegularExpression mine(QString(" %1 [0-9a-f:]+:%2 ")
                                    .arg(QCoreApplication::applicationPid())
                                    .arg(static_cast<qulonglong>(st.st_ino)));
  return static_cast<int>(QString(locks.readAll()).count(mine));
}

// The register window over three protocols with their pages, shown.
struct Shown {
  Shown() {
    TProtocolRegister reg(RegisterFileName());
    const QDir folder(QString::fromStdString(gui.dir.Path()));
    folder.mkdir("Протоколы");
    for (std::int64_t n = 101; n <= 103; ++n) {
      reg.Record(FilledProtocol(n, "2026-12-01T09:05:00", "Петрова"));
      QFile page(folder.filePath(QString::fromStdString(ProtocolPdfName(n))));
      QVERIFY(page.open(QIODevice::WriteOnly) && page.write("%PDF " + QByteArray::number(n)) > 0);
    }
    form.show();
  }
  GuiHarness gui;
  TRegisterForm& form = (gui.StartIdle(), *gui.registerForm);
};

}  // namespace

class BackupTest : public QObject {
  Q_OBJECT

 private slots:
  void dailyCopyFollowsTheFirstProtocolWithoutDelayingIt();
  void backupCopiesTheRegisterAndItsPagesIntoANewFolder();
  void restoreAsksThenReplacesAndKeepsTheReplaced();
};

void BackupTest::dailyCopyFollowsTheFirstProtocolWithoutDelayingIt() {
  GuiHarness gui;
  gui.StartIdle();
  const std::string daily = BackupFolderOf(RegisterFileName()) + "/protocols-2013-01-19.db";
  gui.printForm->FillAndPreview({}, {});
  QCOMPARE(gui.previews.size(), std::size_t(1));
  QVERIFY(!FileExists(daily));
  QTRY_VERIFY(FileExists(daily));
  QCOMPARE(CheckedCopyCount(daily), 1);

  // Copies that cannot be made, on two days: one box in a run.
  TDailyBackup backup;
  QDir(QString::fromStdString(gui.dir.Path())).mkdir("other");
  gui.dir.Write("other/protocols.db", "");
  QFile file(QString::fromStdString(gui.dir.File("other")) + "/Резервные копии");
  QVERIFY(file.open(QIODevice::WriteOnly));
  backup.ProtocolKept(gui.dir.File("other/protocols.db"), QDate(2026, 12, 9));
  QTRY_VERIFY(!backup.Busy());
  backup.ProtocolKept(gui.dir.File("other/protocols.db"), QDate(2026, 12, 10));
  QTRY_VERIFY(!backup.Busy());
  QCOMPARE(gui.boxes.size(), std::size_t(1));
  QVERIFY(gui.boxes[0].text.startsWith("Не удалось сделать резервную копию журнала протоколов"));
}

void BackupTest::backupCopiesTheRegisterAndItsPagesIntoANewFolder() {
  Shown shown;
  const QString folder = QString::fromStdString(shown.gui.dir.File("usb"));
  QDir().mkpath(folder);
  const QDateTime now(QDate(2026, 12, 9), QTime(14, 30, 5));
  for (const QString name :
       {"Журнал протоколов 2026-12-09 14-30-05", "Журнал протоколов 2026-12-09 14-30-05 (2)"}) {
    QVERIFY(BackUpRegister(&shown.form, RegisterFileName(), folder, now));
    const QDir made(QDir(folder).filePath(name));
    QCOMPARE(ProtocolCount(made.filePath("protocols.db").toStdString()), 3);
    QCOMPARE(QDir(made.filePath("Протоколы")).entryList(QDir::Files),
             QStringList({"101.pdf", "102.pdf", "103.pdf"}));
    QFile page(made.filePath("Протоколы/102.pdf"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    QCOMPARE(page.readAll(), QByteArray("%PDF 102"));
  }
  QCOMPARE(shown.gui.boxes.size(), std::size_t(2));
  QVERIFY(shown.gui.boxes[1].text.endsWith("протоколов PDF: 3."));
  // A register that cannot be copied leaves no folder behind.
  QVERIFY(!BackUpRegister(&shown.form, shown.gui.dir.File("нет.db"), folder, now));
  QCOMPARE(QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
}

void BackupTest::restoreAsksThenReplacesAndKeepsTheReplaced() {
  Shown shown;
  const std::string copy = shown.gui.dir.File("copy.db");
  TRegisterCopy(RegisterFileName(), copy).Step(-1);
  TProtocolRegister(RegisterFileName())
      .Record(FilledProtocol(104, "2026-12-01T09:05:00", "Петрова"));
  shown.form.Refresh();
  shown.gui.dir.Write("damaged.db", std::string(8192, 'x'));
  const QDir folder(QString::fromStdString(shown.gui.dir.Path()));
  const struct {
    const char* copy;
    MsgBox::TAnswer answer;
    std::size_t rows;
    const char* lastBox;
  } cases[] = {
      {"damaged.db", MsgBox::TAnswer::Yes, 4, "Копия журнала протоколов"},
      {"copy.db", MsgBox::TAnswer::No, 4, "В журнале протоколов сейчас протоколов: 4.\rВ копии"},
      {"copy.db", MsgBox::TAnswer::Yes, 3, "Журнал протоколов восстановлен из копии"},
  };
  for (const auto& c : cases) {
    shown.gui.answer = c.answer;
    QTimer::singleShot(0, &shown.form, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      dialog->selectFile(folder.filePath(c.copy));
      // Listed with the register beside the copy, by then told apart from each other.
      auto* model = dialog->findChild<QFileSystemModel*>();
      QTRY_VERIFY(model->rowCount(model->index(folder.path())) >= 3);
      static_cast<QDialog*>(dialog)->accept();
    });
    shown.form.RestoreButton->click();
    QCOMPARE(shown.form.ShownRows().size(), c.rows);
    QVERIFY2(shown.gui.boxes.back().text.startsWith(c.lastBox),
             qPrintable(shown.gui.boxes.back().text));
  }
  QVERIFY(shown.gui.boxes[1].text.contains("В копии \"" + QString::fromStdString(copy) +
                                           "\" протоколов: 3."));
  const QStringList kept = folder.entryList({"protocols-before-restore-*.db"});
  QCOMPARE(kept.size(), 1);
  QCOMPARE(ProtocolCount(folder.filePath(kept[0]).toStdString()), 4);
  // The open window still holds the register's locks: the dialogs never read it.
  QVERIFY(LocksHeld(RegisterFileName()) != 0);
}

KVZ_WINDOW_TEST_MAIN(BackupTest, false)

#include "BackupTest.moc"
