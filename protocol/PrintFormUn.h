#pragma once

#include <QWidget>

// Holds the printed protocol's page; the window itself is never shown.
class TPrintForm : public QWidget {
 public:
  TPrintForm();
};
