#pragma once

#include <gtest/gtest.h>

#include <concepts>
#include <ostream>
#include <string>
#include <string_view>

// A TEST_P table's rows are structs whose first field is the name their case is listed under.
// PrintTo sits in the including file's unnamed namespace, where the test framework looks for it.
namespace {
template <class T>
requires std::convertible_to<decltype(T::name), std::string_view>
void PrintTo(const T& row, std::ostream* os) {
  *os << row.name;
}
}  // namespace

#define KVZ_ROWS(Suite, rows)                                    \
  INSTANTIATE_TEST_SUITE_P(Rows, Suite, testing::ValuesIn(rows), \
                           [](const auto& row) { return std::string(row.param.name); })
