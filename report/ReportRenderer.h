#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <functional>

#include "report/ReportPage.h"

class QPainter;
class QPrinter;

// Where a field stands on the paper, in millimetres from the paper's top-left corner, once its
// placement across the band has been applied.
QRectF FieldRectOnPaper(const TReportPage& page, const TReportField& field);

// Draws the page's fields (not the paper itself) with painter. The caller sets the painter's
// transform so that 1 unit is 1 mm from the paper's top-left corner, at the device's physical
// scale: pixels per mm = the device's logical DPI / 25.4 (times a zoom factor on the screen).
// Point sizes are converted through the painter device's logical DPI, so text is the same
// physical size on a PDF, a printer and a screen at 100 %.
void RenderPage(QPainter& painter, const TReportPage& page);

// Writes the page as a one-page A4 PDF with real, searchable text. The file is replaced in one
// step. Throws TReportError with a Russian message when it cannot be written.
void RenderToPdf(const TReportPage& page, const QString& fileName);
// The same PDF as bytes, for a file that must be written by other rules. Throws TReportError.
QByteArray PdfBytes(const TReportPage& page);

// Prints the page on printer: on its own paper, portrait, in full-page mode with the page's origin
// on the paper's corner, whatever paper the print dialog chose; the page's title as the job's
// name. Throws TReportError with a Russian message when the printer has no such paper (nothing is
// printed then), or cannot start the job, or its print service refuses it. On a printer (not a
// file), beforeJob runs once the paper is settled, just before the job is started.
void PrintPage(QPrinter& printer, const TReportPage& page,
               const std::function<void()>& beforeJob = nullptr);
