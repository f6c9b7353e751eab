#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "ui_PrintProtocolUn.h"

class TPrintForm;
struct TMeasurement;

// The protocol entry dialog. Free-text fields remember what was typed before, one history file
// per field beside the program; the dialog keeps its content between showings.
class TPrintProtocolForm : public QDialog, public Ui::TPrintProtocolForm {
  Q_OBJECT

 public:
  // openRegister shows the register window; without it "Журнал..." stays disabled.
  TPrintProtocolForm(QWidget* owner, TPrintForm& printForm,
                     std::function<void()> openRegister = {});

  // Shows the dialog with the measurement it will certify; on a confirmed "Печать..." fills and
  // previews the protocol. The measurement is a copy taken at the press: a result that arrives
  // while the operator fills in the form belongs to the next item.
  void Execute(TMeasurement measurement);
  void LoadHistory();
  void SaveHistory();
  void DeleteHistory();

  void OkButtonClick();
  void ClearButtonClick();
  void RegisterButtonClick();
  void CloseButtonClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::vector<QComboBox*> Remembered() const;
  std::string HistoryFile(const QComboBox* field) const;

  TPrintForm& printForm_;
  std::function<void()> openRegister_;
  std::vector<QWidget*> enterOrder_;
};
