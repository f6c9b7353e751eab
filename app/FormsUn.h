#pragma once

#include <QDateTime>
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

// What a test replaces in the program's windows; the defaults are the program's own.
struct TFormSeams {
  // How ports are opened and which clock the link runs by.
  TLinkEnv env = ProgramLinkEnv();
  // Settles the working folder before the settings file is read.
  std::function<bool()> setWorkDirs = SetWorkDirs;
  // Where the settings dialog and the watch for a returning detector read the system's ports.
  std::string portSource = DefaultPortSource();
  // The local date and time protocols are numbered and dated by.
  TPrintForm::TPrintClock printClock = &QDateTime::currentDateTime;
  // Shows a filled protocol page and returns when it is closed; empty: the print preview.
  TPrintForm::TPreview preview{};
};

// The program's windows, each created once, in the order the members stand, and destroyed in the
// reverse order, the main window last, so that none outlives a window it refers to. The program
// runs on one of these, and so does every window test.
struct TKVZForms {
  explicit TKVZForms(const TFormSeams& seams = {});

  TMainForm MainForm;
  TSetupForm SetupForm;
  TEmulateForm EmulateForm;
  TPrintForm PrintForm;
  TPrintProtocolForm PrintProtocolForm;
  TRegisterForm RegisterForm;
  TAboutForm AboutForm;
};
