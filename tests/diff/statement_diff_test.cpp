#include "diff/statement_diff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace comvorlix {
namespace {

using Lines = std::vector<std::string>;

StatementDiff Diff(std::string_view old_text, std::string_view new_text,
                   StatementDiffOptions options = {}) {
  return DiffStatements(old_text, new_text, options);
}

std::string Join(const Lines& lines, const char* end = "\n") {
  std::string out;
  for (const std::string& line : lines) out += line + end;
  return out;
}

// A listing of `blocks` interface sections, 5 lines each.
Lines Listing(int blocks) {
  Lines lines;
  for (int i = 0; i < blocks; ++i) {
    lines.push_back("interface GigabitEthernet1/0/" + std::to_string(i));
    lines.push_back(" description port " + std::to_string(i));
    lines.push_back(" switchport access vlan " + std::to_string(10 + i % 7));
    lines.push_back(" spanning-tree portfast");
    lines.push_back("!");
  }
  return lines;
}

// --- Inputs without differences ----------------------------------------------

TEST(StatementDiff, EqualListsAndLineEndsDoNotCount) {
  const std::string text = Join(Listing(3));
  for (const auto& [a, b] : {std::pair{text, text}, std::pair{text, Join(Listing(3), "\r\n")},
                             std::pair{std::string("a\nb"), std::string("a\r\nb\r\n")},
                             std::pair{std::string(), std::string()}}) {
    StatementDiff d = Diff(a, b);
    EXPECT_EQ(d.removed, 0u);
    EXPECT_EQ(d.added, 0u);
    EXPECT_FALSE(d.counts_only);
    EXPECT_TRUE(d.lines.empty());
  }
  // An empty line is a line; no line at all is none.
  EXPECT_EQ(Diff("", "\n").added, 1u);
}

// --- Hunks and their section lines -------------------------------------------

TEST(StatementDiff, EmptyOldOrNewListing) {
  EXPECT_EQ(Diff("", "hostname a\nclock timezone UTC\n").lines,
            (Lines{"+ hostname a", "+ clock timezone UTC"}));
  StatementDiff d = Diff("hostname a\n ntp server 1\n", "");
  EXPECT_EQ(d.removed, 2u);
  EXPECT_EQ(d.lines, (Lines{"- hostname a", "-  ntp server 1"}));
}

TEST(StatementDiff, OneChangeInABigListingShowsOnlyItWithItsSection) {
  Lines old_lines = Listing(4000);  // 20 000 lines
  Lines new_lines = old_lines;
  new_lines[10002] = " switchport access vlan 99";  // in interface ...2000
  StatementDiffOptions options;
  options.max_work = 100'000;  // a few steps per line are plenty
  StatementDiff d = Diff(Join(old_lines), Join(new_lines, "\r\n"), options);
  ASSERT_FALSE(d.counts_only);
  EXPECT_EQ(d.lines, (Lines{"  interface GigabitEthernet1/0/2000", "-  switchport access vlan 15",
                            "+  switchport access vlan 99"}));
}

TEST(StatementDiff, EveryHunkHasItsOwnSectionFromItsOwnListing) {
  const std::string old_text =
      "vlan 10\n   name \"users\"\n   exit\n"
      "interface 1\n   untagged vlan 10\n   exit\n"
      "interface 2\n   ipv6\n      address 1\n   exit\n";
  const std::string new_text =
      "vlan 10\n   name \"staff\"\n   exit\n"
      "interface 1\n   untagged vlan 10\n   exit\n"
      "interface 2b\n   ipv6\n      address 1\n      address 2\n   exit\n";
  StatementDiffOptions options;
  options.show = [](std::string_view line) { return "<" + std::string(line) + ">"; };
  EXPECT_EQ(Diff(old_text, new_text, options).lines,
            (Lines{"  <vlan 10>", "- <   name \"users\">", "+ <   name \"staff\">",
                   "- <interface 2>", "+ <interface 2b>",
                   // the nearest less indented line, taken from the new listing
                   "  <   ipv6>", "+ <      address 2>"}));
}

// --- Caps --------------------------------------------------------------------

TEST(StatementDiff, ChangedLineCapCountsNoSectionLines) {
  StatementDiffOptions options;
  options.max_changed_lines = 3;
  StatementDiff d = Diff("s\n a\n b\n c\n", "s\n A\n B\n C\n", options);
  EXPECT_EQ(d.removed + d.added, 6u);
  EXPECT_EQ(d.lines, (Lines{"  s", "-  a", "-  b", "-  c", "... and 3 more changed lines"}));

  options.max_changed_lines = 0;
  EXPECT_EQ(Diff("a\n", "b\n", options).lines, (Lines{"... and 2 more changed lines"}));
}

TEST(StatementDiff, ByteCapLeavesRoomForTheClosingLine) {
  // Each changed line is "- x1000000", 10 bytes plus its line end.
  Lines old_lines;
  for (int i = 0; i < 20; ++i) old_lines.push_back("x" + std::to_string(1'000'000 + i));
  const std::string old_text = Join(old_lines);
  const size_t more = std::string("... and 17 more changed lines").size() + 1;
  StatementDiffOptions options;
  options.max_output_bytes = 3 * 11 + more;  // exactly three lines and the closing one
  StatementDiff d = Diff(old_text, "", options);
  ASSERT_EQ(d.lines.size(), 4u);
  EXPECT_EQ(d.lines.back(), "... and 17 more changed lines");
  options.max_output_bytes -= 1;
  EXPECT_EQ(Diff(old_text, "", options).lines.back(), "... and 18 more changed lines");

  // A section line is dropped with a changed line that does not fit.
  options.max_output_bytes = 40;
  EXPECT_EQ(
      Diff("a\nsection with a long name\n x\n", "b\nsection with a long name\n y\n", options).lines,
      (Lines{"- a", "+ b", "... and 2 more changed lines"}));
  options.max_output_bytes = 5;  // not even the closing line
  EXPECT_TRUE(Diff("a\n", "b\n", options).lines.empty());
}

// --- Work bound --------------------------------------------------------------

TEST(StatementDiff, PastTheBoundEveryLineOutsideTheCommonHeadAndTailCounts) {
  // The exact diff removes and adds 3 lines; the lines outside the common
  // head ("x") and tail ("z") are 5 and 5.
  const std::string old_text = "x\na\nb\nc\nd\na\nz\n", new_text = "x\nd\nc\nb\na\ne\nz";
  EXPECT_EQ(Diff(old_text, new_text).removed, 3u);
  StatementDiffOptions few_lines, little_work;
  few_lines.max_lines = 9;
  little_work.max_work = 3;
  for (const StatementDiffOptions& options : {few_lines, little_work}) {
    StatementDiff d = Diff(old_text, new_text, options);
    EXPECT_TRUE(d.counts_only);
    EXPECT_TRUE(d.lines.empty());
    EXPECT_EQ(d.removed, 5u);
    EXPECT_EQ(d.added, 5u);
  }
  // A listing in another order is never "0 removed and 0 added".
  Lines listing = Listing(2000);
  const std::string old_listing = Join(listing);
  std::reverse(listing.begin(), listing.end());
  StatementDiff reordered = Diff(old_listing, Join(listing), little_work);
  EXPECT_TRUE(reordered.counts_only);
  EXPECT_EQ(reordered.removed, 10000u);
  EXPECT_EQ(reordered.added, 10000u);
}

// --- The diff is minimal and consistent ----------------------------------------

// The edit distance without substitutions: n + m - 2 * LCS.
size_t Distance(const Lines& a, const Lines& b) {
  std::vector<std::vector<size_t>> lcs(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      lcs[i][j] =
          a[i - 1] == b[j - 1] ? lcs[i - 1][j - 1] + 1 : std::max(lcs[i - 1][j], lcs[i][j - 1]);
    }
  }
  return a.size() + b.size() - 2 * lcs[a.size()][b.size()];
}

TEST(StatementDiff, RandomListsGiveAMinimalConsistentDiff) {
  std::mt19937 random(7);
  StatementDiffOptions all;
  all.max_changed_lines = 1000;
  all.max_output_bytes = 100'000;
  for (int round = 0; round < 2000; ++round) {
    Lines a, b;
    const int alphabet = 2 + static_cast<int>(random() % 5);
    for (size_t i = random() % 25; i > 0; --i)
      a.push_back(std::string(1, char('a' + random() % alphabet)));
    for (size_t i = random() % 25; i > 0; --i)
      b.push_back(std::string(1, char('a' + random() % alphabet)));
    StatementDiff d = Diff(Join(a), Join(b), all);
    ASSERT_FALSE(d.counts_only);
    ASSERT_EQ(d.removed + d.added, Distance(a, b)) << Join(a) << "--\n" << Join(b);
    // Taking the removed lines from the old list and the added ones from the
    // new list leaves the same lines on both sides.
    std::map<std::string, int> left;
    for (const std::string& s : a) ++left[s];
    for (const std::string& s : b) --left[s];
    for (const std::string& line : d.lines) left[line.substr(2)] += line[0] == '-' ? -1 : 1;
    for (const auto& [line, count] : left) ASSERT_EQ(count, 0) << line;
  }
}

}  // namespace
}  // namespace comvorlix
