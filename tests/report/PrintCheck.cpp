// The protocol through the program's own print path to a real print service, for
// scripts/print-tests.sh, which runs the service and its queues:
//
//   print_check print <queue> <reference.pdf>   prints a filled protocol on the queue as the
//       preview does after the print dialog, writes the same page as a PDF beside, and says what
//       the preview showed; exit status 1 when the print failed
//   print_check compare <reference.pdf> <printed.pdf>   checks the printed paper is A4 and the
//       title and captions stand where the reference has them, to 0.2 mm
#include <QPageSize>
#include <QPrinterInfo>
#include <QXmlStreamReader>
#include <cstdio>

#include "app/KVZApplication.h"
#include "protocol/PrintFormUn.h"
#include "report/ReportPreview.h"
#include "report/ReportRenderer.h"
#include "tests/report/PdfWords.h"
#include "tests/support/TempDir.h"

namespace {

constexpr double kTolerance = 0.2;  // mm
constexpr double kMmPerPoint = 25.4 / 72;

int Print(const QString& queue, const QString& reference) {
  TempDir dir;
  bool printed = false;
  TPrintForm printForm([] { return QDateTime(QDate(2026, 12, 8), QTime(12, 0)); },
                       [&](TReportPage& page) {
                         RenderToPdf(page, reference);
                         TReportPreview preview(page, nullptr,
                                                [](QWidget*, const QString&, const QString& text) {
                                                  std::printf("%s\n", text.toUtf8().constData());
                                                });
                         QPrinter& printer = preview.Printer();
                         printer.setPrinterName(queue);
                         // What the print dialog leaves: the queue's default paper and margins.
                         printer.setPageSize(QPrinterInfo(printer).defaultPageSize());
                         printer.setFullPage(false);
                         printed = preview.PrintTo(printer);
                       },
                       [&] { return dir.File("protocols.db"); });
  TProtocolEntry entry;
  entry.place = "Тула";
  entry.operatorName = "Петров";
  entry.object = "Кольцо";
  entry.materialIndex = 1;
  entry.material = "Золото 585 пробы (14kt)";
  TMeasurement measurement;
  measurement.resultIndex = 2;
  printForm.FillAndPreview(measurement, entry);
  return printed ? 0 : 1;
}

QSizeF PaperMm(const QString& pdf) {
  QXmlStreamReader xml(PdfBoxes(pdf));
  while (!xml.atEnd())
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("page"))
      return QSizeF(xml.attributes().value(QLatin1String("width")).toDouble(),
                    xml.attributes().value(QLatin1String("height")).toDouble()) *
             kMmPerPoint;
  return {};
}

int Compare(const QString& reference, const QString& printed) {
  int faults = 0;
  const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
  const QSizeF paper = PaperMm(printed);
  if (qAbs(paper.width() - a4.width()) > kTolerance ||
      qAbs(paper.height() - a4.height()) > kTolerance) {
    std::printf("paper %.1f x %.1f mm, not A4\n", paper.width(), paper.height());
    ++faults;
  }
  const auto expected = PdfWords(reference), got = PdfWords(printed);
  for (const char* text : {"Протокол", "Место", "Изделие:", "Материал", "Сдатчик",
                           "Документ:", "Серия", "ЗАКЛЮЧЕНИЕ:", "Измерения"}) {
    const QString word = QString::fromUtf8(text);
    if (expected.count(word) == 0 || got.count(word) == 0) {
      std::printf("%s: not in both PDFs\n", text);
      ++faults;
      continue;
    }
    const QRectF want = expected.at(word), box = got.at(word);
    if (qAbs(box.left() - want.left()) > kTolerance ||
        qAbs(box.bottom() - want.bottom()) > kTolerance) {
      std::printf("%s: at %.2f, %.2f mm, not %.2f, %.2f\n", text, box.left(), box.bottom(),
                  want.left(), want.bottom());
      ++faults;
    }
  }
  return faults == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  TKVZApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() == 4 && args[1] == "print") return Print(args[2], args[3]);
  if (args.size() == 4 && args[1] == "compare") return Compare(args[2], args[3]);
  std::fprintf(stderr,
               "usage: print_check print <queue> <reference.pdf>\n"
               "       print_check compare <reference.pdf> <printed.pdf>\n");
  return 2;
}
