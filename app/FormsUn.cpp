#include "app/FormsUn.h"

TKVZForms::TKVZForms(const TLinkEnv& env, const std::function<bool()>& setWorkDirs,
                     const std::string& portSource)
    : MainForm(env, setWorkDirs),
      SetupForm(&MainForm, portSource, [this] { PrintProtocolForm.DeleteHistory(); }),
      EmulateForm(&MainForm, MainForm.Device()),
      PrintProtocolForm(&MainForm, PrintForm),
      AboutForm(&MainForm, MainForm.Device()) {
  MainForm.SetForms(&SetupForm, &PrintProtocolForm, &AboutForm, &EmulateForm);
}
