#include "GuiHarness.h"

#include <QLabel>
#include <filesystem>
#include <thread>

#include "DirUn.h"

GuiHarness::GuiHarness(const std::vector<std::string>& systemPorts) {
  for (const std::string& name : systemPorts)
    std::filesystem::create_directories(sysfs_.File("class/tty/" + name + "/device"));
  InstallGuiLink(this);
  MsgBox::SetHook([this](const MsgBox::TBox& box) {
    boxes.push_back(box);
    return answer;
  });
}

GuiHarness::~GuiHarness() {
  holdEvents = false;
  aboutForm.reset();
  printProtocolForm.reset();
  printForm.reset();
  setupForm.reset();
  mainForm.reset();
  MsgBox::SetHook(nullptr);
  InstallGuiLink(nullptr);
  WorkDir.clear();
}

void GuiHarness::Start() {
  TLinkEnv env{[this](const std::string& name) -> TPortHandle {
                 opened.push_back(name);
                 const auto it = ports_.find(name);
                 return it == ports_.end() ? nullptr : OpenSerialLine(it->second->PortPath());
               },
               &clock};
  mainForm = std::make_unique<TMainForm>(env, [this] {
    WorkDir = dir.Path();
    return true;
  });
  setupForm = std::make_unique<TSetupForm>(mainForm.get(), sysfs_.Path(), [] {});
  printForm = std::make_unique<TPrintForm>();
  printProtocolForm = std::make_unique<TPrintProtocolForm>(mainForm.get(), *printForm);
  aboutForm = std::make_unique<TAboutForm>(mainForm.get(), mainForm->Device());
  mainForm->SetForms(setupForm.get(), printProtocolForm.get(), aboutForm.get());
  mainForm->show();
}

void GuiHarness::ProcessEvents() {
  if (mainForm && (stages.isEmpty() || stages.back() != mainForm->StagePanel->text()))
    stages.push_back(mainForm->StagePanel->text());
  TQtGuiLink::ProcessEvents();
}

void GuiHarness::RunOnGuiThread(const std::function<void()>& call) {
  while (holdEvents.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  TQtGuiLink::RunOnGuiThread(call);
}
