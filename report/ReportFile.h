#pragma once

#include <QString>

#include "report/ReportPage.h"

// A filled protocol saved to be loaded and printed again: the page's title and the texts of its
// named fields, not its layout, which stays the program's own.
//
// The file is text in Windows-1251, lines ended by CR LF:
//
//   [KVZ-03 report 1]
//   Title=<the page's title>
//   Field.<name>=<the field's text>
//   ...
//
// The first line marks the file and its version. Then one line per named field, in the page's
// order; fields without a name (fixed captions) are not saved. A name ends at the first '=', so
// names hold no '='. In titles and texts a backslash is written "\\", a line break "\n" and a
// carriage return "\r"; any other backslash pair is read as the character after the backslash.
// Characters Windows-1251 lacks are saved as '?'.
//
// On loading, lines with other keys and fields the page does not have are skipped, so a file
// from a later version of the program still loads; blank lines are skipped too.

// Throws TReportError with a Russian message when the file cannot be written.
void SaveReport(const TReportPage& page, const QString& fileName);

// Sets the page's title and the texts of the fields the file names; fields the file does not
// name keep their texts. Throws TReportError with a Russian message when the file cannot be read
// or is not a saved protocol; the page is then left untouched.
void LoadReport(TReportPage& page, const QString& fileName);
