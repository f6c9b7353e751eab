#pragma once

#include <stdexcept>

// Every failure of the report engine: a file it cannot write or read, a printer that does not
// start. The message is the Russian text the operator is shown.
class TReportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
