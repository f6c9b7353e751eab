#include "tests/report/PdfWords.h"

#include <QXmlStreamReader>

namespace {
constexpr double kMmPerPoint = 25.4 / 72;
}

std::map<QString, QRectF> PdfWords(const QString& pdfFile) {
  QXmlStreamReader xml(PdfBoxes(pdfFile));
  std::map<QString, QRectF> words;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("word"))
      continue;
    const auto at = [&](const char* name) {
      return xml.attributes().value(QLatin1String(name)).toDouble() * kMmPerPoint;
    };
    const QRectF box(QPointF(at("xMin"), at("yMin")), QPointF(at("xMax"), at("yMax")));
    words[xml.readElementText()] = box;
  }
  return words;
}
