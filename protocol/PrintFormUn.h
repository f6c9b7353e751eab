#pragma once

#include <QDateTime>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "protocol/ProtocolArchive.h"
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

// The measurement a protocol reports: the last result, as the main window showed it.
struct TMeasurement {
  int resultIndex = 0;  // its position in the result table, less one
  char code = 0;
  QString result;  // its text
  int u1 = 0;
  int u2 = 0;
  char mode = 0;         // the working mode it was measured in
  QDateTime measuredAt;  // when it arrived
};

// Holds the printed protocol's page; the window itself is never shown. Numbers, dates and fills
// the page, judges the measured alloy against the declared one, and previews it for printing.
class TPrintForm : public QWidget {
  Q_OBJECT

 public:
  // The local date and time a protocol is numbered and dated by.
  using TPrintClock = std::function<QDateTime()>;
  using TPreview = std::function<void(TReportPage&)>;
  using TFileName = std::function<std::string()>;

  // clock gives the local date and time; preview shows the filled page and returns when closed;
  // registerFile names the register every previewed protocol is kept in.
  explicit TPrintForm(TPrintClock clock = &QDateTime::currentDateTime,
                      TPreview preview = TPreview(), TFileName registerFile = RegisterFileName);

  // Numbers and fills the page, keeps it in the register, and previews it. What cannot be kept
  // goes to the general error handler, and the page is previewed all the same.
  void FillAndPreview(const TMeasurement& measurement, const TProtocolEntry& entry);
  // Checks the register in the background from now on; see TProtocolArchive::StartCheck.
  void StartRegisterCheck() { archive_.StartCheck(); }
  // Previews a kept protocol's page again, as it was printed.
  void PreviewRecord(const TProtocolRecord& record);

  // Thousandths of a day since 18 January 2013, rounded half to even.
  static std::int64_t ProtocolNumber(const QDateTime& now);
  // Whether the last result (its position in the result table less one) is the declared
  // material; the two 585 results both match the one 585 material.
  static bool Matches(int resultIndex, int materialIndex);

  TReportPage Protocol;

 private:
  void FillPage(std::int64_t number, const QString& date, const TProtocolEntry& entry,
                bool matches);

  TPrintClock clock_;
  TPreview preview_;
  TProtocolArchive archive_;
};
