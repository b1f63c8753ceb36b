#include "params/port_rule.h"

#include <gtest/gtest.h>

#include <utility>

namespace comvorlix {
namespace {

TEST(PortNumberShown, NumberAtTheStartBlanksIgnored) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "0"},        {"22", "22"},
      {"  22  ", "22"}, {"2 2", "22"},
      {"022", "22"},    {"000", "0"},
      {"22abc", "22"},  {"abc22", "0"},
      {"-5", "-5"},     {"+7", "7"},
      {"- 0", "0"},     {"8.9", "8"},
      {"1e3", "1"},     {"99999999999", "99999999999"},
      {"--1", "0"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ((PortNumberShown(in)), out) << in;
}

TEST(LeadingNumber, FractionsAndSignsCountBlanksAreSkipped) {
  EXPECT_EQ(LeadingNumber(" 2 2x"), 22);
  EXPECT_EQ(LeadingNumber("-8.5"), -8.5);
  EXPECT_EQ(LeadingNumber("1.2.3"), 1.2);
  EXPECT_EQ(LeadingNumber("ssh"), 0);
  EXPECT_EQ(LeadingNumber("+"), 0);
}

}  // namespace
}  // namespace comvorlix
