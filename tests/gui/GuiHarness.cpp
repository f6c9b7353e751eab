#include "tests/gui/GuiHarness.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <thread>

#include "protocol/DailyBackup.h"

GuiHarness::GuiHarness(const std::vector<std::string>& systemPorts) : systemPorts_(systemPorts) {
  InstallGuiLink(this);
  MsgBox::SetHook([this](const MsgBox::TBox& box) {
    boxes.push_back(box);
    return answer;
  });
}

GuiHarness::~GuiHarness() {
  holdEvents = false;
  // The day's copy of the register goes on in steps after a protocol: it ends here, in this
  // test's folder, rather than failing in the next test's once the folder is gone.
  while (DailyBackup().Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  forms.reset();
  MsgBox::SetHook(nullptr);
  InstallGuiLink(nullptr);
}

TMainForm& GuiHarness::Start() {
  // The working folder is the harness's own from its start.
  forms = std::make_unique<TKVZForms>(
      TFormSeams{.env = TLinkEnv{Opener(), linkClock},
                 .setWorkDirs = [] { return true; },
                 .portSource = systemPorts_.Source(),
                 .printClock = [this] { return now; },
                 .preview = [this](TReportPage& page) { previews.push_back(page); }});
  mainForm = &forms->MainForm;
  setupForm = &forms->SetupForm;
  emulateForm = &forms->EmulateForm;
  printForm = &forms->PrintForm;
  printProtocolForm = &forms->PrintProtocolForm;
  registerForm = &forms->RegisterForm;
  aboutForm = &forms->AboutForm;
  mainForm->show();
  return *mainForm;
}

TMainForm& GuiHarness::StartIdle() {
  Start().StartTimer->stop();
  return *mainForm;
}

void GuiHarness::ProcessEvents() {
  ++eventRuns;
  if (mainForm && (stages.isEmpty() || stages.back() != mainForm->StagePanel->text()))
    stages.push_back(mainForm->StagePanel->text());
  TQtGuiLink::ProcessEvents();
}

void GuiHarness::RunOnGuiThread(const std::function<void()>& call) {
  while (holdEvents.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  TQtGuiLink::RunOnGuiThread(call);
}
