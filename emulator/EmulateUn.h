#pragma once

#include <QWidget>

class TKVZDevice;

// The device emulator window, created hidden.
class TEmulateForm : public QWidget {
 public:
  TEmulateForm(QWidget* mainWindow, TKVZDevice& device);

 private:
  QWidget* const mainWindow_;
  TKVZDevice& device_;
};
