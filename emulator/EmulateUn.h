#pragma once

#include <QWidget>
#include <random>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class TKVZDevice;

// The device emulator: writes mode and work result frames straight into the device object's
// receive buffer, where the listening loop finds them as if the detector had sent them. Created
// hidden; service staff open it from the main window.
class TEmulateForm : public QWidget {
 public:
  TEmulateForm(QWidget* mainWindow, TKVZDevice& device);

  // Shared by the seven mode buttons; the button's hint is its mode.
  void CModeButtonClick(QPushButton* button);
  void WorkResultButtonClick();
  void ResCBSelect();

  QPushButton* CurrentModeButton;

  QGroupBox* GroupBox1;
  QPushButton* CModeButton;
  QPushButton* RModeButton;
  QProgressBar* ProgressBar1;
  QPushButton* EModeButton;
  QPushButton* YModeButton;
  QPushButton* WModeButton;
  QPushButton* Button2;
  QPushButton* Button1;
  QGroupBox* GroupBox2;
  QLineEdit* U1Edit;
  QLineEdit* U2Edit;
  QComboBox* ResCB;
  QPushButton* WorkResultButton;
  QCheckBox* ErrCB;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Animate();

  QWidget* const mainWindow_;
  TKVZDevice& device_;
  std::mt19937 random_;
};
