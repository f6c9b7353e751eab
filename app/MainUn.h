#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/QtStage.h"
#include "device/CommonProcUn.h"
#include "device/DirUn.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QTimer;
class QToolButton;
class TAboutForm;
class TKVZDevice;
class TLamp;
class TPrintProtocolForm;
class TSetupForm;

// The main window: the connect command, the connection lamp and status line, and the
// measurement display fed by the device object's events.
class TMainForm : public QWidget {
 public:
  // Settles the working folder with setWorkDirs, then creates the one device object, which reads
  // the settings file there. env lets tests choose the ports and the clock.
  explicit TMainForm(const TLinkEnv& env = TLinkEnv(),
                     const std::function<bool()>& setWorkDirs = SetWorkDirs);
  ~TMainForm() override;

  // The windows the command buttons open, created after this one; the start-up connect follows
  // 300 ms later. The emulator has no button: service staff open it with Ctrl+Shift+E.
  void SetForms(TSetupForm* setupForm, TPrintProtocolForm* printProtocolForm, TAboutForm* aboutForm,
                QWidget* emulateForm);

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

  char CurrentMode = 0;
  int LastResultIndex = 0;

  QLabel* Image1;
  QLabel* Label1;
  QGroupBox* GroupBox1;
  QWidget* Panel1;
  QToolButton* SetupButton;
  QToolButton* ConnectButton;
  QToolButton* PrintButton;
  QToolButton* InfoButton;
  QLabel* StagePanel;
  TLamp* ReadyShape;
  QProgressBar* ProgressBar;
  QTimer* StartTimer;
  QTimer* ShowMessTimer;

  QWidget* Shape1;
  QLabel* ModeLabel;
  QLabel* WorkResLabel;
  QLabel* U1Label;
  QLabel* DULabel1;
  QLabel* DULabel2;
  QLabel* U2Label;
  QLabel* U1ValueLabel;
  QLabel* DUValueLabel;
  QLabel* U2ValueLabel;
  QLabel* WRSmallLabel;

 private:
  void CreateFrame();
  void CreateMeasurementPanel();
  // The connect's steps, with the command buttons locked meanwhile; the error box's text of the
  // step that failed, or empty.
  std::string ConnectSteps();

  std::unique_ptr<TKVZDevice> device_;
  std::unique_ptr<TLabelStage> stage_;
  std::unique_ptr<TQtProgressBar> progress_;
  TSetupForm* setupForm_ = nullptr;
  TPrintProtocolForm* printProtocolForm_ = nullptr;
  TAboutForm* aboutForm_ = nullptr;
};
