#include "report/SaveName.h"

#include <QFileInfo>

QString CompleteSaveName(const QString& fileName, bool protocolFile) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  if (suffix == "pdf" || suffix == "kvzr") return fileName;
  return fileName + (protocolFile ? ".kvzr" : ".pdf");
}
