// The monitoring line: whatever a switch sends, what the host prints is one
// clean line per line, with performance data only after its own " | ".
#include "cli/plugin_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/outcome.h"

namespace comvorlix::cli {
namespace {

using namespace std::string_literals;

TEST(PluginOutput, ControlBytesAreEscapedAndBarsReplaced) {
  const std::string hostile = "a\x1B[2J\x1B]0;t\x07" "b\x08\x00\r\n\x7F|c"s;
  EXPECT_EQ(CleanForPlugin(hostile), "a\\x1B[2J\\x1B]0;t\\x07b\\x08\\x00\\x0D\\x0A\\x7F/c");
  // C1 controls (U+009B starts a control sequence on some terminals) and
  // the Unicode line separator are escaped byte by byte.
  EXPECT_EQ(CleanForPlugin("x\xC2\x9B" "1m\xE2\x80\xA8y"), "x\\xC2\\x9B1m\\xE2\\x80\\xA8y");

  const std::string out = FormatPluginOutput(kCritical, PluginReport{"got | x=1", "time=1s;;;0", {"l1\rl|2"}});
  EXPECT_EQ(out, "CONFIG CRITICAL - got / x=1 | time=1s;;;0\nl1\\x0Dl/2");
  EXPECT_EQ(FormatPluginOutput(kUnknown, PluginReport{"no data", "", {}}), "CONFIG UNKNOWN - no data");
  EXPECT_EQ(FormatPluginOutput(kOk, PluginReport{"t", "a=1|b=2\n", {}}), "CONFIG OK - t | a=1/b=2\\x0A");
}

TEST(PluginOutput, InvalidUtf8IsEscapedAndValidCharactersKept) {
  EXPECT_EQ(CleanForPlugin("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E \xE6\x97\xA5"),
            "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E \xE6\x97\xA5");
  EXPECT_EQ(CleanForPlugin("\xFF\xC3(\x80"), "\\xFF\\xC3(\\x80");                  // stray and cut bytes
  EXPECT_EQ(CleanForPlugin("\xC0\xAF\xE0\x80\xAF"), "\\xC0\\xAF\\xE0\\x80\\xAF");  // overlong '/'
  EXPECT_EQ(CleanForPlugin("\xED\xA0\x80\xF4\x90\x80\x80"),
            "\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80");  // a surrogate, beyond U+10FFFF
  EXPECT_EQ(CleanForPlugin("end\xE2\x82"), "end\\xE2\\x82");  // cut at the end of the text
}

TEST(PluginOutput, QuotedTextKeepsAtMostTwoHundredCharactersEndingInDots) {
  const std::string quoted = "last line from the switch: \"" + std::string(10000, 'A') + "\")";
  EXPECT_EQ(CleanForPlugin(quoted), "last line from the switch: \"" + std::string(197, 'A') + "...\")");
  // Exactly 200 characters are kept whole, 201 are not; a character counts
  // once however many bytes it has, and a cut never splits one.
  const std::string two_hundred(200, 'B');
  EXPECT_EQ(CleanForPlugin("\"" + two_hundred + "\" and \"x\""), "\"" + two_hundred + "\" and \"x\"");
  EXPECT_EQ(CleanForPlugin("\"" + two_hundred + "B\""), "\"" + std::string(197, 'B') + "...\"");
  std::string accents;
  for (int i = 0; i < 300; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(CleanForPlugin("\"" + accents + "\""), "\"" + accents.substr(0, 2 * 197) + "...\"");
  // Escapes count as the one byte they stand for.
  EXPECT_EQ(CleanForPlugin("\"" + std::string(300, '\x07') + "\"").size(), 2 + 197 * 4 + 3u);
  // A quote that never closes is cut all the same.
  EXPECT_EQ(CleanForPlugin("said: \"" + std::string(500, 'C')), "said: \"" + std::string(197, 'C') + "...");
}

TEST(PluginOutput, EveryLineIsAtMostAThousandCharactersAsPrintedButPerformanceDataIsWhole) {
  // Quotes of its own can end a quote early; the line is bounded all the same.
  EXPECT_EQ(CleanForPlugin("x: \"a\"" + std::string(10000, 'D') + "\""),
            "x: \"a\"" + std::string(kMaxLineChars - 9, 'D') + "...");
  const std::string perfdata = "t=1s;;;0 " + std::string(2000, 'p') + "=1";
  const std::string line = FormatPluginOutput(kCritical, PluginReport{std::string(5000, 'E'), perfdata, {}});
  EXPECT_EQ(line, "CONFIG CRITICAL - " + std::string(kMaxLineChars - 21, 'E') + "... | " + perfdata);
  // Escapes count the four characters they print, and are never split.
  const std::string escaped = CleanForPlugin(std::string(600, '\x1B') + "tail");
  EXPECT_EQ(escaped, [] {
    std::string e;
    for (int i = 0; i < 249; ++i) e += "\\x1B";
    return e + "...";
  }());
  const std::string out = FormatPluginOutput(kOk, PluginReport{"x", "", {std::string(3000, '\x01'), "short"}});
  for (size_t from = 0, nl = 0; from <= out.size(); from = nl + 1) {
    nl = std::min(out.find('\n', from), out.size());
    EXPECT_LE(nl - from, kMaxLineChars);
  }
  EXPECT_EQ(out.substr(out.size() - 6), "\nshort");
  // A text that fits exactly is not cut.
  EXPECT_EQ(CleanForPlugin(std::string(kMaxLineChars, 'F')), std::string(kMaxLineChars, 'F'));
}

TEST(PluginOutput, LongOutputStaysUnder8000BytesAndSaysWhatWasLeftOut) {
  // Control bytes grow fourfold when escaped: the cap counts what is printed.
  std::vector<std::string> lines(40, "+ " + std::string(300, '\x01'));
  const std::string out = FormatPluginOutput(kCritical, PluginReport{"changed", "t=1", lines});
  EXPECT_LT(out.size(), kMaxOutputBytes);
  const size_t shown = static_cast<size_t>(std::count(out.begin(), out.end(), '\n')) - 1;
  EXPECT_EQ(out.substr(out.rfind('\n') + 1),
            "... and " + std::to_string(40 - shown) + " more lines (the output stays under 8000 bytes)");
  EXPECT_GT(shown, 4u);

  lines.resize(3);
  const std::string short_out = FormatPluginOutput(kOk, PluginReport{"x", "", lines});
  EXPECT_EQ(std::count(short_out.begin(), short_out.end(), '\n'), 3) << "what fits is shown whole";
}

}  // namespace
}  // namespace comvorlix::cli
