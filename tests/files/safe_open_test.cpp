// Opening files another user may have planted: links followed only when
// root or the running user owns them, FIFOs and folders refused without
// blocking, reads capped, and a write-back that notices a swapped file.
#include "files/safe_open.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "common/expect_error.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::ExpectAutomationError;
using testing::TempDir;

constexpr uid_t kNobody = 65534;

TEST(SafeOpen, RegularFilesOpenAndEverythingElseIsRefusedWithoutBlocking) {
  TempDir dir;
  const std::string file = dir.Write("params", "abc");
  auto opened = OpenRegularFile(file, O_RDONLY);
  ASSERT_TRUE(opened.has_value());
  EXPECT_EQ(opened->resolved(), file);
  EXPECT_EQ(ReadCapped(*opened, 3, file), "abc");

  EXPECT_FALSE(OpenRegularFile(dir.Path("missing"), O_RDONLY).has_value());

  // A FIFO with no writer would block a plain open for ever.
  const std::string fifo = dir.Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ExpectAutomationError([&] { OpenRegularFile(fifo, O_RDONLY); }, Status::kFail,
                        fifo + " is not a regular file (a FIFO)");
  ExpectAutomationError([&] { OpenRegularFile(dir.path(), O_RDONLY); }, Status::kFail,
                        dir.path() + " is not a regular file (a folder)");
}

TEST(SafeOpen, ReadsStopOneByteAfterTheCap) {
  TempDir dir;
  const std::string file = dir.Write("big", std::string(10, 'x'));
  auto opened = OpenRegularFile(file, O_RDONLY);
  ASSERT_TRUE(opened.has_value());
  ExpectAutomationError([&] { ReadCapped(*opened, 9, file); }, Status::kFail, file + " is larger than 9 bytes");
}

TEST(SafeOpen, OwnLinksAreFollowedAndALinkToAMissingFileNamesItsTarget) {
  TempDir dir;
  const std::string target = dir.Write("real", "x");
  ASSERT_EQ(symlink("real", dir.Path("link").c_str()), 0);
  ASSERT_EQ(symlink(dir.Path("link").c_str(), dir.Path("chain").c_str()), 0);
  auto opened = OpenRegularFile(dir.Path("chain"), O_RDONLY);
  ASSERT_TRUE(opened.has_value());
  EXPECT_EQ(opened->resolved(), dir.path() + "/real");

  ASSERT_EQ(symlink("gone", dir.Path("dangling").c_str()), 0);
  EXPECT_FALSE(OpenRegularFile(dir.Path("dangling"), O_RDONLY).has_value());
  EXPECT_EQ(FollowTrustedLinks(dir.Path("dangling")), dir.path() + "/gone");

  ASSERT_EQ(symlink("loop", dir.Path("loop").c_str()), 0);
  ExpectAutomationError([&] { OpenRegularFile(dir.Path("loop"), O_RDONLY); }, Status::kFail,
                        dir.Path("loop") + " passes through too many symbolic links");
}

TEST(SafeOpen, RootNeverFollowsAnotherUsersLink) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a link away";
  TempDir dir;
  dir.Write("real", "x");
  const std::string link = dir.Path("link");
  ASSERT_EQ(symlink("real", link.c_str()), 0);
  ASSERT_EQ(lchown(link.c_str(), kNobody, kNobody), 0);
  ExpectAutomationError([&] { OpenRegularFile(link, O_RDONLY); }, Status::kFail,
                        link + " is a symbolic link owned by user 65534 (neither root nor the user running "
                               "the check); not following it");
  // The same link met halfway along a chain.
  const std::string chain = dir.Path("chain");
  ASSERT_EQ(symlink("link", chain.c_str()), 0);
  ExpectAutomationError([&] { FollowTrustedLinks(chain); }, Status::kFail,
                        chain + " leads through the symbolic link " + dir.path() +
                            "/link owned by user 65534 (neither root nor the user running the check); not "
                            "following it");
}

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
