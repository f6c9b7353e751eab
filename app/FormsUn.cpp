#include "app/FormsUn.h"

#include "app/ModeDisplay.h"

TKVZForms::TKVZForms(const TFormSeams& seams)
    : MainForm(seams.env, seams.setWorkDirs),
      SetupForm(&MainForm, seams.portSource, [this] { PrintProtocolForm.DeleteHistory(); }),
      EmulateForm(&MainForm, MainForm.Device()),
      PrintForm(seams.printClock, seams.preview),
      PrintProtocolForm(&MainForm, PrintForm, [this] { RegisterForm.exec(); }),
      RegisterForm(
          &MainForm, RegisterFileName,
          [this](const TProtocolRecord& record) { PrintForm.PreviewRecord(record); },
          [](char mode) { return ModeDisplay(mode).text.toStdString(); }),
      AboutForm(&MainForm, MainForm.Device()) {
  PrintForm.StartRegisterCheck();
  MainForm.SetForms(&SetupForm, &PrintProtocolForm, &AboutForm, &EmulateForm, &RegisterForm);
}
