#include "report/ReportRenderer.h"

#include <QBuffer>
#include <QDir>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "report/PrintSystem.h"
#include "report/ReportError.h"

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kMmPerPoint = kMmPerInch / 72;
// Text is laid out in hundredths of a millimetre. In whole millimetres a 14 pt font would be
// under 5 units tall, and the font engine's metrics, kept in 1/64 of a unit, would come out
// visibly coarse in widths and line heights.
constexpr double kTextUnitsPerMm = 100;
constexpr double kBottomLineMm = 0.2;
// 1200 dots per inch: positions in the PDF are exact to about 0.02 mm.
constexpr int kPdfResolution = 1200;

QFont FieldFont(const TReportField& field, const QPaintDevice& device) {
  QFont font(field.fontFamily);
  // QFont turns points into units through the device's logical DPI (1200 on the PDF, 96 on a
  // screen), while this painter's units are hundredths of a millimetre. Ask for the point size
  // that comes out as the field's physical size in those units, on whatever the device is.
  const double units = field.pointSize * kMmPerPoint * kTextUnitsPerMm;
  font.setPointSizeF(units * 72 / device.logicalDpiY());
  font.setBold(field.bold);
  font.setItalic(field.italic);
  // Hinting would fit glyphs to the screen's pixels and make line widths differ between the
  // preview and the paper.
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

Qt::Alignment AlignmentOf(TReportField::TPlace place) {
  switch (place) {
    case TReportField::TPlace::CentredOnBand:
      return Qt::AlignHCenter;
    case TReportField::TPlace::FlushRightOnBand:
      return Qt::AlignRight;
    case TReportField::TPlace::AsGiven:
      break;
  }
  return Qt::AlignLeft;
}

// Lays text out across width (in text units) and returns the height it takes.
double LayOut(QTextLayout& layout, double width) {
  double y = 0;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    line.setPosition(QPointF(0, y));
    y += line.height();
  }
  layout.endLayout();
  return y;
}

void DrawText(QPainter& painter, const TReportField& field, const QRectF& rect) {
  QString text = field.text;
  text.replace("\r\n", "\n").replace('\r', '\n').replace('\n', QChar::LineSeparator);
  QTextOption option(AlignmentOf(field.place));
  option.setWrapMode(field.wordWrap ? QTextOption::WordWrap : QTextOption::NoWrap);

  const double width = rect.width() * kTextUnitsPerMm;
  const double height = rect.height() * kTextUnitsPerMm;
  // A field does not grow, so text too long for it is set smaller, down to half its size, rather
  // than cut off: a protocol must not lose part of what the operator typed. Each size gets a
  // layout of its own, made for the device, so that points mean the device's points.
  TReportField sized = field;
  std::unique_ptr<QTextLayout> fitted;
  for (;;) {
    fitted =
        std::make_unique<QTextLayout>(text, FieldFont(sized, *painter.device()), painter.device());
    fitted->setTextOption(option);
    if (LayOut(*fitted, width) <= height * 1.001 || sized.pointSize <= field.pointSize / 2) break;
    sized.pointSize = std::max(field.pointSize / 2, sized.pointSize * 0.95);
  }
  QTextLayout& layout = *fitted;

  // A single line on a bottom line stands on it: the descent ends at the field's bottom edge.
  double top = 0;
  if (field.bottomLine && layout.lineCount() == 1) {
    const QTextLine line = layout.lineAt(0);
    top = height - (line.ascent() + line.descent());
  }

  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  painter.translate(rect.topLeft());
  painter.scale(1 / kTextUnitsPerMm, 1 / kTextUnitsPerMm);
  painter.setPen(Qt::black);
  for (int i = 0; i < layout.lineCount(); ++i) {
    const QTextLine line = layout.lineAt(i);
    if (top + line.y() >= height) break;  // wholly below the field: clipped anyway
    line.draw(&painter, QPointF(0, top));
  }
  painter.restore();
}

void DrawField(QPainter& painter, const TReportPage& page, const TReportField& field) {
  const QRectF rect = FieldRectOnPaper(page, field);
  if (!field.transparent) painter.fillRect(rect, Qt::white);
  if (!field.text.isEmpty()) DrawText(painter, field, rect);
  if (field.bottomLine) {
    painter.setPen(QPen(Qt::black, kBottomLineMm, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
  }
}

// Puts 1 unit = 1 mm from the device's origin, at the device's physical scale.
void ScaleToMillimetres(QPainter& painter) {
  const QPaintDevice& device = *painter.device();
  painter.scale(device.logicalDpiX() / kMmPerInch, device.logicalDpiY() / kMmPerInch);
}

// False when the PDF could not be made.
bool WritePdf(const TReportPage& page, QIODevice& device) {
  QPdfWriter writer(&device);
  writer.setResolution(kPdfResolution);
  writer.setPageLayout(QPageLayout(QPageSize(page.paper, QPageSize::Millimeter),
                                   QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter));
  writer.setTitle(page.title);
  writer.setCreator("KVZ-03");
  QPainter painter;
  if (!painter.begin(&writer)) return false;
  ScaleToMillimetres(painter);
  RenderPage(painter, page);
  return painter.end();
}

}  // namespace

QRectF FieldRectOnPaper(const TReportPage& page, const TReportField& field) {
  const QPointF band(page.margins.left(), page.margins.top());
  QRectF rect = field.rect.translated(band);
  switch (field.place) {
    case TReportField::TPlace::CentredOnBand:
      // Centred on the band, the text may take the band's whole width: a title line that grew
      // past its designed width (a long protocol number) must not wrap out of sight.
      rect.setLeft(band.x());
      rect.setWidth(page.band.width());
      break;
    case TReportField::TPlace::FlushRightOnBand:
      rect.moveLeft(band.x() + page.band.width() - rect.width());
      break;
    case TReportField::TPlace::AsGiven:
      break;
  }
  return rect;
}

void RenderPage(QPainter& painter, const TReportPage& page) {
  painter.save();
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  for (const TReportField& field : page.fields) DrawField(painter, page, field);
  painter.restore();
}

void RenderToPdf(const TReportPage& page, const QString& fileName) {
  // Through a save file: a failed or interrupted export leaves the old file as it was.
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly) || !WritePdf(page, file) || !file.commit())
    throw TReportError("Не удалось записать файл \"" +
                       QDir::toNativeSeparators(fileName).toStdString() + "\"");
}

QByteArray PdfBytes(const TReportPage& page) {
  QBuffer buffer;
  if (!buffer.open(QIODevice::WriteOnly) || !WritePdf(page, buffer))
    throw TReportError("Не удалось создать файл PDF протокола");
  return buffer.data();
}

void PrintPage(QPrinter& printer, const TReportPage& page, const std::function<void()>& beforeJob) {
  const bool onPrinter = printer.outputFormat() == QPrinter::NativeFormat;
  const std::string printerName = printer.printerName().toStdString();
  const QPageSize paper(page.paper, QPageSize::Millimeter);
  const auto failure = [&](const QString& reason) {
    if (!onPrinter)
      return TReportError("Не удалось записать файл \"" +
                          QDir::toNativeSeparators(printer.outputFileName()).toStdString() + "\"");
    std::string text = "Не удалось напечатать протокол на принтере \"" + printerName + "\"";
    if (!reason.isEmpty()) text += ": " + reason.toStdString();
    return TReportError(text);
  };
  // A printer without the page's paper would print it on another, cut off or shrunk.
  const QList<QPageSize> sizes =
      onPrinter ? QPrinterInfo(printer).supportedPageSizes() : QList<QPageSize>();
  const bool paperKnown =
      sizes.isEmpty() || std::any_of(sizes.begin(), sizes.end(), [&](const QPageSize& size) {
        return size.isEquivalentTo(paper);
      });
  printer.setDocName(page.title);
  // The print dialog puts the chosen printer's default paper in place of the page's; and the
  // page's margins are its own, measured from the paper's corner, not the printer's.
  if (!paperKnown || !printer.setPageSize(paper))
    throw TReportError("Принтер \"" + printerName + "\" не печатает на бумаге " +
                       paper.name().toStdString() +
                       ": выберите другой принтер или сохраните протокол в файл PDF.");
  printer.setPageOrientation(QPageLayout::Portrait);
  printer.setFullPage(true);
  if (onPrinter && beforeJob) beforeJob();
  QPainter painter;
  if (!painter.begin(&printer)) throw failure(onPrinter ? PrintSystem::StartFailure() : QString());
  ScaleToMillimetres(painter);
  RenderPage(painter, page);
  // Qt reports success on Linux whatever the print service answered; the service's own answer
  // tells whether there is a job.
  const bool ended = painter.end();
  const QString refusal = onPrinter ? PrintSystem::JobFailure() : QString();
  if (!ended || !refusal.isEmpty()) throw failure(refusal);
}
