#include "PrintProtocolUn.h"

TPrintProtocolForm::TPrintProtocolForm(QWidget* owner, TPrintForm& printForm)
    : QDialog(owner), printForm_(printForm) {
  setWindowTitle("Печать протокола измерений");
}

void TPrintProtocolForm::Execute(int) {
  exec();
}

void TPrintProtocolForm::DeleteHistory() {}
