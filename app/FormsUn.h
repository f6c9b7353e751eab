#pragma once

#include <functional>
#include <string>

#include "app/EventLoopClock.h"
#include "app/MainUn.h"
#include "device/CommonProcUn.h"
#include "device/DirUn.h"
#include "device/PortList.h"
#include "dialogs/AboutUn.h"
#include "dialogs/SetupUn.h"
#include "emulator/EmulateUn.h"
#include "protocol/PrintFormUn.h"
#include "protocol/PrintProtocolUn.h"
#include "protocol/RegisterUn.h"

// The program's windows, each created once, in the order the members stand, and living as
// long as this object. env, setWorkDirs and portSource are the main window's and the settings
// dialog's own seams.
struct TKVZForms {
  explicit TKVZForms(const TLinkEnv& env = ProgramLinkEnv(),
                     const std::function<bool()>& setWorkDirs = SetWorkDirs,
                     const std::string& portSource = DefaultPortSource());

  TMainForm MainForm;
  TSetupForm SetupForm;
  TEmulateForm EmulateForm;
  TPrintForm PrintForm;
  TPrintProtocolForm PrintProtocolForm;
  TRegisterForm RegisterForm;
  TAboutForm AboutForm;
};
