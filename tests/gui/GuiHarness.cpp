#include "tests/gui/GuiHarness.h"

#include <QLabel>
#include <QTimer>
#include <thread>

#include "app/ModeDisplay.h"
#include "device/DirUn.h"

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
  WorkDir.clear();
}

void GuiHarness::Start() {
  TLinkEnv env{[this](const std::string& name, TOpenError* error) -> TPortHandle {
                 opened.push_back(name);
                 if (beforeOpen) beforeOpen(name);
                 if (refused.count(name) != 0) {
                   *error = TOpenError::AccessDenied;
                   return nullptr;
                 }
                 const auto it = ports_.find(name);
                 return it == ports_.end() ? nullptr
                                           : OpenSerialLine(it->second->PortPath(), error);
               },
               &clock};
  mainForm = std::make_unique<TMainForm>(env, [this] {
    WorkDir = dir.Path();
    return true;
  });
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
}

void GuiHarness::StartIdle() {
  Start();
  mainForm->StartTimer->stop();
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
