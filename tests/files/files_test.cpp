// File operations: checked reads and complete writes.
#include "files/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "common/temp_dir.h"
#include "base/automation_error.h"

namespace comvorlix {
namespace {

using testing::WriteWholeFile;

class Files : public ::testing::Test {
 protected:
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

TEST_F(Files, ReadsBytesUnchangedAndNoMoreThanAsked) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  bytes += std::string(200000, '\0');
  WriteWholeFile(dir_.Path("f"), bytes);
  EXPECT_EQ(ReadFileBytes(dir_.Path("f")), bytes);
  EXPECT_EQ(ReadFileBytes(dir_.Path("f"), 300), bytes.substr(0, 300));
  EXPECT_EQ(ReadFileBytes(dir_.Path("f"), 0), "");
}

TEST_F(Files, ErrorsNameTheFileAndTheReason) {
  EXPECT_EQ(ErrorOf([&] { ReadFileBytes(dir_.Path("missing")); }),
            "cannot open " + dir_.Path("missing") + ": No such file or directory");
  EXPECT_EQ(ErrorOf([&] { ReadFileBytes(dir_.path()); }),
            "cannot read " + dir_.path() + ": Is a directory");
}

TEST_F(Files, WriteAllWritesEverythingOrNamesTheFailure) {
  const std::string path = dir_.Path("big");
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(WriteAll(fd, std::string(3000, 'a')), 0);
  {
    const FileSizeLimit limit(4000);
    EXPECT_EQ(WriteAll(fd, std::string(5000, 'x')), EFBIG);
  }
  ::close(fd);
  EXPECT_EQ(ReadFileBytes(path, 3000), std::string(3000, 'a'));
}

}  // namespace
}  // namespace comvorlix
