#include "KVZApplication.h"

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

void TKVZApplication::LoadTranslations() {
  auto* translator = new QTranslator(this);
  if (translator->load(QLocale(QLocale::Russian), "qtbase", "_",
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    installTranslator(translator);
}
