#pragma once

#include <gtest/gtest.h>

#include <concepts>
#include <ostream>
#include <string>
#include <string_view>

// A TEST_P table's rows are structs whose first field is their name, the name their case is listed
// and reported under. PrintTo sits in the including file's unnamed namespace, beside its rows,
// where the test framework looks for it.
namespace {

template <class T>
requires requires(const T& row) {
  { row.name } -> std::convertible_to<std::string_view>;
}
void PrintTo(const T& row, std::ostream* os) {
  *os << row.name;
}

}  // namespace

// Runs each row of the array rows as a case of the TEST_P suite Suite.
#define KVZ_ROWS(Suite, rows)                                    \
  INSTANTIATE_TEST_SUITE_P(Rows, Suite, testing::ValuesIn(rows), \
                           [](const auto& row) { return std::string(row.param.name); })
