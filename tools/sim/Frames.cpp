#include "tools/sim/Frames.h"

namespace kvz03sim::frames {
namespace {

std::string Wrap(std::string_view body) {
  std::string frame;
  frame.reserve(kStart.size() + body.size() + kEnd.size());
  frame.append(kStart).append(body).append(kEnd);
  return frame;
}

void AppendLittleEndian(std::string& out, std::int16_t value) {
  const auto bits = static_cast<std::uint16_t>(value);
  out.push_back(static_cast<char>(bits & 0xFF));
  out.push_back(static_cast<char>(bits >> 8));
}

}  // namespace

std::string FitIdentity(std::string_view text) {
  std::string identity(text.substr(0, kIdentityLength));
  identity.resize(kIdentityLength, ' ');
  return identity;
}

std::string Identity(std::string_view identity) {
  return Wrap(FitIdentity(identity));
}

std::string Readiness(bool ready, std::uint8_t mode) {
  const char body[] = {ready ? '1' : '0', static_cast<char>(mode)};
  return Wrap({body, sizeof body});
}

std::string Mode(std::uint8_t mode) {
  const char body[] = {'M', static_cast<char>(mode)};
  return Wrap({body, sizeof body});
}

std::string Work(std::int16_t u1, std::int16_t u2, std::uint8_t code, std::uint8_t mode) {
  std::string body{'W', '\0'};
  AppendLittleEndian(body, u1);
  AppendLittleEndian(body, u2);
  body.push_back(static_cast<char>(code));
  body.push_back(static_cast<char>(mode));
  return Wrap(body);
}

}  // namespace kvz03sim::frames
