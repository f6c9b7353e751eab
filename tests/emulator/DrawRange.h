#pragma once

#include <algorithm>
#include <climits>
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
  int u1Min = INT_MAX, u1Max = INT_MIN, u2Min = INT_MAX, u2Max = INT_MIN;
  for (int i = 0; i < 3000; ++i) {
    const TPotentials drawn = draw();
    u1Min = std::min<int>(u1Min, drawn.u1), u1Max = std::max<int>(u1Max, drawn.u1);
    u2Min = std::min<int>(u2Min, drawn.u2), u2Max = std::max<int>(u2Max, drawn.u2);
  }
  return u1Min >= r.u1From && u1Max <= r.u1To && u2Min >= r.u2From && u2Max <= r.u2To &&
         u1Max - u1Min > (r.u1To - r.u1From) / 2 && u2Max - u2Min > (r.u2To - r.u2From) / 2;
}
