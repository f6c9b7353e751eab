#include "emulator/Potentials.h"

#include <cstdlib>

namespace {

// Each from its lower bound up to, not including, its upper one.
struct TRange {
  int u1From, u1To, u2From, u2To;
};
const TRange kRanges[] = {{1771, 2000, 1201, 2000}, {300, 559, 200, 334},  {560, 980, 480, 690},
                          {560, 980, 335, 479},     {720, 868, 691, 850},  {869, 919, 691, 850},
                          {920, 1200, 691, 850},    {0, 450, -75, -1},     {0, 450, 0, 50},
                          {450, 599, 250, 359},     {600, 1149, 360, 899}, {1150, 1700, 900, 1200}};
constexpr int kRepeat = 12;

int Random(int n, std::mt19937& random) {
  if (n <= 0) return 0;
  return std::uniform_int_distribution<int>(0, n - 1)(random);
}

}  // namespace

TPotentials DrawPotentials(int item, bool yellow, std::mt19937& random) {
  TRange range;
  if (item >= 0 && item < kRepeat)
    range = kRanges[item];
  else if (item == kRepeat)
    range = {yellow ? 1201 : 1701, 2000, -2000, 2000};
  else
    range = {-2000, 2000, -2000, yellow ? 199 : -76};
  const int u1 = range.u1From + Random(std::abs(range.u1To - range.u1From), random);
  const int u2 = range.u2From + Random(std::abs(range.u2To - range.u2From), random);
  return {static_cast<std::int16_t>(u1), static_cast<std::int16_t>(u2)};
}
