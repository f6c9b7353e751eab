// Prints the protocol's figures: time from a confirmed "Печать..." to the preview on screen, and
// time to write the protocol as a PDF. Usage: bench_protocol [runs=20]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "report/ReportPreview.h"
#include "report/ReportRenderer.h"
#include "tests/support/FilledEntry.h"
#include "ui/MsgBox.h"

namespace {

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::atoi(argv[1]) : 20;

  std::vector<double> toPreview;
  QElapsedTimer clock;
  // Each confirmed protocol is kept in a register of its own here, as in the working folder.
  const QTemporaryDir folder;
  TPrintForm printForm(
      &QDateTime::currentDateTime,
      [&](TReportPage& page) {
        TReportPreview preview(page, nullptr, MsgBox::ShowError);
        // Measured once the preview has been shown and painted, then closed at once.
        QTimer::singleShot(0, &preview, [&] {
          preview.repaint();
          toPreview.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
          preview.accept();
        });
        preview.exec();
      },
      [&] { return folder.filePath("protocols.db").toStdString(); });
  TMeasurement measurement;
  measurement.resultIndex = 2;
  for (int i = 0; i < runs; ++i) {
    clock.start();
    printForm.FillAndPreview(measurement, FilledEntry("Сидоров Семён Семёнович"));
  }

  std::vector<double> toPdf;
  const QString pdf = QDir::temp().filePath("kvz03-bench-protocol.pdf");
  for (int i = 0; i < runs; ++i) {
    clock.start();
    RenderToPdf(printForm.Protocol, pdf);
    toPdf.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  QFile::remove(pdf);

  std::printf("confirmed protocol to preview shown: median %.1f ms over %d runs\n",
              Median(toPreview), runs);
  std::printf("protocol written as PDF: median %.1f ms over %d runs\n", Median(toPdf), runs);
  return 0;
}
