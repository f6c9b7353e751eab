#pragma once

#include "protocol/PrintFormUn.h"
#include "tests/support/FilledProtocol.h"

// The entry dialog's fields of FilledProtocol, as an operator types them.
inline TProtocolEntry FilledEntry(const std::string& client) {
  const TProtocolRecord r = FilledProtocol(0, "", client);
  const auto text = [](const std::string& s) { return QString::fromStdString(s); };
  return {text(r.place),    text(r.operatorName), text(r.item),     r.materialIndex,
          text(r.material), text(r.client),       text(r.document), text(r.documentNo)};
}
