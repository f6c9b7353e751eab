#include "KVZApplication.h"

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

  auto* translator = new QTranslator(this);
  if (translator->load(QLocale(QLocale::Russian), "qtbase", "_",
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    installTranslator(translator);
}
