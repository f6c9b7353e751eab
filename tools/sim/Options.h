#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvz03sim {

struct Options {
  std::string link;
  std::string id = "KVZ03001";
  bool ready = true;
  std::uint8_t mode = 'e';
  bool demo = false;
  std::chrono::milliseconds demo_interval{2500};
  bool verbose = false;
  bool help = false;
};

// Returns false and a one-line reason in *error for a bad command line.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

std::string_view UsageText();
std::string_view CommandsText();

}  // namespace kvz03sim
