#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/EventLoopClock.h"
#include "app/QtStage.h"
#include "device/CommonProcUn.h"
#include "device/DirUn.h"
#include "device/PortWatch.h"
#include "protocol/PrintFormUn.h"
#include "ui_MainUn.h"

class QDialog;
class QTimer;
class TAboutForm;
class TKVZDevice;
class TPrintProtocolForm;
class TSetupForm;

// The main window: the connect command, the connection lamp and status line, and the
// measurement display fed by the device object's events.
class TMainForm : public QWidget, public Ui::TMainForm {
  Q_OBJECT

 public:
  // Settles the working folder with setWorkDirs, then creates the one device object, which reads
  // the settings file there. env lets tests choose the ports and the clock.
  explicit TMainForm(const TLinkEnv& env = ProgramLinkEnv(),
                     const std::function<bool()>& setWorkDirs = SetWorkDirs);
  ~TMainForm() override;

  // The windows the command buttons open, created after this one; the start-up connect follows
  // 300 ms later. The emulator has no button: service staff open it with Ctrl+Shift+E. The
  // register window opens with Ctrl+J.
  void SetForms(TSetupForm* setupForm, TPrintProtocolForm* printProtocolForm, TAboutForm* aboutForm,
                QWidget* emulateForm, QDialog* registerForm);

  TKVZDevice& Device() { return *device_; }

  void StartTimerTimer();
  void ConnectButtonClick();
  void SetupButtonClick();
  void PrintButtonClick();
  void InfoButtonClick();

  void ShowMode(TKVZDevice& device);
  void ShowResult(char mode, bool clear, int u1 = 0, int u2 = 0, const QString& text = QString());
  void WorkResultArrived(TKVZDevice& device);
  void ShowMessTimerTimer();
  // The port failed while listening (OnLost): red lamp, the result shown as no longer current,
  // and the watch for the detector's return.
  void LinkLost();
  // While no detector is connected: connects quietly to a port that has just appeared.
  void WatchTimerTimer();

  char CurrentMode = 0;
  int LastResultIndex = 0;

  QTimer* StartTimer;
  QTimer* ShowMessTimer;
  QTimer* WatchTimer;

 private:
  // The connect's steps, with the command buttons locked meanwhile, search finding the port; the
  // error box's text of the step that failed, or empty.
  std::string ConnectSteps(const std::function<bool()>& search);
  // The search over the stored port and every port of the system's list.
  bool SearchAllPorts();
  // Greys the result on screen and says since when it stands, or shows it as current again.
  void MarkResultStale(bool stale);

  // The last result in full, for the protocol's register.
  TMeasurement lastMeasurement_;
  // Whether a measured result is on screen.
  bool resultShown_ = false;
  TPortWatch portWatch_;
  // Set after a search that found nothing and after a loss, until the next connect.
  bool watching_ = false;
  bool connecting_ = false;
  bool closing_ = false;
  std::unique_ptr<TKVZDevice> device_;
  std::unique_ptr<TLabelStage> stage_;
  std::unique_ptr<TQtProgressBar> progress_;
  TSetupForm* setupForm_ = nullptr;
  TPrintProtocolForm* printProtocolForm_ = nullptr;
  TAboutForm* aboutForm_ = nullptr;
};
