#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <map>

// The words of a PDF's first page as pdftotext extracts them, boxes in millimetres from the
// paper's top-left corner, from the font's ascent to its descent; a word that occurs twice keeps
// its last box. Empty when pdftotext fails.
std::map<QString, QRectF> PdfWords(const QString& pdfFile);

// What "pdftotext -bbox" writes for the PDF's first page; empty when it fails.
QByteArray PdfBoxes(const QString& pdfFile);
