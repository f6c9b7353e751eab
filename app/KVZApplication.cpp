#include "app/KVZApplication.h"

#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>
#include <utility>

#include "ui/MsgBox.h"

TKVZApplication::TKVZApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TKVZApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    MsgBox::ReportError(e.what());
  } catch (...) {
    MsgBox::ReportError("Неизвестная ошибка");
  }
  return false;
}

void TKVZApplication::LoadTranslationsAndFonts() {
  // The windows and the protocol are laid out with the fonts every Windows PC has, Arial Narrow
  // aside (it comes with office suites). Where one is missing, a stand-in of the same widths
  // keeps captions inside their labels: the system's default sans serif is wider. Wine and
  // Linux have the Liberation families; a bare Windows without Arial Narrow gets Arial, which
  // still fits the usual four-digit potentials.
  const std::pair<const char*, QStringList> standIns[] = {
      {"Tahoma", {"Liberation Sans"}},
      {"MS Sans Serif", {"Liberation Sans"}},
      {"Times New Roman", {"Liberation Serif"}},
      {"Arial Narrow", {"Liberation Sans Narrow", "Arial"}},
  };
  for (const auto& [family, substitutes] : standIns) {
    if (!QFontDatabase::hasFamily(family)) QFont::insertSubstitutions(family, substitutes);
  }

  // The Windows executable carries Qt's texts inside; elsewhere they are the system Qt's.
  const QString bundled = QStringLiteral(":/translations");
  const QString folder = QFileInfo::exists(bundled + QStringLiteral("/qtbase_ru.qm"))
                             ? bundled
                             : QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* translator = new QTranslator(this);
  if (translator->load(QLocale(QLocale::Russian), "qtbase", "_", folder))
    installTranslator(translator);
}
