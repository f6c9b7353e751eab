#pragma once

#include <functional>
#include <string>

#include "AboutUn.h"
#include "CommonProcUn.h"
#include "DirUn.h"
#include "EmulateUn.h"
#include "MainUn.h"
#include "PortList.h"
#include "PrintFormUn.h"
#include "PrintProtocolUn.h"
#include "SetupUn.h"

// The program's six windows, each created once, in the order the members stand, and living as
// long as this object. env, setWorkDirs and portSource are the main window's and the settings
// dialog's own seams.
struct TKVZForms {
  explicit TKVZForms(const TLinkEnv& env = TLinkEnv(),
                     const std::function<bool()>& setWorkDirs = SetWorkDirs,
                     const std::string& portSource = DefaultPortSource());

  TMainForm MainForm;
  TSetupForm SetupForm;
  TEmulateForm EmulateForm;
  TPrintForm PrintForm;
  TPrintProtocolForm PrintProtocolForm;
  TAboutForm AboutForm;
};
