#pragma once

#include <QApplication>

// The application object; its one addition is the general error handler: an error escaping any
// handler is shown in a box captioned with the application's title, and the program goes on.
class TKVZApplication : public QApplication {
 public:
  TKVZApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  // Qt's own texts (box buttons, print and preview dialogs) in Russian, and stand-ins for the
  // Windows fonts the windows are laid out with where the system lacks them.
  void LoadTranslationsAndFonts();
};
