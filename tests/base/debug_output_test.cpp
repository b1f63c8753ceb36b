// The process's debug output: lines reach the attached listener as bytes.
#include "base/debug_output.h"

#include <gtest/gtest.h>

#include <vector>

namespace comvorlix {
namespace {

TEST(DebugOutput, LinesReachOnlyAnAttachedListenerAsTheirAnsiBytes) {
  std::vector<std::string> lines;
  AttachDebugListener([&](std::string_view line) { lines.emplace_back(line); });
  EXPECT_TRUE(DebugOutputEnabled());
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  OutputDebugLine(std::string_view(all));
  AttachDebugListener(nullptr);
  EXPECT_FALSE(DebugOutputEnabled());
  OutputDebugLine(std::string_view("nobody listens"));
  EXPECT_EQ(lines, (std::vector<std::string>{all}));
}

}  // namespace
}  // namespace comvorlix
