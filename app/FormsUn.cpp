#include "app/FormsUn.h"

#include "app/ModeDisplay.h"

TKVZForms::TKVZForms(const TLinkEnv& env, const std::function<bool()>& setWorkDirs,
                     const std::string& portSource)
    : MainForm(env, setWorkDirs),
      SetupForm(&MainForm, portSource, [this] { PrintProtocolForm.DeleteHistory(); }),
      EmulateForm(&MainForm, MainForm.Device()),
      PrintProtocolForm(&MainForm, PrintForm, [this] { RegisterForm.exec(); }),
      RegisterForm(
          &MainForm, RegisterFileName,
          [this](const TProtocolRecord& record) { PrintForm.PreviewRecord(record); },
          [](char mode) { return ModeDisplay(mode).text.toStdString(); }),
      AboutForm(&MainForm, MainForm.Device()) {
  PrintForm.StartRegisterCheck();
  MainForm.SetForms(&SetupForm, &PrintProtocolForm, &AboutForm, &EmulateForm, &RegisterForm);
}
