// Opening files another user may have planted.
#include "files/safe_open.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::TempDir;

TEST(SafeOpen, ANameBelowARegularFileDoesNotExist) {
  // As below a missing folder: the caller may report it missing or try to
  // make it, and says then why that fails.
  TempDir dir;
  const std::string below = dir.Write("plain", "x") + "/known_hosts";
  EXPECT_EQ(FollowTrustedLinks(below), below);
  EXPECT_FALSE(OpenRegularFile(below, O_RDONLY).has_value());
  EXPECT_FALSE(OpenRegularFile(dir.Path("missing/known_hosts"), O_RDONLY).has_value());
}

}  // namespace
}  // namespace comvorlix
