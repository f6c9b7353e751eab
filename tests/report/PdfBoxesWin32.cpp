#include <windows.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <fstream>

#include "tests/report/PdfWords.h"

// Under Wine a Linux program can be started, but its output never comes back: the Wine stage
// runs pdftotext for the tests instead. A test writes the PDF's Unix name into the stage's
// request pipe (KVZ_WINE_PDFTOTEXT) and waits for NAME.bbox beside the PDF.

namespace {

// Wine's own call for a Windows path's Unix name; nothing when not under Wine.
QString UnixName(const QString& file) {
  using Call = char*(CDECL*)(const wchar_t*);
  const auto call = reinterpret_cast<Call>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  const std::wstring native = QDir::toNativeSeparators(file).toStdWString();
  char* name = call != nullptr ? call(native.c_str()) : nullptr;
  if (name == nullptr) return {};
  const QString unixName = QString::fromUtf8(name);
  HeapFree(GetProcessHeap(), 0, name);
  return unixName;
}

}  // namespace

QByteArray PdfBoxes(const QString& pdfFile) {
  const std::string requests = qEnvironmentVariable("KVZ_WINE_PDFTOTEXT").toStdString();
  const QString unixName = UnixName(pdfFile);
  if (requests.empty() || unixName.isEmpty()) return {};
  const QString boxes = pdfFile + ".bbox";
  QFile::remove(boxes);
  if (!(std::ofstream(requests, std::ios::binary | std::ios::app) << unixName.toStdString() << '\n'
                                                                  << std::flush))
    return {};
  // The stage renames its finished output into place: once there, the file is whole.
  const QDeadlineTimer deadline(30000);
  while (!QFile::exists(boxes)) {
    if (deadline.hasExpired()) return {};
    QThread::msleep(20);
  }
  QFile file(boxes);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
