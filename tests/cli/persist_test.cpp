// What a check leaves on disk, decided by the verdict alone: only a judged
// check writes, never a dry run, never after the deadline.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/check_stages.h"
#include "common/temp_dir.h"

namespace comvorlix::cli {
namespace {

using comvorlix::testing::ReadWholeFile;
using comvorlix::testing::TempDir;

class Persist : public ::testing::Test {
 protected:
  // Persists `verdict` for a file that remembers A; gives back what the
  // file then says and whether a kept listing was written.
  std::pair<std::string, bool> After(const CheckVerdict& verdict, bool dry_run = false, int seconds_left = 30) {
    const std::string path = dir_.Write("sw.params", "#@@CRC=A#\n");
    std::filesystem::remove(path + ".listing");
    CheckRequest request;
    request.params = path;
    request.dry_run = dry_run;
    request.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds_left);
    ParameterFile file = ParameterFile::OpenLocked(path);
    const CheckInputs inputs{std::move(file), "#@@CRC=A#", "#@@CRC=A#"};
    persisted_ = PersistRemembered(request, inputs, verdict);
    const std::string now = ReadWholeFile(path);
    return {now.substr(0, now.find('\n')), !ReadWholeFile(path + ".listing").empty()};
  }
  static CheckVerdict Remembering(bool judged) {
    CheckVerdict v;
    v.judged = judged;
    v.parameter = "#@@CRC=B#";
    v.listing_to_keep = "B\nstatement\n";
    return v;
  }
  TempDir dir_;
  Persisted persisted_;
};

TEST_F(Persist, OnlyAJudgedCheckInTimeAndNotDryWritesTheChecksumAndItsListing) {
  EXPECT_EQ(After(Remembering(true)), std::make_pair(std::string("#@@CRC=B#"), true));
  EXPECT_FALSE(persisted_.instead);

  EXPECT_EQ(After(Remembering(false)), std::make_pair(std::string("#@@CRC=A#"), false)) << "a failed check";
  EXPECT_FALSE(persisted_.instead);

  EXPECT_EQ(After(Remembering(true), true), std::make_pair(std::string("#@@CRC=A#"), false));
  EXPECT_EQ(persisted_.notes,
            std::vector<std::string>{"(dry run: the parameter file and the kept listing were left as they were)"});

  EXPECT_EQ(After(Remembering(true), false, 0), std::make_pair(std::string("#@@CRC=A#"), false)) << "too late";
  ASSERT_TRUE(persisted_.instead);
  EXPECT_EQ(persisted_.instead->status, kCritical);
}

}  // namespace
}  // namespace comvorlix::cli
