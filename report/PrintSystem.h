#pragma once

#include <QString>

// What the system's print service says of a printer and of a job, which Qt's printing does not
// pass on: a queue can be stopped and still take jobs, and on Linux Qt hands the finished page to
// the print service without reading its answer. One file per system: CUPS, and the Windows
// spooler.
namespace PrintSystem {

// Whether the named printer is stopped or paused, so that a job sent to it waits in its queue.
// False when the print service does not know the printer.
bool IsPaused(const QString& printerName);

// Why the print service refused the job whose painter on a printer has just failed to begin, in
// the service's own words; empty when it gave no reason.
QString StartFailure();

// Why the print service refused the job whose painter on a printer has just ended; empty when the
// service took the job.
QString JobFailure();

}  // namespace PrintSystem
