#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kvz03sim::frames {

inline constexpr std::string_view kStart = "[$%]";
inline constexpr std::string_view kEnd = "{#&}";
inline constexpr std::size_t kIdentityLength = 8;

// The detector always sends exactly eight identity bytes, whatever the user typed.
std::string FitIdentity(std::string_view text);

std::string Identity(std::string_view identity);
std::string Readiness(bool ready, std::uint8_t mode);
std::string Mode(std::uint8_t mode);
std::string Work(std::int16_t u1, std::int16_t u2, std::uint8_t code, std::uint8_t mode);

}  // namespace kvz03sim::frames
