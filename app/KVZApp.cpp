#include "app/FormsUn.h"
#include "app/KVZApplication.h"
#include "app/QtGuiLink.h"
#include "protocol/DailyBackup.h"
#include "ui/MsgBox.h"

int main(int argc, char** argv) {
  TKVZApplication app(argc, argv);
  QApplication::setApplicationName(MsgBox::kCaption);
  QGuiApplication::setDesktopFileName("kvz03");
  app.LoadTranslationsAndFonts();
  TQtGuiLink guiLink;
  InstallGuiLink(&guiLink);

  TKVZForms forms;
  forms.MainForm.show();
  const int code = QApplication::exec();
  // A run without a protocol today, or one that closed while the day's copy was being made.
  DailyBackup().Complete(RegisterFileName(), QDate::currentDate());
  return code;
}
