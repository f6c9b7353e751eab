#include "PrintFormUn.h"

TPrintForm::TPrintForm() {
  setWindowTitle("Протокол");
}
