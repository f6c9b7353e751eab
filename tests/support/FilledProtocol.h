#pragma once

#include <string>

#include "register/ProtocolRegister.h"

// A protocol with every field filled as the entry dialog and a measurement of 585 gold fill it:
// the one record the tests and benchmarks of every layer print, keep and export.
// clang-format off
inline TProtocolRecord FilledProtocol(std::int64_t number, const std::string& madeAt,
                                      const std::string& client) {
  return {number, madeAt, "Тула", "Иванов И.И.", "Кольцо", "Золото 585 пробы (14kt)", 1, client,
          "Паспорт", "70 01 123456", '3', "Золото 585 пробы (14kt, стандарт)", -512, 300, 'y', true,
          "соответствует", "Протоколы/" + std::to_string(number) + ".pdf", "08.12.2026"};
}
// clang-format on
