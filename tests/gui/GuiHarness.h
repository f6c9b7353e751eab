#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FormsUn.h"
#include "app/KVZApplication.h"
#include "app/QtGuiLink.h"
#include "tests/gui/FakePortList.h"
#include "tests/support/FakeClock.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WorkDirScope.h"
#include "ui/MsgBox.h"

// The program's own windows (TKVZForms), in a folder of their own, with the system's port
// list read from one of the test's own and port names bound to simulated detectors. Message boxes
// are recorded instead of shown; every status-line text the connect command paints is recorded too.
class GuiHarness : public TQtGuiLink, public SimPortMap {
 public:
  explicit GuiHarness(const std::vector<std::string>& systemPorts = {});
  ~GuiHarness() override;

  void Bind(const std::string& portName, SimProcess& sim) { ports[portName] = &sim; }
  // A port the system lists from now on.
  void AddSystemPort(const std::string& name) { systemPorts_.Add(name); }
  // Creates the windows with the seams below; the start timer runs from here. Returns the main
  // window.
  TMainForm& Start();
  // Creates the windows without the connect that the start timer would run.
  TMainForm& StartIdle();

  void ProcessEvents() override;
  void RunOnGuiThread(const std::function<void()>& call) override;

  TempDir dir;
  WorkDirScope workDir{dir.Path()};
  FakeClock clock;
  // The device link's clock; a test of the window's own timing sets the program's.
  TClock* linkClock = &clock;
  std::vector<MsgBox::TBox> boxes;
  MsgBox::TAnswer answer = MsgBox::TAnswer::Ok;
  QStringList stages;
  int eventRuns = 0;  // how often pending events have been let run
  // The clock the protocol is numbered from, and every protocol previewed.
  QDateTime now = QDateTime(QDate(2013, 1, 19), QTime(12, 0));
  std::vector<TReportPage> previews;
  // While set, calls from the listening thread wait before they reach the GUI thread.
  std::atomic<bool> holdEvents{false};

  std::unique_ptr<TKVZForms> forms;
  // Its windows, once started.
  TMainForm* mainForm = nullptr;
  TSetupForm* setupForm = nullptr;
  TEmulateForm* emulateForm = nullptr;
  TPrintForm* printForm = nullptr;
  TPrintProtocolForm* printProtocolForm = nullptr;
  TRegisterForm* registerForm = nullptr;
  TAboutForm* aboutForm = nullptr;

 private:
  FakePortList systemPorts_;
};

// The status line's indent before its text, and the ready lamp's colours.
inline const QString kStagePrefix = "        ";
inline const QColor kGreen(0, 255, 0), kRed(255, 0, 0);

// Whether the widget is shown within its window.
inline bool IsShown(const QWidget* w) {
  return w->isVisibleTo(w->parentWidget());
}

// The main of a window suite: the program's own application object, with the program's fonts and
// Qt's Russian texts where fonts is true, as KVZApp runs it.
#define KVZ_WINDOW_TEST_MAIN(Suite, fonts)     \
  int main(int argc, char** argv) {            \
    TKVZApplication app(argc, argv);           \
    if (fonts) app.LoadTranslationsAndFonts(); \
    Suite test;                                \
    return QTest::qExec(&test, argc, argv);    \
  }
