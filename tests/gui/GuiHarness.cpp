#include "tests/gui/GuiHarness.h"

#include <QLabel>
#include <QTimer>
#include <thread>

#include "app/ModeDisplay.h"

GuiHarness::GuiHarness(const std::vector<std::string>& systemPorts) : systemPorts_(systemPorts) {
  InstallGuiLink(this);
  MsgBox::SetHook([this](const MsgBox::TBox& box) {
    boxes.push_back(box);
    return answer;
  });
}

GuiHarness::~GuiHarness() {
  holdEvents = false;
  aboutForm.reset();
  registerForm.reset();
  printProtocolForm.reset();
  printForm.reset();
  emulateForm.reset();
  setupForm.reset();
  mainForm.reset();
  MsgBox::SetHook(nullptr);
  InstallGuiLink(nullptr);
}

TMainForm& GuiHarness::Start() {
  // The working folder is the harness's own from its start.
  mainForm = std::make_unique<TMainForm>(TLinkEnv{Opener(), linkClock}, [] { return true; });
  setupForm = std::make_unique<TSetupForm>(mainForm.get(), systemPorts_.Source(),
                                           [this] { printProtocolForm->DeleteHistory(); });
  emulateForm = std::make_unique<TEmulateForm>(mainForm.get(), mainForm->Device());
  printForm = std::make_unique<TPrintForm>([this] { return now; },
                                           [this](TReportPage& page) { previews.push_back(page); });
  printProtocolForm = std::make_unique<TPrintProtocolForm>(mainForm.get(), *printForm,
                                                           [this] { registerForm->exec(); });
  registerForm = std::make_unique<TRegisterForm>(
      mainForm.get(), RegisterFileName,
      [this](const TProtocolRecord& record) { printForm->PreviewRecord(record); },
      [](char mode) { return ModeDisplay(mode).text.toStdString(); });
  aboutForm = std::make_unique<TAboutForm>(mainForm.get(), mainForm->Device());
  mainForm->SetForms(setupForm.get(), printProtocolForm.get(), aboutForm.get(), emulateForm.get(),
                     registerForm.get());
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
