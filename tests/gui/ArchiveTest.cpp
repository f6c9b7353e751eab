#include <sqlite3.h>

#include <QProcess>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/TextFile.h"
#include "register/ProtocolRegister.h"
#include "tests/gui/GuiHarness.h"
#include "tests/report/PdfWords.h"

namespace fs = std::filesystem;

namespace {

// A protocol made by an earlier run of the program at the harness's clock: number 1500.
void EarlierRun(GuiHarness& gui) {
  TPrintForm([&] { return gui.now; }, [](TReportPage&) {}).FillAndPreview({}, {});
}

// A file in the folder; Cyrillic names pass through UTF-8 on every system.
std::string In(const TempDir& dir, const std::string& name) {
  return dir.Path() + name;
}

std::string Bytes(const std::string& file) {
  std::ifstream in(FilePath(file), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Sql(const std::string& file, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

// Garbage over the register's second page, the table's first.
void Damage(const std::string& file) {
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(4096);
  f << std::string(4096, '\x5a');
}

}  // namespace

class ArchiveTest : public QObject {
  Q_OBJECT

 private slots:
  void twoInstancesNeverShareANumberOrAPage();
  void noFailureReplacesAPage_data();
  void noFailureReplacesAPage();
  void fullDiskIsNamed();
};

void ArchiveTest::twoInstancesNeverShareANumberOrAPage() {
  TempDir dir;
  const QString writer = QCoreApplication::applicationDirPath() + "/archive_writer";
  QProcess a, b;
  a.start(writer, {QString::fromStdString(dir.Path()), "А", "40"});
  b.start(writer, {QString::fromStdString(dir.Path()), "Б", "40"});
  for (QProcess* p : {&a, &b}) {
    QVERIFY(p->waitForFinished(120000));
    QVERIFY2(p->exitCode() == 0, p->readAllStandardError());
  }
  const auto rows = TProtocolRegister(dir.File("protocols.db")).Page({}, {}, 100);
  QCOMPARE(rows.size(), std::size_t(80));
  std::set<std::int64_t> numbers;
  for (const TProtocolRecord& row : rows) {
    numbers.insert(row.number);
    // The page under the row's name is that very protocol's.
    const auto words = PdfWords(QString::fromStdString(In(dir, row.pdfFile)));
    QVERIFY2(words.count("№" + QString::number(row.number)), row.pdfFile.c_str());
    QVERIFY2(words.count(QString::fromStdString(row.client)), row.pdfFile.c_str());
  }
  QCOMPARE(numbers.size(), std::size_t(80));
}

void ArchiveTest::noFailureReplacesAPage_data() {
  QTest::addColumn<QString>("failure");
  QTest::addColumn<QString>("box");
  QTest::newRow("newer register") << QString("newer") << QString("более новой версией");
  QTest::newRow("damaged register") << QString("damaged") << QString("повреждён");
  QTest::newRow("link at the register's log") << QString("log link") << QString("protocols.db");
  QTest::newRow("link at the page's name") << QString("page link") << QString();
  QTest::newRow("link to nowhere at the page's name") << QString("dangling page link") << QString();
}

// A second run in the same 86.4 seconds: the register cannot give it a number, or a link stands
// where its page would go. It still gets a number and a page of its own, and nothing else moves.
void ArchiveTest::noFailureReplacesAPage() {
  QFETCH(QString, failure);
  QFETCH(QString, box);
  GuiHarness gui;
  const std::string db = gui.dir.File("protocols.db");
  const std::string victim = gui.dir.File("victim.pdf");
  gui.dir.Write("victim.pdf", "victim");
  fs::create_directory(FilePath(In(gui.dir, "Резервные копии")));
  std::ofstream backup(FilePath(In(gui.dir, "Резервные копии/protocols-2013-01-18.db")));
  std::error_code ec;
  if (failure.contains("page")) {
    const TProtocolRegister created(db);
    fs::create_directory(FilePath(In(gui.dir, "Протоколы")));
    const std::string target = failure.startsWith("dangling") ? gui.dir.File("nowhere/x") : victim;
    fs::create_symlink(target, FilePath(In(gui.dir, "Протоколы/1500.pdf")), ec);
  } else {
    EarlierRun(gui);
    if (failure == "newer") Sql(db, "PRAGMA user_version = 99");
    if (failure == "damaged") Damage(db);
    if (failure == "log link") fs::create_symlink(gui.dir.File("nowhere/log"), db + "-wal", ec);
  }
  if (ec) QSKIP("this system makes no links");
  const std::string page = failure.contains("page") ? "" : Bytes(In(gui.dir, "Протоколы/1500.pdf"));
  gui.StartIdle();
  gui.printForm->FillAndPreview({}, {});

  QCOMPARE(gui.previews.back().title, QString("Протокол №1501"));
  QVERIFY(fs::is_regular_file(fs::symlink_status(FilePath(In(gui.dir, "Протоколы/1501.pdf")))));
  QCOMPARE(gui.dir.Read("victim.pdf"), std::string("victim"));
  QVERIFY(!fs::exists(gui.dir.File("nowhere")));
  if (!page.empty()) QCOMPARE(Bytes(In(gui.dir, "Протоколы/1500.pdf")), page);
  QCOMPARE(gui.boxes.size(), std::size_t(box.isEmpty() ? 0 : 1));
  if (!box.isEmpty()) QVERIFY2(gui.boxes[0].text.contains(box), qPrintable(gui.boxes[0].text));
  if (failure == "damaged") QVERIFY(gui.boxes[0].text.contains("protocols-2013-01-18.db"));
}

void ArchiveTest::fullDiskIsNamed() {
  const QByteArray disk = qgetenv("KVZ_SMALL_DISK");
  if (disk.isEmpty()) QSKIP("needs a small disk of its own: tests/gui/small-disk.sh");
  GuiHarness gui;
  const WorkDirScope folder(disk.toStdString() + "/");
  EarlierRun(gui);
  const std::string page = Bytes(disk.toStdString() + "/Протоколы/1500.pdf");
  std::ofstream filler(disk.toStdString() + "/filler", std::ios::binary);
  while (filler.write(std::string(4096, 'x').data(), 4096) && filler.flush()) {
  }
  gui.StartIdle();
  gui.printForm->FillAndPreview({}, {});
  QCOMPARE(gui.previews.size(), std::size_t(1));
  QCOMPARE(gui.boxes.size(), std::size_t(1));
  QVERIFY2(gui.boxes[0].text.contains("Недостаточно места на диске"),
           qPrintable(gui.boxes[0].text));
  QCOMPARE(Bytes(disk.toStdString() + "/Протоколы/1500.pdf"), page);
}

QTEST_MAIN(ArchiveTest)
#include "ArchiveTest.moc"
