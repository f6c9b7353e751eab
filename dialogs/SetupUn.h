#pragma once

#include <QDialog>
#include <functional>

#include "device/CommonProcUn.h"
#include "ui_SetupUn.h"

// The port settings dialog. Its port box holds the system's list of serial ports, which the
// connect command takes from here too.
class TSetupForm : public QDialog, public Ui::TSetupForm {
  Q_OBJECT

 public:
  // portSource: where the system's port list is read (tests point it at a fake tree);
  // deleteHistory: removes the protocol history files on a settings reset.
  TSetupForm(QWidget* owner, std::string portSource, std::function<void()> deleteHistory);

  // Edits params; true, with params changed, only when closed with "Готово".
  bool Execute(TMyComPortParams& params);
  void FillPortNames();
  TStringList GetPortNames();
  // Where the system's port list is read.
  const std::string& PortSource() const { return portSource_; }

  void OkButtonClick();
  void CloseButtonClick();
  void SetDefaultSettingsButtonClick();

  TMyComPortParams Params;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  const std::string portSource_;
  const std::function<void()> deleteHistory_;
};
