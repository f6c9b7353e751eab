#include "KVZApplication.h"

#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>

#include "GuiLink.h"

TKVZApplication::TKVZApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TKVZApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    GuiLink().ReportError(e.what());
  } catch (...) {
    GuiLink().ReportError("Неизвестная ошибка");
  }
  return false;
}

void TKVZApplication::LoadTranslationsAndFonts() {
  // Tahoma and MS Sans Serif are about as wide as Arial; left to the system's default sans
  // serif, which is wider, captions overrun their labels. Arial itself maps to its
  // metric-compatible free stand-in through fontconfig.
  for (const char* family : {"Tahoma", "MS Sans Serif"}) {
    if (!QFontDatabase::hasFamily(family)) QFont::insertSubstitution(family, "Liberation Sans");
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
