#pragma once

#include <gtest/gtest.h>

#include <concepts>
#include <ostream>
#include <string>

// A row of a TEST_P table, its name first: the name its case is listed and reported under.
struct TRow {
  const char* name;
};

template <std::derived_from<TRow> T>
void PrintTo(const T& row, std::ostream* os) {
  *os << row.name;
}

// Runs each row of the array rows as a case of the TEST_P suite Suite.
#define KVZ_ROWS(Suite, rows)                                    \
  INSTANTIATE_TEST_SUITE_P(Rows, Suite, testing::ValuesIn(rows), \
                           [](const auto& row) { return std::string(row.param.name); })
