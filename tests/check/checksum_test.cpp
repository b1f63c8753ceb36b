// The remembered form of a checksum never changes: stored strings compare it
// as text.
#include "check/checksum.h"

#include <gtest/gtest.h>

namespace comvorlix {
namespace {

TEST(Checksum, IsUpperCaseHexWithoutLeadingZerosAndContinues) {
  EXPECT_EQ(ChecksumHex(0), "0");
  EXPECT_EQ(ChecksumHex(0x06B9DF6F), "6B9DF6F");
  EXPECT_EQ(ChecksumHex(0xFFFFFFFF), "FFFFFFFF");
  EXPECT_EQ(ChecksumHexOf("123456789"), "CBF43926");  // the CRC-32 check value
  EXPECT_EQ(ChecksumHex(ChecksumUpdate(ChecksumUpdate(0, "12345"), "6789")), "CBF43926");
  EXPECT_EQ(ChecksumHexOf(""), "0");
}

}  // namespace
}  // namespace comvorlix
