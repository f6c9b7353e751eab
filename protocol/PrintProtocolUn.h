#pragma once

#include <QDialog>

class TPrintForm;

// The protocol entry dialog.
class TPrintProtocolForm : public QDialog {
 public:
  TPrintProtocolForm(QWidget* owner, TPrintForm& printForm);
  void Execute(int resultIndex);
  void DeleteHistory();

 private:
  TPrintForm& printForm_;
};
