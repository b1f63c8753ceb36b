#include "ssh/terminal_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace comvorlix {
namespace {

std::string FilterWhole(std::string_view in) {
  TerminalFilter f;
  std::string out;
  f.Filter(in, out);
  f.Finish(out);
  return out;
}

std::string FilterBytewise(std::string_view in) {
  TerminalFilter f;
  std::string out;
  for (char c : in) f.Filter(std::string_view(&c, 1), out);
  f.Finish(out);
  return out;
}

const std::string kEsc = "\x1b";

TEST(TerminalFilterTest, RemovesCsiSequences) {
  EXPECT_EQ(FilterWhole("a" + kEsc + "[2Jb"), "ab");
  EXPECT_EQ(FilterWhole(kEsc + "[24;1HPress any key"), "Press any key");
  EXPECT_EQ(FilterWhole(kEsc + "[?25h" + kEsc + "[?7lx"), "x");
  EXPECT_EQ(FilterWhole("x" + kEsc + "[42D" + kEsc + "[16Dy"), "xy");
  EXPECT_EQ(FilterWhole(kEsc + "[1 q" + "z"), "z");  // intermediate byte
  EXPECT_EQ(FilterWhole(kEsc + "[m"), "");
}

TEST(TerminalFilterTest, RemovesOperatingSystemCommandsEndedByBelOrStringTerminator) {
  EXPECT_EQ(FilterWhole("a" + kEsc + "]0;window title\x07" + "b"), "ab");
  EXPECT_EQ(FilterWhole("a" + kEsc + "]2;title" + kEsc + "\\b"), "ab");
  EXPECT_EQ(FilterWhole("a" + kEsc + "Pdevice control" + kEsc + "\\b"), "ab");
  // Bytes 0x80-0xFF inside a string belong to it.
  EXPECT_EQ(FilterWhole("a" + kEsc + "]0;caf\xc3\xa9\x07" + "b"), "ab");
}

TEST(TerminalFilterTest, NextLineBecomesALineEnd) {
  EXPECT_EQ(FilterWhole("line 1" + kEsc + "Eline 2"), "line 1\r\nline 2");
  EXPECT_EQ(FilterWhole("line 1" + kEsc + "[Eline 2"), "line 1\r\nline 2");
  EXPECT_EQ(FilterWhole("line 1" + kEsc + "[3Eline 2"), "line 1\r\nline 2");
}

TEST(TerminalFilterTest, RemovesShortEscapes) {
  EXPECT_EQ(FilterWhole(kEsc + "7a" + kEsc + "8b" + kEsc + "=c" + kEsc + ">d"), "abcd");
  EXPECT_EQ(FilterWhole(kEsc + "(Ba" + kEsc + "#8b" + kEsc + "Mc" + kEsc + "Dd"), "abcd");
}

// The banner of an ArubaOS-Switch login as listed in the device notes.
TEST(TerminalFilterTest, ArubaBannerKeepsOnlyItsText) {
  std::string banner = kEsc + "[2J" + kEsc + "[?7l" + kEsc + "[3;23r" + kEsc + "[?6l" + kEsc + "[1;1H" +
                       "HP J9019A Switch 2510-24\r\n" + kEsc + "[24;1HPress any key to continue" + kEsc + "[1;1H" +
                       kEsc + "[?25h" + kEsc + "[24;27H";
  EXPECT_EQ(FilterWhole(banner), "HP J9019A Switch 2510-24\r\nPress any key to continue");
}

TEST(TerminalFilterTest, PlainBytesPassUnchanged) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    if (b != 0x1B) all += static_cast<char>(b);
  }
  EXPECT_EQ(FilterWhole(all), all);
  EXPECT_EQ(FilterBytewise(all), all);
}

TEST(TerminalFilterTest, ControlCharactersInsideASequenceTakeEffect) {
  EXPECT_EQ(FilterWhole("a" + kEsc + "[2\r\nJb"), "a\r\nb");
  EXPECT_EQ(FilterWhole("a" + kEsc + "\bEb"), "a\b\r\nb");
}

TEST(TerminalFilterTest, CancelAndSubstituteEndASequenceAndVanish) {
  EXPECT_EQ(FilterWhole("a" + kEsc + "[12\x18" + "b"), "ab");
  EXPECT_EQ(FilterWhole("a" + kEsc + "[12\x1a" + "b"), "ab");
  EXPECT_EQ(FilterWhole("a" + kEsc + "]0;title\x18" + "b"), "ab");
}

TEST(TerminalFilterTest, EscapeInsideASequenceStartsANewOne) {
  EXPECT_EQ(FilterWhole("a" + kEsc + "[1" + kEsc + "[2Jb"), "ab");
  EXPECT_EQ(FilterWhole("a" + kEsc + kEsc + "Eb"), "a\r\nb");
  // In a string, ESC not followed by '\' cancels the string.
  EXPECT_EQ(FilterWhole("a" + kEsc + "]0;t" + kEsc + "[1mb"), "ab");
}

TEST(TerminalFilterTest, WhatCannotBeASequencePassesUnchanged) {
  EXPECT_EQ(FilterWhole("a" + kEsc + "[12\x80" + "b"), "a" + kEsc + "[12\x80" + "b");
  EXPECT_EQ(FilterWhole("a" + kEsc + "\xe9" + "b"), "a" + kEsc + "\xe9" + "b");
  EXPECT_EQ(FilterWhole("a" + kEsc + "[1\x7f" + "b"), "a" + kEsc + "[1\x7f" + "b");
  EXPECT_EQ(FilterWhole("a" + kEsc + "(\xff"), "a" + kEsc + "(\xff");
}

TEST(TerminalFilterTest, AnUnterminatedStringLongerThanTheLimitPassesUnchanged) {
  std::string text = kEsc + "]0;" + std::string(TerminalFilter::kMaxSequenceBytes + 10, 'x') + "\r\nrest";
  EXPECT_EQ(FilterWhole(text), text);
  // Just under the limit it is still a sequence.
  std::string title = kEsc + "]0;" + std::string(TerminalFilter::kMaxSequenceBytes - 4, 'x') + "\x07" + "rest";
  EXPECT_EQ(FilterWhole(title), "rest");
}

TEST(TerminalFilterTest, FinishHandsBackAnUnfinishedSequence) {
  TerminalFilter f;
  std::string out;
  f.Filter("ab" + kEsc + "[1", out);
  EXPECT_EQ(out, "ab");
  f.Finish(out);
  EXPECT_EQ(out, "ab" + kEsc + "[1");
  // The filter starts afresh after Finish.
  out.clear();
  f.Filter("c" + kEsc + "[0md", out);
  EXPECT_EQ(out, "cd");
}

// Every kind of sequence, split at every position and at every pair of
// positions, gives the same result as in one piece.
TEST(TerminalFilterTest, SequencesSplitAcrossReadsAreRecognised) {
  const std::string text = "x" + kEsc + "[24;1Hprompt" + kEsc + "Enext" + kEsc + "]0;title\x07" + "t" + kEsc +
                           "]2;t2" + kEsc + "\\u" + kEsc + "(Bv" + kEsc + "[12\x80" + "w\xe9" + kEsc + "[?25h" +
                           kEsc + "[2E" + "end";
  const std::string expected = "xprompt\r\nnexttuv" + kEsc + "[12\x80" + "w\xe9\r\nend";
  ASSERT_EQ(FilterWhole(text), expected);
  ASSERT_EQ(FilterBytewise(text), expected);
  for (size_t i = 0; i <= text.size(); ++i) {
    for (size_t j = i; j <= text.size(); ++j) {
      TerminalFilter f;
      std::string out;
      f.Filter(std::string_view(text).substr(0, i), out);
      f.Filter(std::string_view(text).substr(i, j - i), out);
      f.Filter(std::string_view(text).substr(j), out);
      f.Finish(out);
      ASSERT_EQ(out, expected) << "split at " << i << " and " << j;
    }
  }
}

}  // namespace
}  // namespace comvorlix
