// File operations: lengths, checked reads and writes, and atomic
// replacement that never loses the old file.
#include "files/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "common/temp_dir.h"
#include "automation/automation_error.h"

namespace comvorlix {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::WriteWholeFile;

class Files : public ::testing::Test {
 protected:
  static unsigned ModeOf(const std::string& path) {
    struct stat st{};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
  }
  static std::string ErrorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const AutomationError& e) {
      return e.description();
    }
    return "no error";
  }

  testing::TempDir dir_;
};

// Lets writes beyond `limit` bytes fail with EFBIG (instead of a signal)
// while it lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit lowered = old_;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit old_{};
  sighandler_t old_handler_;
};

TEST_F(Files, LengthOfFilesOnly) {
  WriteWholeFile(dir_.Path("five"), "12345");
  WriteWholeFile(dir_.Path("empty"), "");
  EXPECT_EQ(FileLength(dir_.Path("five")), 5u);
  EXPECT_EQ(FileLength(dir_.Path("empty")), 0u);
  EXPECT_EQ(FileLength(dir_.Path("missing")), std::nullopt);
  EXPECT_EQ(FileLength(dir_.path()), std::nullopt);
}

TEST_F(Files, ReadsAndWritesBytesUnchanged) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  bytes += std::string(200000, '\0');
  WriteFileBytes(dir_.Path("f"), bytes);
  EXPECT_EQ(ReadWholeFile(dir_.Path("f")), bytes);
  EXPECT_EQ(ReadFileBytes(dir_.Path("f")), bytes);
  WriteFileBytes(dir_.Path("f"), "short");
  EXPECT_EQ(ReadFileBytes(dir_.Path("f")), "short") << "truncated";
}

TEST_F(Files, ErrorsNameTheFileAndTheReason) {
  EXPECT_EQ(ErrorOf([&] { ReadFileBytes(dir_.Path("missing")); }),
            "cannot open " + dir_.Path("missing") + ": No such file or directory");
  EXPECT_EQ(ErrorOf([&] { ReadFileBytes(dir_.path()); }),
            "cannot read " + dir_.path() + ": Is a directory");
  EXPECT_EQ(ErrorOf([&] { WriteFileBytes(dir_.Path("no/such"), "x"); }),
            "cannot create " + dir_.Path("no/such") + ": No such file or directory");
  EXPECT_EQ(ErrorOf([&] { DeleteFile(dir_.Path("missing")); }),
            "cannot delete " + dir_.Path("missing") + ": No such file or directory");
}

TEST_F(Files, FailedWriteIsReported) {
  const FileSizeLimit limit(1000);
  EXPECT_EQ(ErrorOf([&] { WriteFileBytes(dir_.Path("big"), std::string(5000, 'x')); }),
            "cannot write " + dir_.Path("big") + ": File too large");
}

TEST_F(Files, DeletesAFile) {
  WriteWholeFile(dir_.Path("f"), "x");
  DeleteFile(dir_.Path("f"));
  EXPECT_FALSE(fs::exists(dir_.Path("f")));
}

TEST_F(Files, ReplaceCreatesANewPrivateFile) {
  ReplaceFileAtomically(dir_.Path("new"), "content");
  EXPECT_EQ(ReadWholeFile(dir_.Path("new")), "content");
  EXPECT_EQ(ModeOf(dir_.Path("new")), 0600u);
  ReplaceFileAtomically(dir_.Path("other"), "x", 0640);
  EXPECT_EQ(ModeOf(dir_.Path("other")), 0640u);
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"new", "other"}));
}

TEST_F(Files, ReplaceKeepsTheModeOfTheOldFile) {
  WriteWholeFile(dir_.Path("f"), "old content that is longer");
  ASSERT_EQ(chmod(dir_.Path("f").c_str(), 0644), 0);
  ReplaceFileAtomically(dir_.Path("f"), "new");
  EXPECT_EQ(ReadWholeFile(dir_.Path("f")), "new");
  EXPECT_EQ(ModeOf(dir_.Path("f")), 0644u);
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"f"}));
}

TEST_F(Files, FailedReplaceLeavesTheOldFileAndNoTemporaryFile) {
  WriteWholeFile(dir_.Path("f"), "old");
  {
    const FileSizeLimit limit(1000);
    EXPECT_EQ(ErrorOf([&] { ReplaceFileAtomically(dir_.Path("f"), std::string(5000, 'x')); }),
              "cannot write " + dir_.Path("f") + ": File too large");
  }
  EXPECT_EQ(ReadWholeFile(dir_.Path("f")), "old");
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"f"}));
}

TEST_F(Files, ReplaceRefusesAFolder) {
  fs::create_directory(dir_.Path("sub"));
  EXPECT_EQ(ErrorOf([&] { ReplaceFileAtomically(dir_.Path("sub"), "x"); }),
            "cannot replace " + dir_.Path("sub") + ": Is a directory");
  EXPECT_TRUE(fs::is_directory(dir_.Path("sub")));
}

TEST_F(Files, ReplaceInAMissingFolderFails) {
  EXPECT_EQ(ErrorOf([&] { ReplaceFileAtomically(dir_.Path("no/such"), "x"); }),
            "cannot create a temporary file for " + dir_.Path("no/such") + ": No such file or directory");
}

TEST_F(Files, ReplaceThroughALinkReplacesItsTarget) {
  fs::create_directory(dir_.Path("real"));
  WriteWholeFile(dir_.Path("real/f"), "old");
  fs::create_symlink("real/f", dir_.Path("link"));
  ReplaceFileAtomically(dir_.Path("link"), "new");
  EXPECT_TRUE(fs::is_symlink(dir_.Path("link")));
  EXPECT_EQ(ReadWholeFile(dir_.Path("real/f")), "new");
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"link", "real"}));

  // A link to nothing is not turned into a file of its own.
  fs::create_symlink("real/missing", dir_.Path("dangling"));
  EXPECT_EQ(ErrorOf([&] { ReplaceFileAtomically(dir_.Path("dangling"), "x"); }),
            "cannot follow the symbolic link " + dir_.Path("dangling") + ": No such file or directory");
  EXPECT_TRUE(fs::is_symlink(dir_.Path("dangling")));
}

// A check run by hand as root must leave the file to the monitoring user.
TEST_F(Files, ReplaceAsRootKeepsTheOwnerAndGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  WriteWholeFile(dir_.Path("f"), "old");
  ASSERT_EQ(chmod(dir_.Path("f").c_str(), 0640), 0);
  ASSERT_EQ(chown(dir_.Path("f").c_str(), 65534, 65533), 0);
  ReplaceFileAtomically(dir_.Path("f"), "new");
  struct stat st{};
  ASSERT_EQ(stat(dir_.Path("f").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65533u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadWholeFile(dir_.Path("f")), "new");
}

}  // namespace
}  // namespace comvorlix
