#include <QProcess>
#include <QtTest>

#include "report/ReportRenderer.h"
#include "tests/report/PdfWords.h"
#include "tests/support/FilledEntry.h"
#include "tests/support/TempDir.h"

namespace {

constexpr double kTolerance = 0.5;  // mm
// The band's top-left corner on the paper, and its right edge and centre.
constexpr double kBandLeft = 30, kBandTop = 20, kBandRight = 30 + 165.1;
constexpr double kBandCentre = 30 + 165.1 / 2;

// Fills the protocol as the entry dialog would and writes it to a PDF; returns its words.
std::map<QString, QRectF> FilledProtocolWords(const TempDir& dir, const TProtocolEntry& entry,
                                              TReportPage* filled = nullptr) {
  TPrintForm printForm([] { return QDateTime(QDate(2013, 1, 19), QTime(12, 0)); },
                       [&](TReportPage& page) {
                         RenderToPdf(page, QString::fromStdString(dir.File("protocol.pdf")));
                         if (filled != nullptr) *filled = page;
                       },
                       [&] { return dir.File("protocols.db"); });
  TMeasurement measurement;
  measurement.resultIndex = 2;
  printForm.FillAndPreview(measurement, entry);
  return PdfWords(QString::fromStdString(dir.File("protocol.pdf")));
}

}  // namespace

class ProtocolPageTest : public QObject {
  Q_OBJECT

 private slots:
  void wordsStandWhereTheLayoutPutsThem_data();
  void wordsStandWhereTheLayoutPutsThem();
  void titleLinesAreCentredAndSignatureFlushRight();
  void longEntriesAreSetSmallerNotCut();
};

void ProtocolPageTest::wordsStandWhereTheLayoutPutsThem_data() {
  QTest::addColumn<QString>("word");
  QTest::addColumn<double>("left");
  QTest::addColumn<double>("line");  // a caption's top; a filled-in field's bottom line
  QTest::addColumn<bool>("field");
  QTest::newRow("place caption") << "Место" << 0.0 << 29.6 << false;
  QTest::newRow("item caption") << "Изделие:" << 0.0 << 55.0 << false;
  QTest::newRow("material caption") << "Материал" << 0.0 << 64.6 << false;
  QTest::newRow("client caption") << "Сдатчик" << 0.0 << 92.1 << false;
  QTest::newRow("document caption") << "Документ:" << 0.0 << 112.2 << false;
  QTest::newRow("series caption") << "Серия" << 0.0 << 121.7 << false;
  QTest::newRow("conclusion caption") << "ЗАКЛЮЧЕНИЕ:" << 0.0 << 138.6 << false;
  QTest::newRow("operator caption") << "Измерения" << 27.5 << 168.3 << false;
  QTest::newRow("place") << "Тула" << 0.0 << 38.1 + 7.4 << true;
  QTest::newRow("item") << "Кольцо" << 20.1 << 54.0 + 7.4 << true;
  QTest::newRow("material") << "Золото" << 0.0 << 73.0 + 7.4 << true;
  QTest::newRow("client") << "Сидоров" << 0.0 << 100.5 + 7.4 << true;
  QTest::newRow("document") << "Паспорт" << 23.0 << 111.1 + 7.4 << true;
  QTest::newRow("number") << "70" << 33.9 << 120.7 + 7.4 << true;
  QTest::newRow("verdict") << "соответствует" << 40.2 << 137.6 + 7.7 << true;
}

void ProtocolPageTest::wordsStandWhereTheLayoutPutsThem() {
  QFETCH(QString, word);
  QFETCH(double, left);
  QFETCH(double, line);
  QFETCH(bool, field);
  TempDir dir;
  const auto words = FilledProtocolWords(dir, FilledEntry("Сидоров Семён"));
  QVERIFY2(words.count(word) == 1, qPrintable(word + " is not text in the PDF"));
  const QRectF box = words.at(word);
  const double indent = box.left() - (kBandLeft + left), onLine = field ? box.bottom() : box.top();
  // Three blanks open every filled-in field.
  QVERIFY2(field ? indent > 2 && indent < 6 : qAbs(indent) <= kTolerance,
           qPrintable(QString::number(box.left())));
  QVERIFY2(qAbs(onLine - (kBandTop + line)) <= kTolerance, qPrintable(QString::number(onLine)));
}

void ProtocolPageTest::titleLinesAreCentredAndSignatureFlushRight() {
  QLocale::setDefault(QLocale::c());  // whose own short date is English
  TempDir dir;
  const auto words = FilledProtocolWords(dir, FilledEntry("Сидоров Семён"));
  const QRectF protocol = words.at("Протокол");
  const QRectF number = words.at("№1500");
  QVERIFY(qAbs((protocol.left() + number.right()) / 2 - kBandCentre) <= kTolerance);
  QVERIFY(qAbs(protocol.top() - kBandTop) <= kTolerance);
  QVERIFY(qAbs(number.top() - protocol.top()) <= kTolerance);
  const QRectF from = words.at("от");
  QVERIFY(qAbs(from.top() - (kBandTop + 11.6)) <= kTolerance);
  QVERIFY(words.count("19.01.2013") == 1);

  const QRectF close = words.at("/");
  QVERIFY2(qAbs(close.right() - kBandRight) <= kTolerance,
           qPrintable(QString::number(close.right())));
  QVERIFY(words.count("Иванов") == 1);
  QVERIFY(qAbs(words.at("Иванов").bottom() - (kBandTop + 167.2 + 7.4)) <= kTolerance);
}

void ProtocolPageTest::longEntriesAreSetSmallerNotCut() {
  TProtocolEntry entry = FilledEntry("Сидоров Семён");
  entry.place = "Московская область, город Сергиев Посад, проспект Красной Армии";
  entry.operatorName = "Константинопольский-Щедрин";
  TempDir dir;
  TReportPage page;
  const auto words = FilledProtocolWords(dir, entry, &page);
  for (const char* word : {"Московская", "Армии", "Константинопольский-Щедрин"})
    QVERIFY2(words.count(QString::fromUtf8(word)) == 1, word);
  // Set smaller, but not out of sight: at least half the 18 pt the field is made for.
  const double halfSize = 9 * 25.4 / 72;
  QVERIFY(words.at("Армии").height() >= halfSize);
  QVERIFY(words.at("Константинопольский-Щедрин").height() >= halfSize);
  QVERIFY(words.at("Армии").right() <= kBandRight + kTolerance);
  QVERIFY(words.at("Армии").bottom() <= kBandTop + 38.1 + 7.4 + kTolerance);
  QVERIFY(words.at("Армии").top() >= kBandTop + 38.1 - kTolerance);
}

QTEST_MAIN(ProtocolPageTest)

#include "ProtocolPageTest.moc"
