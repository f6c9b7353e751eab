#pragma once

#include <QDialog>

class QLabel;
class TKVZDevice;

// The information window: the instrument, the program's version and the identity the detector
// reported, refreshed each time the window is shown.
class TAboutForm : public QDialog {
 public:
  TAboutForm(QWidget* mainWindow, const TKVZDevice& device);

  QLabel* Image1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* VersLabel;
  QLabel* Image2;
  QLabel* Label3;
  QLabel* Label4;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* const mainWindow_;
  const TKVZDevice& device_;
};
