// Kind files: what a broken one is told, and which files of a kinds folder
// are taken.
#include "devices/kind_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/temp_dir.h"
#include "devices/compiled_kinds.h"
#include "devices/device_table.h"
#include "devices/shipped_kinds.h"

namespace comvorlix {
namespace {

using testing::TempDir;

std::string ProblemOf(const std::string& text) {
  const auto parsed = ParseKindFile(text, "k.toml");
  if (std::holds_alternative<DeviceKind>(parsed)) return "(taken)";
  return std::get<KindFileProblem>(parsed).Message();
}

TEST(KindFile, EachMistakeIsNamedWithItsLine) {
  const std::string listing = "[listing]\nrunning = \"show run\"\n";
  const struct {
    std::string text;
    std::string problem;
  } cases[] = {
      {"code = \"A\"\n[listing\n", "k.toml:2: Error while parsing table header: expected ']', saw '\\n'"},
      {"code = \"A\"\n" + listing + "pager = 1\n", "k.toml:4: unknown key \"listing.pager\""},
      {"code = \"A\"\n" + listing + "[[+secrets]]\n",
       "k.toml:4: Error while parsing key: expected bare key starting character or string delimiter, saw '+'"},
      {"code = \"A\"\n" + listing + "name = \"x" + std::string(1, 0) + "y\"\n", "k.toml:4: a NUL byte"},
      {"code = \"A\"\n" + listing + "# caf\xc3\xa9\n",
       "k.toml:4: a byte that is no ASCII; write \\uXXXX in a string instead"},
      {"code = \"A\"\ncolour = true\n" + listing, "k.toml:2: unknown key \"colour\""},
      {"code = \"ab\"\n" + listing, "k.toml:1: the code \"ab\" is not 1 to 16 of A-Z and 0-9"},
      {"code = \"ABCDEFGHIJKLMNOPQ\"\n" + listing,
       "k.toml:1: the code \"ABCDEFGHIJKLMNOPQ\" is not 1 to 16 of A-Z and 0-9"},
      {"code = \"A#B\"\n" + listing, "k.toml:1: the code \"A#B\" is not 1 to 16 of A-Z and 0-9"},
      {listing, "k.toml:1: \"code\" is missing"},
      {"code = \"A\"\n[listing]\nstartup = \"show start\"\n", "k.toml:2: \"listing.running\" is missing"},
      {"code = 7\n" + listing, "k.toml:1: \"code\" must be a string"},
      {"code = \"A\"\n" + listing + "[rules]\nhead_lines = [\n 'ok',\n '(open',\n]\n",
       "k.toml:7: the pattern '(open' does not compile: missing ): (open"},
      {"code = \"A\"\n" + listing + "[rules]\nfree_text_openers = ['banner (x)']\n",
       "k.toml:5: the pattern 'banner (x)' needs 2 capture groups"},
      {"code = \"A\"\n" + listing + "[rules]\nhead_lines = [\"caf\\u00e9\"]\n",
       "k.toml:5: the pattern 'caf\xc3\xa9' holds a byte that is no ASCII (write it \\xNN)"},
      {"code = \"A\"\n" + listing + "[[secrets]]\nline = 'password \\S+'\n",
       "k.toml:5: secret pattern 'password \\S+': no capture group, so nothing is masked"},
      {"code = \"A\"\n" + listing + "[[opening]]\nquestions = ['Password:']\n",
       "k.toml:4: \"opening.send\" is missing"},
      {"code = \"A\"\n" + listing + "logout_threshold_after_follow_up = 'later'\n",
       "k.toml:4: \"listing.logout_threshold_after_follow_up\" must be a whole number or \"keep\""},
  };
  for (const auto& c : cases) EXPECT_EQ(ProblemOf(c.text), c.problem) << c.text;
}

TEST(KindFile, AFileStatesOnlyWhatDiffersFromAPlainDevice) {
  const auto parsed = ParseKindFile("code = \"PLAIN1\"\n[listing]\nrunning = \"show config\"\n", "p.toml");
  ASSERT_TRUE(std::holds_alternative<DeviceKind>(parsed)) << std::get<KindFileProblem>(parsed).Message();
  const DeviceKind& kind = std::get<DeviceKind>(parsed);
  const DeviceKind& plain = PlainCliDevice();
  EXPECT_EQ(kind.form_name, kind.code);
  EXPECT_EQ(kind.line_end, plain.line_end);
  EXPECT_EQ(kind.logout, plain.logout);
  EXPECT_EQ(kind.follow_up, plain.follow_up);
  EXPECT_TRUE(kind.opening.empty());
  EXPECT_TRUE(kind.start_listing.empty());
  EXPECT_FALSE(kind.earlier.has_value());
}

TEST(KindFile, TheManualsExampleIsAWorkingKindFile) {
  std::string page = testing::ReadWholeFile(std::string(COMVORLIX_SOURCE_DIR) + "/docs/comvorlix-kinds.5");
  const size_t begin = page.find(".EX\n"), end = page.find(".EE\n");
  ASSERT_LT(begin, end);
  std::string example = page.substr(begin + 4, end - begin - 4);
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"\\(aq", "'"}, {"\\e", "\\"}}) {
    for (size_t at = 0; (at = example.find(from, at)) != std::string::npos; at += to.size()) example.replace(at, from.size(), to);
  }
  const auto parsed = ParseKindFile(example, "example");
  ASSERT_TRUE(std::holds_alternative<DeviceKind>(parsed)) << std::get<KindFileProblem>(parsed).Message();
  EXPECT_EQ(std::get<DeviceKind>(parsed).secret_patterns.size(), 2u);
}

// The program takes its shipped kinds as the build made them: each must be
// what its file says.
TEST(KindFile, EveryShippedKindLoadsWithItsPatternsCompiledAndIsBuiltAsItsFileSays) {
  ASSERT_GE(ShippedKindFiles().size(), 10u);
  const std::vector<DeviceKind> built = CompiledShippedKinds();
  ASSERT_EQ(built.size(), ShippedKindFiles().size());
  size_t i = 0;
  for (const ShippedKindFile& shipped : ShippedKindFiles()) {
    const auto parsed = ParseKindFile(shipped.text, std::string(shipped.name));
    ASSERT_TRUE(std::holds_alternative<DeviceKind>(parsed)) << std::get<KindFileProblem>(parsed).Message();
    EXPECT_TRUE(std::get<DeviceKind>(parsed) == built[i++]) << shipped.name;
  }
}

class KindsFolder : public ::testing::Test {
 protected:
  std::string Kind(const std::string& code, const std::string& extra = "") {
    return "code = \"" + code + "\"\nname = \"" + code + " switch\"\n" + extra + "[listing]\nrunning = \"show\"\n";
  }
  TempDir dir_;
};

TEST_F(KindsFolder, AddsAndReplacesKindsAndRefusesWhatItCannotTrust) {
  dir_.Write("added.toml", Kind("ADDED1"));
  dir_.Write("cisco-here.toml", Kind("CSCSW"));
  dir_.Write("one.toml", Kind("TWICE"));
  dir_.Write("two.toml", Kind("TWICE"));
  dir_.Write("open.toml", Kind("OPEN1"), 0666);
  dir_.Write("notes.txt", "code = \"TXT\"\n");
  ASSERT_EQ(mkfifo(dir_.Path("fifo.toml").c_str(), 0600), 0);
  const LoadedKinds loaded = LoadKinds(dir_.path());

  std::vector<std::string> codes;
  for (const DeviceKind& kind : loaded.kinds) codes.push_back(kind.code);
  // A replaced kind keeps its place; an added one comes after the shipped.
  ASSERT_GE(codes.size(), 5u);
  EXPECT_EQ(codes.front(), "CSCSW");
  EXPECT_EQ(loaded.files.front(), dir_.Path("cisco-here.toml"));
  EXPECT_EQ(loaded.kinds.front().form_name, "CSCSW switch");
  EXPECT_EQ(codes.back(), "ADDED1");
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "TWICE"), 0);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "OPEN1"), 0);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "TXT"), 0);

  const std::vector<std::string> problems = {
      dir_.Path("fifo.toml") + ": not read: it is not a regular file (a FIFO)",
      dir_.Path("open.toml") + ": not read: writable by group or others",
      dir_.Path("one.toml") + ": not taken: the code \"TWICE\" is given by 2 files",
      dir_.Path("two.toml") + ": not taken: the code \"TWICE\" is given by 2 files",
  };
  EXPECT_EQ(loaded.problems, problems);
}

TEST_F(KindsFolder, AMissingFolderHoldsNoKindsAndNoProblems) {
  const LoadedKinds loaded = LoadKinds(dir_.Path("none"));
  // The shipped files among them: each one loads.
  EXPECT_TRUE(loaded.problems.empty()) << loaded.problems.front();
  EXPECT_EQ(loaded.kinds.size(), AllDeviceKinds().size());
}

TEST_F(KindsFolder, AnotherUsersFileIsNotRead) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
  const std::string file = dir_.Write("theirs.toml", Kind("THEIRS"));
  ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
  const LoadedKinds loaded = LoadKinds(dir_.path());
  ASSERT_EQ(loaded.problems.size(), 1u);
  EXPECT_EQ(loaded.problems[0], file + ": not read: owned by neither root nor the user running the check");
}

}  // namespace
}  // namespace comvorlix
