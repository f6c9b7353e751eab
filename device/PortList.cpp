#include "device/PortList.h"

#include <algorithm>

#include "device/TextCase.h"

void SortPortNames(TStringList& names) {
  // Stable, so names that differ only in case keep the order the system gave them.
  std::stable_sort(names.begin(), names.end(), LessIgnoringCase);
}
