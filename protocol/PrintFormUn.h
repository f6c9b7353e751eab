#pragma once

#include <QDateTime>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "report/ReportPage.h"

// What the operator entered for one protocol.
struct TProtocolEntry {
  QString place;
  QString operatorName;
  QString object;
  int materialIndex = -1;  // position in the material list
  QString material;
  QString client;
  QString document;
  QString documentNo;
};

// Holds the printed protocol's page; the window itself is never shown. Numbers, dates and fills
// the page, judges the measured alloy against the declared one, and previews it for printing.
class TPrintForm : public QWidget {
  Q_OBJECT

 public:
  using TClock = std::function<QDateTime()>;
  using TPreview = std::function<void(TReportPage&)>;

  // clock gives the local date and time; preview shows the filled page and returns when closed.
  explicit TPrintForm(TClock clock = &QDateTime::currentDateTime, TPreview preview = TPreview());

  void FillAndPreview(int resultIndex, const TProtocolEntry& entry);

  // Thousandths of a day since 18 January 2013, rounded half to even.
  static std::int64_t ProtocolNumber(const QDateTime& now);
  // Whether the last result (its position in the result table less one) is the declared
  // material; the two 585 results both match the one 585 material.
  static bool Matches(int resultIndex, int materialIndex);

  TReportPage Protocol;

 private:
  TClock clock_;
  TPreview preview_;
  std::int64_t lastNumber_ = INT64_MIN;
};
