#include "protocol/PrintFormUn.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

#include "device/Vocabulary.h"
#include "protocol/DailyBackup.h"
#include "report/ReportPreview.h"
#include "report/ReportRenderer.h"
#include "ui/ManualUn.h"
#include "ui/MsgBox.h"
#include "ui/Pictures.h"

namespace {

using TPlace = TReportField::TPlace;

// One caption or filled-in field of the printed protocol's title band.
struct TProtocolFieldLayout {
  const char* name;
  const char* text;
  double left, top, width, height;
  double size;
  bool bold, italic;
  TPlace place;
  bool line;
};

// The protocol as it stands on the band, in millimetres. Captions and the title lines are opaque;
// the filled-in fields are transparent so their bottom line shows under the text.
const TProtocolFieldLayout kTitleBand1[] = {
    {"ProtocolNo", "Протокол №", 60.6, 0.0, 43.7, 8.7, 22, true, false, TPlace::CentredOnBand,
     false},
    {"ProtocolDate", "от 01.02.2012", 60.1, 11.6, 45.0, 8.7, 22, true, false, TPlace::CentredOnBand,
     false},
    {"", "Место проведения измерений:", 0, 29.6, 65.1, 6.6, 14, false, false, TPlace::AsGiven,
     false},
    {"Place", "", 0, 38.1, 165.1, 7.4, 18, false, true, TPlace::AsGiven, true},
    {"", "Изделие:", 0, 55.0, 18.8, 6.6, 14, false, false, TPlace::AsGiven, false},
    {"ObjectName", "", 20.1, 54.0, 145.0, 7.4, 18, false, true, TPlace::AsGiven, true},
    {"", "Материал изделия (по пробирному клейму):", 0, 64.6, 94.2, 6.6, 14, false, false,
     TPlace::AsGiven, false},
    {"ObjectType", "", 0, 73.0, 165.1, 7.4, 18, false, true, TPlace::AsGiven, true},
    {"", "Сдатчик (ФИО):", 0, 92.1, 34.7, 6.6, 14, false, false, TPlace::AsGiven, false},
    {"ClientFIO", "", 0, 100.5, 165.1, 7.4, 18, false, true, TPlace::AsGiven, true},
    {"", "Документ:", 0, 112.2, 22.2, 6.6, 14, false, false, TPlace::AsGiven, false},
    {"Doc", "", 23.0, 111.1, 142.1, 7.4, 18, false, true, TPlace::AsGiven, true},
    {"", "Серия и номер:", 0, 121.7, 33.1, 6.6, 14, false, false, TPlace::AsGiven, false},
    {"DocNo", "", 33.9, 120.7, 131.2, 7.4, 18, false, true, TPlace::AsGiven, true},
    {"", "ЗАКЛЮЧЕНИЕ:", 0, 138.6, 38.6, 6.6, 14, true, false, TPlace::AsGiven, false},
    {"ResInd", "", 40.2, 137.6, 125.9, 7.7, 18, true, true, TPlace::AsGiven, true},
    {"", "Измерения проводил:", 27.5, 168.3, 46.6, 6.6, 14, false, false, TPlace::AsGiven, false},
    {"FIO", "", 75.1, 167.2, 90.0, 7.4, 18, false, true, TPlace::FlushRightOnBand, true},
};

// Day count since 30 December 1899 with the time of day as its fraction.
double DayCount(const QDateTime& t) {
  static const qint64 kEpoch = QDate(1899, 12, 30).toJulianDay();
  return static_cast<double>(t.date().toJulianDay() - kEpoch) +
         t.time().msecsSinceStartOfDay() / 86400000.0;
}

QString Verdict(bool matches) {
  return matches ? "   соответствует" : "   не соответствует";
}

// The system's short date; the C locale's is English ("8 Dec 2026") and a locale may have none,
// and a Russian protocol then takes the Russian one.
QString ShortDate(const QDate& date) {
  const QLocale locale;
  if (locale.language() == QLocale::C || locale.dateFormat(QLocale::ShortFormat).isEmpty())
    return QLocale(QLocale::Russian).toString(date, QLocale::ShortFormat);
  return locale.toString(date, QLocale::ShortFormat);
}

}  // namespace

TPrintForm::TPrintForm(TPrintClock clock, TPreview preview, TFileName registerFile)
    : clock_(std::move(clock)), preview_(std::move(preview)), archive_(std::move(registerFile)) {
  setWindowTitle("Протокол");
  if (!preview_) {
    preview_ = [this](TReportPage& page) {
      TReportPreview view(page, window(), MsgBox::ShowError, MsgBox::ShowWarning);
      view.PrintAction->setIcon(PictureIcon("print", view.ToolBar->iconSize()));
      AddManualKey(&view, ManualSection::kPreview);
      view.exec();
    };
  }
  for (const TProtocolFieldLayout& l : kTitleBand1) {
    TReportField field;
    field.name = QString::fromUtf8(l.name);
    field.text = QString::fromUtf8(l.text);
    field.rect = QRectF(l.left, l.top, l.width, l.height);
    field.pointSize = l.size;
    field.bold = l.bold;
    field.italic = l.italic;
    field.place = l.place;
    field.bottomLine = l.line;
    field.transparent = l.line;
    Protocol.fields.push_back(field);
  }
}

std::int64_t TPrintForm::ProtocolNumber(const QDateTime& now) {
  // The default floating-point rounding mode rounds halves to the even neighbour.
  return std::llrint((DayCount(now) - 41292) * 1000);
}

bool TPrintForm::Matches(int resultIndex, int materialIndex) {
  return MaterialIndex(resultIndex) == materialIndex;
}

void TPrintForm::FillAndPreview(const TMeasurement& measurement, const TProtocolEntry& entry) {
  const QDateTime now = clock_();
  const bool matches = Matches(measurement.resultIndex, entry.materialIndex);
  const QString date = ShortDate(now.date());

  TProtocolRecord record;
  record.madeAt = now.toString("yyyy-MM-ddTHH:mm:ss").toStdString();
  record.place = entry.place.toStdString();
  record.operatorName = entry.operatorName.toStdString();
  record.item = entry.object.toStdString();
  record.material = entry.material.toStdString();
  record.materialIndex = entry.materialIndex;
  record.client = entry.client.toStdString();
  record.document = entry.document.toStdString();
  record.documentNo = entry.documentNo.toStdString();
  record.resultCode = measurement.code;
  record.resultText = measurement.result.trimmed().toStdString();
  record.u1 = measurement.u1;
  record.u2 = measurement.u2;
  record.mode = measurement.mode;
  record.matches = matches;
  record.verdict = Verdict(matches).trimmed().toStdString();
  record.protocolDate = date.toStdString();
  // The page is filled for every number the archive tries, so the one it keeps is the one shown.
  const std::string failures = archive_.Keep(record, ProtocolNumber(now), [&](std::int64_t number) {
    FillPage(number, date, entry, matches);
    return PdfBytes(Protocol);
  });
  DailyBackup().ProtocolKept(archive_.RegisterFile(), now.date());
  if (!failures.empty()) MsgBox::ReportError(QString::fromStdString(failures));
  preview_(Protocol);
}

void TPrintForm::PreviewRecord(const TProtocolRecord& record) {
  TProtocolEntry entry;
  entry.place = QString::fromStdString(record.place);
  entry.operatorName = QString::fromStdString(record.operatorName);
  entry.object = QString::fromStdString(record.item);
  entry.materialIndex = record.materialIndex;
  entry.material = QString::fromStdString(record.material);
  entry.client = QString::fromStdString(record.client);
  entry.document = QString::fromStdString(record.document);
  entry.documentNo = QString::fromStdString(record.documentNo);
  FillPage(record.number, QString::fromStdString(record.protocolDate), entry, record.matches);
  preview_(Protocol);
}

void TPrintForm::FillPage(std::int64_t number, const QString& date, const TProtocolEntry& entry,
                          bool matches) {
  Protocol.Field("ProtocolNo").text = "Протокол №" + QString::number(number);
  Protocol.title = Protocol.Field("ProtocolNo").text;
  Protocol.Field("ProtocolDate").text = "от " + date;
  const QString indent = "   ";
  Protocol.Field("Place").text = indent + entry.place;
  Protocol.Field("ObjectName").text = indent + entry.object;
  Protocol.Field("ObjectType").text = indent + entry.material;
  Protocol.Field("ClientFIO").text = indent + entry.client;
  Protocol.Field("Doc").text = indent + entry.document;
  Protocol.Field("DocNo").text = indent + entry.documentNo;
  Protocol.Field("FIO").text = "/ " + entry.operatorName + " /";
  Protocol.Field("ResInd").text = Verdict(matches);
}
