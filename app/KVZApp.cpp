#include "AboutUn.h"
#include "EmulateUn.h"
#include "KVZApplication.h"
#include "MainUn.h"
#include "PortList.h"
#include "PrintFormUn.h"
#include "PrintProtocolUn.h"
#include "QtGuiLink.h"
#include "SetupUn.h"

int main(int argc, char** argv) {
  TKVZApplication app(argc, argv);
  QApplication::setApplicationName(TQtGuiLink::kAppTitle);
  QGuiApplication::setDesktopFileName("kvz03");
  app.LoadTranslationsAndFonts();
  TQtGuiLink guiLink;
  InstallGuiLink(&guiLink);

  // Every window is created once, in this order, and lives until the program ends.
  TPrintProtocolForm* protocolForm = nullptr;
  TMainForm mainForm;
  TSetupForm setupForm(&mainForm, DefaultPortSource(),
                       [&protocolForm] { protocolForm->DeleteHistory(); });
  TEmulateForm emulateForm(&mainForm, mainForm.Device());
  TPrintForm printForm;
  TPrintProtocolForm printProtocolForm(&mainForm, printForm);
  protocolForm = &printProtocolForm;
  TAboutForm aboutForm(&mainForm, mainForm.Device());
  mainForm.SetForms(&setupForm, &printProtocolForm, &aboutForm, &emulateForm);

  mainForm.show();
  return QApplication::exec();
}
