// Filling a switch's parameter string with shared login settings: what is
// taken, what the switch keeps, and what a check may write back.
#include "params/shared_login.h"

#include <gtest/gtest.h>

namespace comvorlix {
namespace {

const Text kShared = u"#ENC=T#USR=mon#PWD=AA11#PROTO=2#KEYF=/etc/k#KEYT=DSA#EPW=BB22#DEV=ARUSW#PORT=2222#@@CRC=1#";

TEST(SharedLogin, FillsOnlyWhatTheSwitchLeavesEmpty) {
  // A file the form wrote without login: PROTO and KEYT carry defaults
  // that go with the shared user and key file.
  EXPECT_EQ(FillInLogin(u"#ENC=T#USR=#PWD=#PROTO=A#PORT=22#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#@@CRC=AB#", kShared),
            u"#ENC=T#USR=mon#PWD=AA11#PROTO=2#PORT=22#KEYF=/etc/k#KEYT=DSA#EPW=BB22#CFG=RUN#DEV=CSCSW#@@CRC=AB#");
  // Its own user, protocol and key file stay; missing keys are added.
  EXPECT_EQ(FillInLogin(u"#usr=local#PROTO=A#KEYF=/own#KEYT=RSA#DEV=CSCSW", kShared),
            u"#usr=local#PROTO=A#KEYF=/own#KEYT=RSA#DEV=CSCSW#PWD=AA11#EPW=BB22#");
  EXPECT_EQ(FillInLogin(u"#USR=#DEV=CSCSW#", u"#USR=mon#"), u"#USR=mon#DEV=CSCSW#");
}

TEST(SharedLogin, OnlyTheChecksumGoesBack) {
  const Text own = u"#USR=#PWD=#DEV=CSCSW#";
  const Text filled = FillInLogin(own, kShared);
  EXPECT_EQ(OwnStringAfterCheck(own, filled, filled), own);
  EXPECT_EQ(OwnStringAfterCheck(own, filled, filled + u"@@CRC=5EED#"), u"#USR=#PWD=#DEV=CSCSW#@@CRC=5EED#");
}

TEST(SharedLogin, CredentialsHoldLoginKeysOnly) {
  EXPECT_EQ(LoginKeysOnly(kShared), u"#ENC=T#USR=mon#PWD=AA11#PROTO=2#KEYF=/etc/k#KEYT=DSA#EPW=BB22#");
}

}  // namespace
}  // namespace comvorlix
