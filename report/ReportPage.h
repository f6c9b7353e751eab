#pragma once

#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

// A report as the engine knows it: one page described in millimetres, with one band of text
// fields. The program fills the fields' texts; the engine draws, previews, prints, saves and loads.

struct TReportField {
  enum class TPlace {
    AsGiven,          // at rect, text aligned to its left
    CentredOnBand,    // rect's width and height, centred across the band, text centred
    FlushRightOnBand  // rect's width and height, against the band's right edge, text to the right
  };

  QString name;  // unique within the page; empty for fixed captions
  QString text;
  QRectF rect;  // millimetres from the band's top-left corner
  QString fontFamily = "Times New Roman";
  double pointSize = 14;
  bool bold = false;
  bool italic = false;
  TPlace place = TPlace::AsGiven;
  bool wordWrap = true;
  bool transparent = true;  // an opaque field is painted white first
  bool bottomLine = false;  // a thin line along the field's bottom edge
};

struct TReportPage {
  QString title;                      // the preview's caption and the print job's name
  QSizeF paper{210, 297};             // millimetres, portrait
  QMarginsF margins{30, 20, 15, 20};  // left, top, right, bottom, millimetres
  QSizeF band{165.1, 255.3};          // the title band, from the top-left margin corner
  std::vector<TReportField> fields;
  int zoomPercent = 100;  // the preview opens at this zoom

  // The field with this name; throws std::out_of_range when there is none.
  TReportField& Field(const QString& name);
  const TReportField& Field(const QString& name) const;
};
