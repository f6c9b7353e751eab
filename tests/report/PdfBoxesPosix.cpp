#include <QProcess>

#include "tests/report/PdfWords.h"

QByteArray PdfBoxes(const QString& pdfFile) {
  QProcess process;
  process.start("pdftotext", {"-bbox", "-l", "1", pdfFile, "-"});
  if (!process.waitForFinished(-1) || process.exitCode() != 0) return {};
  return process.readAllStandardOutput();
}
