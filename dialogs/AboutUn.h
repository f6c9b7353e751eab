#pragma once

#include <QDialog>

#include "ui_AboutUn.h"

class TKVZDevice;

// The information window: the instrument, the program's version and the identity the detector
// reported, refreshed each time the window is shown.
class TAboutForm : public QDialog, public Ui::TAboutForm {
  Q_OBJECT

 public:
  TAboutForm(QWidget* mainWindow, const TKVZDevice& device);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* const mainWindow_;
  const TKVZDevice& device_;
};
