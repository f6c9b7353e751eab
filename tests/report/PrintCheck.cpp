// For scripts/print-tests.sh, which runs the print service:
//   print_check print <queue> <reference.pdf>: prints a protocol on the queue as the preview does
//       after the print dialog, writes the page as a PDF too, and says what the preview showed;
//       exit status 1 when the print failed
//   print_check compare <reference.pdf> <printed.pdf>: the title and captions stand where the
//       reference has them, to 0.2 mm
#include <QPrinterInfo>
#include <cstdio>

#include "app/KVZApplication.h"
#include "protocol/PrintFormUn.h"
#include "report/ReportPreview.h"
#include "report/ReportRenderer.h"
#include "tests/report/PdfWords.h"
#include "tests/support/TempDir.h"

namespace {

int Print(const QString& queue, const QString& reference) {
  TempDir dir;
  bool printed = false;
  const auto printPreviewed = [&](TReportPage& page) {
    RenderToPdf(page, reference);
    TReportPreview preview(page, nullptr, [](QWidget*, const QString& text) {
      std::printf("%s\n", text.toUtf8().constData());
    });
    QPrinter& printer = preview.Printer();
    printer.setPrinterName(queue);
    // As the print dialog leaves it: the queue's default paper, within its margins.
    printer.setPageSize(QPrinterInfo(printer).defaultPageSize());
    printer.setFullPage(false);
    printed = preview.PrintTo(printer);
  };
  TPrintForm(&QDateTime::currentDateTime, printPreviewed, [&] {
    return dir.File("protocols.db");
  }).FillAndPreview(TMeasurement(), TProtocolEntry());
  return printed ? 0 : 1;
}

int Compare(const QString& reference, const QString& printed) {
  const auto expected = PdfWords(reference), got = PdfWords(printed);
  int faults = 0;
  for (const char* text : {"Протокол", "Место", "Изделие:", "Материал", "Сдатчик",
                           "Документ:", "Серия", "ЗАКЛЮЧЕНИЕ:", "Измерения"}) {
    const auto want = expected.find(text), box = got.find(text);
    if (want == expected.end() || box == got.end() ||
        qAbs(box->second.left() - want->second.left()) > 0.2 ||
        qAbs(box->second.bottom() - want->second.bottom()) > 0.2) {
      std::printf("%s: not where the page puts it\n", text);
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
  return 2;
}
