// File operations: lengths, checked reads and writes, and atomic
// replacement that never loses the old file.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "common/temp_dir.h"
#include "platform/automation_error.h"

namespace comvorlix {
namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return dir_.Path(name); }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
  }
  static std::string Read(const std::string& path) { return testing::ReadWholeFile(path); }
  std::vector<std::string> Names() const { return dir_.Names(); }
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
  Write(PathOf("five"), "12345");
  Write(PathOf("empty"), "");
  EXPECT_EQ(FileLength(PathOf("five")), 5u);
  EXPECT_EQ(FileLength(PathOf("empty")), 0u);
  EXPECT_EQ(FileLength(PathOf("missing")), std::nullopt);
  EXPECT_EQ(FileLength(dir_.path()), std::nullopt);
}

TEST_F(Files, ReadsAndWritesBytesUnchanged) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  bytes += std::string(200000, '\0');
  WriteFileBytes(PathOf("f"), bytes);
  EXPECT_EQ(Read(PathOf("f")), bytes);
  EXPECT_EQ(ReadFileBytes(PathOf("f")), bytes);
  WriteFileBytes(PathOf("f"), "short");
  EXPECT_EQ(ReadFileBytes(PathOf("f")), "short") << "truncated";
}

TEST_F(Files, ErrorsNameTheFileAndTheReason) {
  EXPECT_EQ(ErrorOf([&] { ReadFileBytes(PathOf("missing")); }),
            "cannot open " + PathOf("missing") + ": No such file or directory");
  EXPECT_EQ(ErrorOf([&] { ReadFileBytes(dir_.path()); }),
            "cannot read " + dir_.path() + ": Is a directory");
  EXPECT_EQ(ErrorOf([&] { WriteFileBytes(PathOf("no/such"), "x"); }),
            "cannot create " + PathOf("no/such") + ": No such file or directory");
  EXPECT_EQ(ErrorOf([&] { DeleteFile(PathOf("missing")); }),
            "cannot delete " + PathOf("missing") + ": No such file or directory");
}

TEST_F(Files, FailedWriteIsReported) {
  const FileSizeLimit limit(1000);
  EXPECT_EQ(ErrorOf([&] { WriteFileBytes(PathOf("big"), std::string(5000, 'x')); }),
            "cannot write " + PathOf("big") + ": File too large");
}

TEST_F(Files, DeletesAFile) {
  Write(PathOf("f"), "x");
  DeleteFile(PathOf("f"));
  EXPECT_FALSE(fs::exists(PathOf("f")));
}

TEST_F(Files, ReplaceCreatesANewPrivateFile) {
  ReplaceFileAtomically(PathOf("new"), "content");
  EXPECT_EQ(Read(PathOf("new")), "content");
  EXPECT_EQ(ModeOf(PathOf("new")), 0600u);
  ReplaceFileAtomically(PathOf("other"), "x", 0640);
  EXPECT_EQ(ModeOf(PathOf("other")), 0640u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"new", "other"}));
}

TEST_F(Files, ReplaceKeepsTheModeOfTheOldFile) {
  Write(PathOf("f"), "old content that is longer");
  ASSERT_EQ(chmod(PathOf("f").c_str(), 0644), 0);
  ReplaceFileAtomically(PathOf("f"), "new");
  EXPECT_EQ(Read(PathOf("f")), "new");
  EXPECT_EQ(ModeOf(PathOf("f")), 0644u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"f"}));
}

TEST_F(Files, FailedReplaceLeavesTheOldFileAndNoTemporaryFile) {
  Write(PathOf("f"), "old");
  {
    const FileSizeLimit limit(1000);
    EXPECT_EQ(ErrorOf([&] { ReplaceFileAtomically(PathOf("f"), std::string(5000, 'x')); }),
              "cannot write " + PathOf("f") + ": File too large");
  }
  EXPECT_EQ(Read(PathOf("f")), "old");
  EXPECT_EQ(Names(), (std::vector<std::string>{"f"}));
}

TEST_F(Files, ReplaceRefusesAFolder) {
  fs::create_directory(PathOf("sub"));
  EXPECT_EQ(ErrorOf([&] { ReplaceFileAtomically(PathOf("sub"), "x"); }),
            "cannot replace " + PathOf("sub") + ": Is a directory");
  EXPECT_TRUE(fs::is_directory(PathOf("sub")));
}

TEST_F(Files, ReplaceInAMissingFolderFails) {
  EXPECT_EQ(ErrorOf([&] { ReplaceFileAtomically(PathOf("no/such"), "x"); }),
            "cannot create a temporary file for " + PathOf("no/such") + ": No such file or directory");
}

}  // namespace
}  // namespace comvorlix
