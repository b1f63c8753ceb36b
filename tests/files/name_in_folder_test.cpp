// Files someone else may have planted: a name looked up only in the folder
// it was resolved to, replaced by a fresh file without writing through what
// is there, opened only as a regular file, and links followed only when
// root or the running user owns them.
#include "files/name_in_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "common/temp_dir.h"
#include "files/file_lock.h"

namespace comvorlix {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return e.description();
  }
  return "no error";
}

class NameInFolderTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
};

TEST_F(NameInFolderTest, ReplaceNeverWritesThroughWhatIsAtTheName) {
  const std::string victim = dir_.Write("victim", "untouched", 0644);
  fs::create_symlink(victim, dir_.Path("link"));
  ASSERT_EQ(mkfifo(dir_.Path("fifo").c_str(), 0666), 0);
  dir_.Write("open", "old", 0644);
  for (const char* name : {"link", "fifo", "open", "new"}) {
    // An own link is resolved to its target, which is replaced there.
    const NameInFolder at = NameInFolder::Resolve(dir_.Path(name));
    at.Replace("fresh", 0600, std::nullopt);
    struct stat st{};
    ASSERT_EQ(lstat(at.resolved().c_str(), &st), 0) << name;
    EXPECT_TRUE(S_ISREG(st.st_mode)) << name;
    EXPECT_EQ(st.st_mode & 07777, 0600u) << name;
    EXPECT_EQ(ReadWholeFile(at.resolved()), "fresh") << name;
  }
  EXPECT_EQ(ReadWholeFile(victim), "fresh") << "a trusted link names its target";

  // A link planted once the name is resolved is replaced, not followed.
  dir_.Write("victim", "untouched", 0644);
  const NameInFolder planted = NameInFolder::Resolve(dir_.Path("later"));
  fs::create_symlink(victim, dir_.Path("later"));
  planted.Replace("fresh", 0600, std::nullopt);
  EXPECT_FALSE(fs::is_symlink(dir_.Path("later")));
  EXPECT_EQ(ReadWholeFile(victim), "untouched");

  fs::create_directory(dir_.Path("sub"));
  EXPECT_EQ(ErrorOf([&] { NameInFolder::Resolve(dir_.Path("sub")).Replace("x", 0600, std::nullopt); }),
            "cannot replace " + dir_.Path("sub") + ": Is a directory");
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"fifo", "later", "link", "new", "open", "sub", "victim"}))
      << "no temporary file is left";
}

// Renaming the folder away and putting a link to another folder in its
// place does not move later steps to that folder.
TEST_F(NameInFolderTest, TheFolderIsTheOneResolvedFirst) {
  fs::create_directory(dir_.Path("checks"));
  fs::create_directory(dir_.Path("elsewhere"));
  const std::string params = dir_.Write("checks/sw.params", "old");
  const NameInFolder name = NameInFolder::Resolve(params);
  const std::optional<OpenedFile> opened = name.Open(O_RDONLY);
  ASSERT_TRUE(opened);
  fs::rename(dir_.Path("checks"), dir_.Path("moved"));
  fs::create_symlink(dir_.Path("elsewhere"), dir_.Path("checks"));
  EXPECT_TRUE(name.Holds(opened->info()));
  name.Sibling(".listing").Replace("kept", 0600, std::nullopt);
  EXPECT_EQ(ReadWholeFile(dir_.Path("moved/sw.params.listing")), "kept");
  EXPECT_TRUE(fs::is_empty(dir_.Path("elsewhere")));

  fs::rename(dir_.Path("moved/sw.params.listing"), dir_.Path("moved/sw.params"));
  EXPECT_FALSE(name.Holds(opened->info())) << "another file at the name";
}

TEST_F(NameInFolderTest, OnlyARegularFileIsOpenedAndNothingWaitsForAFifo) {
  ASSERT_EQ(mkfifo(dir_.Path("fifo").c_str(), 0666), 0);
  fs::create_directory(dir_.Path("sub"));
  dir_.Write("big", std::string(100, 'x'));
  EXPECT_EQ(ErrorOf([&] { LockedFile::Open(NameInFolder::Resolve(dir_.Path("fifo"))); }),
            dir_.Path("fifo") + " is not a regular file (a FIFO)");
  EXPECT_EQ(ErrorOf([&] { OpenRegularFile(dir_.Path("sub"), O_RDONLY); }),
            dir_.Path("sub") + " is not a regular file (a folder)");
  EXPECT_EQ(ErrorOf([&] { OpenRegularFile(dir_.Path("fifo"), O_WRONLY); }),
            dir_.Path("fifo") + " is not a regular file (a FIFO or socket)");
  EXPECT_EQ(LockedFile::Open(NameInFolder::Resolve(dir_.Path("missing"))).state(), LockedFile::State::kMissing);
  const std::optional<OpenedFile> big = OpenRegularFile(dir_.Path("big"), O_RDONLY);
  ASSERT_TRUE(big);
  EXPECT_EQ(ErrorOf([&] { ReadCapped(*big, 99, "big"); }), "big is larger than 99 bytes");
}

TEST_F(NameInFolderTest, RootFollowsOnlyLinksOfRootOrItself) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root: only root can give a link to another user";
  const std::string target = dir_.Write("target", "t");
  fs::create_symlink(target, dir_.Path("foreign"));
  ASSERT_EQ(lchown(dir_.Path("foreign").c_str(), 65534, 65534), 0);
  fs::create_symlink(dir_.Path("foreign"), dir_.Path("own"));
  const std::string tail = " owned by user 65534 (neither root nor the user running the check); not following it";
  EXPECT_EQ(ErrorOf([&] { NameInFolder::Resolve(dir_.Path("foreign")); }),
            dir_.Path("foreign") + " is a symbolic link" + tail);
  EXPECT_EQ(ErrorOf([&] { OpenRegularFile(dir_.Path("own"), O_RDONLY); }),
            dir_.Path("own") + " leads through the symbolic link " + dir_.Path("foreign") + tail);
  fs::remove(dir_.Path("foreign"));
  fs::create_symlink(target, dir_.Path("foreign"));
  EXPECT_EQ(NameInFolder::Resolve(dir_.Path("own")).resolved(), target);
}

}  // namespace
}  // namespace comvorlix
