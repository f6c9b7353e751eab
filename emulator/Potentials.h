#pragma once

#include <cstdint>
#include <random>

struct TPotentials {
  std::int16_t u1 = 0;
  std::int16_t u2 = 0;
};

// A measurement's potentials in millivolts, drawn at random from those the detector gives for the
// result at position item of its result list (-1 when none is chosen). What makes it ask for a
// repeat, or call a sample not precious, differs in the yellow-alloy mode.
TPotentials DrawPotentials(int item, bool yellow, std::mt19937& random);
