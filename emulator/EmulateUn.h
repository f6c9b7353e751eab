#pragma once

#include <QWidget>
#include <random>

#include "ui_EmulateUn.h"

class TKVZDevice;

// The device emulator: writes mode and work result frames straight into the device object's
// receive buffer, where the listening loop finds them as if the detector had sent them. Created
// hidden; service staff open it from the main window.
class TEmulateForm : public QWidget, public Ui::TEmulateForm {
  Q_OBJECT

 public:
  TEmulateForm(QWidget* mainWindow, TKVZDevice& device);

  // Shared by the seven mode buttons; the button's hint is its mode.
  void CModeButtonClick(QPushButton* button);
  void WorkResultButtonClick();
  void ResCBSelect();

  QPushButton* CurrentModeButton;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Animate();

  QWidget* const mainWindow_;
  TKVZDevice& device_;
  std::mt19937 random_;
};
