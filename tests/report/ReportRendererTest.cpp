#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QtTest>
#include <map>

#include "report/ReportRenderer.h"
#include "tests/report/PdfWords.h"
#include "tests/support/TempDir.h"

using TPlace = TReportField::TPlace;
Q_DECLARE_METATYPE(TReportPage)

namespace {

constexpr double kTolerance = 0.5;  // mm
constexpr double kMmPerPoint = 25.4 / 72;
// Liberation Serif, standing in for Times New Roman, reaches 0.891 em above the baseline and
// 0.216 em below: the height of a word's box in the PDF.
constexpr double kLineEm = 0.891 + 0.216;

TReportField Field(const QString& text, QRectF rect, double size, TPlace place = TPlace::AsGiven) {
  return {.name = {}, .text = text, .rect = rect, .pointSize = size, .place = place};
}

// Like the protocol: a heading across the band, a number against its right edge, a filled-in
// line, a wrapped note. The band starts at (30, 20) on the paper and is 165.1 mm wide, so its
// centre is at 112.55 mm and its right edge at 195.1 mm.
TReportPage SamplePage() {
  TReportPage page;
  page.title = "Протокол испытаний";
  page.fields = {Field("ПРОТОКОЛ ИСПЫТАНИЙ", {0, 0, 150, 12}, 22, TPlace::CentredOnBand),
                 Field("№ 4521", {0, 14, 50, 7}, 14, TPlace::FlushRightOnBand),
                 Field("Заказчик: Иванова", {20, 30, 120, 8}, 14),
                 Field("Образец сплава проверен прибором дважды подряд", {10, 50, 45, 40}, 14)};
  page.fields[0].bold = true;
  page.fields[2].bottomLine = true;
  return page;
}

bool HasInk(const TReportPage& page, const QRectF& mm) {
  constexpr double kPixelsPerMm = 10;
  QImage image(QSize(210, 297) * kPixelsPerMm, QImage::Format_RGB32);
  image.setDotsPerMeterX(static_cast<int>(kPixelsPerMm * 1000));
  image.setDotsPerMeterY(static_cast<int>(kPixelsPerMm * 1000));
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.scale(kPixelsPerMm, kPixelsPerMm);
  RenderPage(painter, page);
  const QRect area = QRectF(mm.topLeft() * kPixelsPerMm, mm.size() * kPixelsPerMm).toRect();
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (qGray(image.pixel(x, y)) < 128) return true;
  return false;
}

}  // namespace

class ReportRendererTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void wordsStandWhereTheFieldsPutThem_data();
  void wordsStandWhereTheFieldsPutThem();
  void wrappedTextStaysInsideTheField();
  void clippingAndFilling_data();
  void clippingAndFilling();

 private:
  TempDir dir_;
  std::map<QString, std::map<QString, QRectF>> words_;  // by output
};

void ReportRendererTest::initTestCase() {
  const QString pdf = QString::fromStdString(dir_.File("page.pdf"));
  RenderToPdf(SamplePage(), pdf);
  words_["PDF"] = PdfWords(pdf);
  // A printer keeps margins of its own; the page must still stand on the paper's corner.
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(dir_.File("printed.pdf")));
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageMargins(QMarginsF(12, 15, 12, 15), QPageLayout::Millimeter);
  PrintPage(printer, SamplePage());
  words_["printer"] = PdfWords(printer.outputFileName());
  QVERIFY2(!words_["PDF"].empty() && !words_["printer"].empty(),
           "no text from pdftotext (poppler-utils, see scripts/setup.sh)");
}

void ReportRendererTest::wordsStandWhereTheFieldsPutThem_data() {
  QTest::addColumn<QString>("output");
  QTest::addColumn<QString>("first");  // the line's first and last words
  QTest::addColumn<QString>("last");
  QTest::addColumn<double>("pointSize");
  QTest::addColumn<QString>("edge");  // the horizontal edge the field fixes
  QTest::addColumn<double>("x");
  QTest::addColumn<bool>("onLine");  // the descent ends on the bottom line, else text at the top
  QTest::addColumn<double>("y");
  for (const char* out : {"PDF", "printer"}) {
    QTest::addRow("%s: centred on the band", out)
        << out << QString("ПРОТОКОЛ") << "ИСПЫТАНИЙ" << 22.0 << "centre" << 112.55 << false << 20.0;
    QTest::addRow("%s: flush right on the band", out)
        << out << QString("№") << "4521" << 14.0 << "right" << 195.1 << false << 34.0;
    QTest::addRow("%s: as given, on a bottom line", out)
        << out << QString("Заказчик:") << "Иванова" << 14.0 << "left" << 50.0 << true << 58.0;
    QTest::addRow("%s: as given, wrapped", out)
        << out << QString("Образец") << "сплава" << 14.0 << "left" << 40.0 << false << 70.0;
  }
}

void ReportRendererTest::wordsStandWhereTheFieldsPutThem() {
  QFETCH(QString, output);
  QFETCH(QString, first);
  QFETCH(QString, last);
  QFETCH(double, pointSize);
  QFETCH(QString, edge);
  QFETCH(double, x);
  QFETCH(bool, onLine);
  QFETCH(double, y);
  const auto& words = words_[output];
  QVERIFY2(words.count(first) && words.count(last), "the words are not in the PDF as text");
  const QRectF a = words.at(first), b = words.at(last);
  QCOMPARE(a.top(), b.top());  // one line

  const double at = edge == "left"    ? a.left()
                    : edge == "right" ? b.right()
                                      : (a.left() + b.right()) / 2;
  QVERIFY2(qAbs(at - x) <= kTolerance, qPrintable(QString("%1 edge at %2 mm").arg(edge).arg(at)));
  QVERIFY2(qAbs(a.height() - pointSize * kMmPerPoint * kLineEm) <= kTolerance / 2,
           qPrintable(QString("%1 mm tall").arg(a.height())));
  const double edgeY = onLine ? a.bottom() : a.top();
  QVERIFY2(qAbs(edgeY - y) <= kTolerance, qPrintable(QString("box edge at %1 mm").arg(edgeY)));
}

void ReportRendererTest::wrappedTextStaysInsideTheField() {
  const QRectF field(40, 70, 45, 40);
  QSet<double> lineTops;
  for (const QString& text : SamplePage().fields[3].text.split(' ')) {
    const QRectF box = words_["PDF"][text];
    QVERIFY2(field.adjusted(-kTolerance, -kTolerance, kTolerance, 0).contains(box),
             qPrintable(text));
    lineTops.insert(box.top());
  }
  QVERIFY(lineTops.size() >= 3);
}

void ReportRendererTest::clippingAndFilling_data() {
  QTest::addColumn<TReportPage>("page");
  QTest::addColumn<QRectF>("probe");  // mm on the paper
  QTest::addColumn<bool>("ink");
  TReportPage page;
  page.fields = {Field("ШШШШШШШШШШШШШШШШШШШШ", {0, 0, 30, 10}, 14)};
  page.fields[0].wordWrap = false;
  QTest::newRow("unwrapped text in the field") << page << QRectF(30, 20, 30, 10) << true;
  QTest::newRow("unwrapped text past the field") << page << QRectF(61, 20, 40, 10) << false;
  page.fields = {Field("Ш Ш Ш Ш Ш Ш Ш Ш Ш Ш Ш Ш", {0, 0, 10, 12}, 14)};
  QTest::newRow("wrapped text below the field") << page << QRectF(30, 33, 10, 30) << false;
  page.fields = {Field("ШШШШШШШШ", {0, 0, 60, 10}, 14), Field("", {20, 0, 40, 10}, 14)};
  QTest::newRow("transparent field over text") << page << QRectF(50, 20, 20, 10) << true;
  page.fields[1].transparent = false;
  QTest::newRow("opaque field over text") << page << QRectF(50, 20, 20, 10) << false;
  page.fields = {Field("Ш", {0, 0, 60, 10}, 14)};
  page.fields[0].bottomLine = true;
  QTest::newRow("bottom line past the text") << page << QRectF(80, 29.8, 9, 0.4) << true;
  QTest::newRow("bottom line ends with the field") << page << QRectF(91, 29.8, 9, 0.4) << false;
}

void ReportRendererTest::clippingAndFilling() {
  QFETCH(TReportPage, page);
  QFETCH(QRectF, probe);
  QFETCH(bool, ink);
  QCOMPARE(HasInk(page, probe), ink);
}

QTEST_MAIN(ReportRendererTest)
#include "ReportRendererTest.moc"
