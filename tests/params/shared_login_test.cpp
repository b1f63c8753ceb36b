// Filling a switch's parameter string with shared login settings: what is
// taken, what the switch keeps, and what a check may write back.
#include "params/shared_login.h"

#include <gtest/gtest.h>

namespace comvorlix {
namespace {

const std::string kShared = "#ENC=T#USR=mon#PWD=AA11#PROTO=2#KEYF=/etc/k#KEYT=DSA#EPW=BB22#DEV=ARUSW#PORT=2222#@@CRC=1#";

TEST(SharedLogin, FillsOnlyWhatTheSwitchLeavesEmpty) {
  // A file the form wrote without login: PROTO and KEYT carry defaults
  // that go with the shared user and key file.
  EXPECT_EQ(FillInLogin("#ENC=T#USR=#PWD=#PROTO=A#PORT=22#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#@@CRC=AB#", kShared),
            "#ENC=T#USR=mon#PWD=AA11#PROTO=2#PORT=22#KEYF=/etc/k#KEYT=DSA#EPW=BB22#CFG=RUN#DEV=CSCSW#@@CRC=AB#");
  // Its own user, protocol and key file stay; missing keys are added.
  EXPECT_EQ(FillInLogin("#usr=local#PROTO=A#KEYF=/own#KEYT=RSA#DEV=CSCSW", kShared),
            "#usr=local#PROTO=A#KEYF=/own#KEYT=RSA#DEV=CSCSW#PWD=AA11#EPW=BB22#");
  EXPECT_EQ(FillInLogin("#USR=#DEV=CSCSW#", "#USR=mon#"), "#USR=mon#DEV=CSCSW#");
}

TEST(SharedLogin, OnlyTheChecksumGoesBack) {
  const std::string own = "#USR=#PWD=#DEV=CSCSW#";
  const std::string filled = FillInLogin(own, kShared);
  EXPECT_EQ(OwnStringAfterCheck(own, filled, filled), own);
  EXPECT_EQ(OwnStringAfterCheck(own, filled, filled + "@@CRC=5EED#"), "#USR=#PWD=#DEV=CSCSW#@@CRC=5EED#");
}

TEST(SharedLogin, CredentialsHoldLoginKeysOnly) {
  EXPECT_EQ(LoginKeysOnly(kShared), "#ENC=T#USR=mon#PWD=AA11#PROTO=2#KEYF=/etc/k#KEYT=DSA#EPW=BB22#");
}

}  // namespace
}  // namespace comvorlix
