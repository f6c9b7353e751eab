#include "app/FormsUn.h"
#include "app/KVZApplication.h"
#include "app/QtGuiLink.h"

int main(int argc, char** argv) {
  TKVZApplication app(argc, argv);
  QApplication::setApplicationName(TQtGuiLink::kAppTitle);
  QGuiApplication::setDesktopFileName("kvz03");
  app.LoadTranslationsAndFonts();
  TQtGuiLink guiLink;
  InstallGuiLink(&guiLink);

  TKVZForms forms;
  forms.MainForm.show();
  return QApplication::exec();
}
