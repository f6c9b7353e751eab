#include <QtTest>

#include "base/TextFile.h"
#include "report/ReportError.h"
#include "report/ReportFile.h"
#include "report/SaveName.h"
#include "tests/support/TempDir.h"

namespace {

// Fields A and B, and an unnamed caption between them.
TReportPage PageWith(const QString& a, const QString& b) {
  TReportPage page;
  page.title = "Протокол №1";
  for (const auto& [name, text] : {std::pair{"A", a}, {"", QString("Подпись:")}, {"B", b}})
    page.fields.push_back({.name = name, .text = text, .rect = {}});
  return page;
}

}  // namespace

class ReportFileTest : public QObject {
  Q_OBJECT

 private slots:
  void textsComeBackAsSaved_data();
  void textsComeBackAsSaved();
  void bytesOnDiskAreWindows1251WithCrLf();
  void loadTakesOnlyTheFieldsTheFileNames();
  void foreignFileIsRejected_data();
  void foreignFileIsRejected();
  void saveNameGetsTheChosenKindsEnding_data();
  void saveNameGetsTheChosenKindsEnding();

 private:
  TempDir dir_;
};

void ReportFileTest::textsComeBackAsSaved_data() {
  QTest::addColumn<QString>("text");
  QTest::newRow("cyrillic") << "Иванова Мария — «Золото 585», №17";
  QTest::newRow("line breaks") << "одна\nдве\r\nтри\rчетыре\n";
  QTest::newRow("backslashes") << "C:\\new\\ \\n is no break, \\\\n neither\\";
  QTest::newRow("equals signs and spaces") << "   =a=b=   ";
  QTest::newRow("empty") << "";
}

void ReportFileTest::textsComeBackAsSaved() {
  QFETCH(QString, text);
  const QString file = QString::fromStdString(dir_.File("saved.kvzr"));
  TReportPage saved = PageWith(text, "второе");
  saved.title = text;
  SaveReport(saved, file);
  TReportPage loaded = PageWith("прежнее", "прежнее");
  LoadReport(loaded, file);
  QCOMPARE(loaded.title, text);
  QCOMPARE(loaded.Field("A").text, text);
  QCOMPARE(loaded.Field("B").text, QString("второе"));
}

void ReportFileTest::bytesOnDiskAreWindows1251WithCrLf() {
  SaveReport(PageWith("Ж\\\nx", "ё"), QString::fromStdString(dir_.File("bytes.kvzr")));
  QCOMPARE(dir_.Read("bytes.kvzr"), std::string("[KVZ-03 report 1]\r\n"
                                                "Title=\xcf\xf0\xee\xf2\xee\xea\xee\xeb \xb9"
                                                "1\r\n"
                                                "Field.A=\xc6\\\\\\nx\r\n"
                                                "Field.B=\xb8\r\n"));
}

void ReportFileTest::loadTakesOnlyTheFieldsTheFileNames() {
  // As a later version might write it: a key this one does not know, a field it does not have,
  // no field B; and with LF line ends.
  dir_.Write("hand.kvzr",
             "[KVZ-03 report 1]\nTitle=\xcf\xf0\xee\xf2\xee\xea\xee\xeb\n"
             "Printer=Office\n\nField.Unknown=x\nField.A=\xcf\xf0\xe8\xe1\xee\xf0\n");
  TReportPage page = PageWith("старое", "остается");
  LoadReport(page, QString::fromStdString(dir_.File("hand.kvzr")));
  QCOMPARE(page.title, QString("Протокол"));
  QCOMPARE(page.Field("A").text, QString("Прибор"));
  QCOMPARE(page.Field("B").text, QString("остается"));
  QCOMPARE(page.fields[1].text, QString("Подпись:"));
}

void ReportFileTest::foreignFileIsRejected_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("error");  // after the file's name
  const QString foreign = " не является сохраненным протоколом KVZ-03";
  QTest::newRow("empty") << QByteArray() << foreign;
  QTest::newRow("PDF") << QByteArray("%PDF-1.4\r\n%\xe2\xe3\r\n") << foreign;
  QTest::newRow("settings file") << QByteArray("[Settings]\r\nCOMName=COM4\r\n") << foreign;
  QTest::newRow("later format") << QByteArray("[KVZ-03 report 2]\r\nTitle=x\r\n") << foreign;
  QTest::newRow("line without a value") << QByteArray("[KVZ-03 report 1]\r\nTitle=x\r\nField.A\r\n")
                                        << " поврежден: строка 3 не имеет вида \"имя=значение\"";
}

void ReportFileTest::foreignFileIsRejected() {
  QFETCH(QByteArray, bytes);
  QFETCH(QString, error);
  dir_.Write("foreign.kvzr", bytes.toStdString());
  const QString file = QString::fromStdString(dir_.File("foreign.kvzr"));
  TReportPage page = PageWith("a", "b");
  try {
    LoadReport(page, file);
    QFAIL("loaded");
  } catch (const TReportError& e) {
    QCOMPARE(QString::fromStdString(e.what()), "Файл \"" + file + "\"" + error);
  }
  QCOMPARE(page.title, QString("Протокол №1"));  // untouched
  QCOMPARE(page.Field("A").text, QString("a"));
}

void ReportFileTest::saveNameGetsTheChosenKindsEnding_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("protocolFile");
  QTest::addColumn<QString>("saved");
  QTest::newRow("bare, PDF") << "протокол" << false << "протокол.pdf";
  QTest::newRow("bare, protocol file") << "протокол" << true << "протокол.kvzr";
  QTest::newRow("PDF in capitals") << "протокол.PDF" << true << "протокол.PDF";
  QTest::newRow("protocol file, mixed case") << "протокол.Kvzr" << false << "протокол.Kvzr";
  QTest::newRow("another ending") << "протокол.txt" << false << "протокол.txt.pdf";
  QTest::newRow("dot in the folder") << "v1.2/протокол" << true << "v1.2/протокол.kvzr";
}

void ReportFileTest::saveNameGetsTheChosenKindsEnding() {
  QFETCH(QString, name);
  QFETCH(bool, protocolFile);
  QFETCH(QString, saved);
  QCOMPARE(CompleteSaveName(name, protocolFile), saved);
}

QTEST_GUILESS_MAIN(ReportFileTest)
#include "ReportFileTest.moc"
