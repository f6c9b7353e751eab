#include "EmulateUn.h"

TEmulateForm::TEmulateForm(QWidget* mainWindow, TKVZDevice& device)
    : QWidget(mainWindow, Qt::Window), mainWindow_(mainWindow), device_(device) {
  setWindowTitle("Эмулятор KVZ-03");
}
