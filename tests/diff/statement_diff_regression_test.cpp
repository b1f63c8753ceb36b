// Regressions found by fuzzing the statement diff
// (fuzz/statement_diff_fuzz.cpp): inputs that once broke a property.
#include <gtest/gtest.h>

#include <cstdint>

#include "diff/statement_diff.h"

namespace comvorlix {
namespace {

// A budget above 2^62, such as SIZE_MAX for "no bound": sizing the search
// squared a doubling number until it passed the budget, which overflowed to
// zero and never ended.
TEST(StatementDiffRegression, BudgetNearSizeMaxGivesTheExactDiff) {
  for (const size_t budget : {(size_t{1} << 62) + 1, SIZE_MAX}) {
    StatementDiffOptions options;
    options.max_work = budget;
    const StatementDiff d = DiffStatements("a\nb\nc\n", "c\nb\na\n", options);
    EXPECT_FALSE(d.counts_only);
    EXPECT_EQ(d.removed, 2u);
    EXPECT_EQ(d.added, 2u);
  }
}

}  // namespace
}  // namespace comvorlix
