#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;
class TPrintForm;

// The protocol entry dialog. Free-text fields remember what was typed before, one history file
// per field beside the program; the dialog keeps its content between showings.
class TPrintProtocolForm : public QDialog {
 public:
  TPrintProtocolForm(QWidget* owner, TPrintForm& printForm);

  // Shows the dialog; on a confirmed "Печать..." fills and previews the protocol.
  void Execute(int resultIndex);
  void LoadHistory();
  void SaveHistory();
  void DeleteHistory();

  void OkButtonClick();
  void ClearButtonClick();
  void CloseButtonClick();

  QComboBox* PlaceCB;
  QComboBox* FIOCB;
  QComboBox* ObjectCB;
  QComboBox* ObjectTypeCB;
  QLineEdit* ClientFIO;
  QComboBox* DocCB;
  QLineEdit* DocNo;
  QPushButton* OkButton;
  QPushButton* ClearButton;
  QPushButton* CloseButton;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::vector<QComboBox*> Remembered() const;
  std::string HistoryFile(const QComboBox* field) const;

  TPrintForm& printForm_;
  std::vector<QWidget*> enterOrder_;
};
