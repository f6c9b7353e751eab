#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "report/PrintSystem.h"

namespace PrintSystem {

bool IsPaused(const QString& printerName) {
  std::wstring name = printerName.toStdWString();
  HANDLE printer = nullptr;
  if (!OpenPrinterW(name.data(), &printer, nullptr)) return false;
  DWORD needed = 0;
  GetPrinterW(printer, 2, nullptr, 0, &needed);
  std::vector<BYTE> info(needed);
  const bool known = needed > 0 && GetPrinterW(printer, 2, info.data(), needed, &needed);
  ClosePrinter(printer);
  if (!known) return false;
  const auto* details = reinterpret_cast<const PRINTER_INFO_2W*>(info.data());
  // Paused, or set to "use printer offline": either way the spooler keeps the job.
  return (details->Status & PRINTER_STATUS_PAUSED) != 0 ||
         (details->Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) != 0;
}

QString StartFailure() {
  // The spooler refuses a job when the document starts, and its reason is the thread's last error.
  const DWORD error = GetLastError();
  if (error == ERROR_SUCCESS) return {};
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const QString reason = QString::fromWCharArray(text, static_cast<int>(length)).trimmed();
  LocalFree(text);
  return reason;
}

QString JobFailure() {
  // Once the document has started, the spooler has the job: later trouble shows in its queue.
  return {};
}

}  // namespace PrintSystem
