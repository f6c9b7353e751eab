#pragma once

#include <algorithm>
#include <functional>

#include "emulator/Potentials.h"

// Where the potentials drawn for a result class may fall, both ends included.
struct TDrawRange {
  int item;
  bool yellow;
  int u1From, u1To, u2From, u2To;
};

// Whether many draws stay within the range and spread over it rather than sticking to one value.
inline bool DrawsFill(const TDrawRange& r, const std::function<TPotentials()>& draw) {
  TPotentials low = draw(), high = low;
  for (int i = 0; i < 3000; ++i) {
    const TPotentials drawn = draw();
    low = {std::min(low.u1, drawn.u1), std::min(low.u2, drawn.u2)};
    high = {std::max(high.u1, drawn.u1), std::max(high.u2, drawn.u2)};
  }
  return low.u1 >= r.u1From && high.u1 <= r.u1To && low.u2 >= r.u2From && high.u2 <= r.u2To &&
         high.u1 - low.u1 > (r.u1To - r.u1From) / 2 && high.u2 - low.u2 > (r.u2To - r.u2From) / 2;
}
