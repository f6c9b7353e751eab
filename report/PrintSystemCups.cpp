#include <cups/cups.h>

#include <memory>

#include "report/PrintSystem.h"

namespace {

// libcups keeps the answer to its last request per thread, and Qt's print engine sends the job
// from the thread that ends the painter.
QString LastCupsError() {
  if (cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE) return {};
  const char* text = cupsLastErrorString();
  return text != nullptr && *text != '\0' ? QString::fromUtf8(text)
                                          : QString(ippErrorString(cupsLastError()));
}

}  // namespace

namespace PrintSystem {

bool IsPaused(const QString& printerName) {
  // A name from the print dialog may carry an instance ("queue/instance"); the queue is the part
  // before it.
  const QByteArray queue = printerName.section('/', 0, 0).toUtf8();
  const std::unique_ptr<cups_dest_t, void (*)(cups_dest_t*)> dest(
      cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.constData(), nullptr),
      [](cups_dest_t* d) { cupsFreeDests(1, d); });
  if (!dest) return false;
  const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
  return state != nullptr && QByteArray(state).toInt() == IPP_PSTATE_STOPPED;
}

QString StartFailure() {
  // Qt starts a CUPS job in a file of its own; the print service hears of it only at the end.
  return {};
}

QString JobFailure() {
  return LastCupsError();
}

}  // namespace PrintSystem
