// The man page, docs/comvorlix.1, describes every option that a help text
// shows: a new option without its man page entry fails here.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "common/run_cli.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::Cli;
using testing::ReadWholeFile;

// The options a help text names: "--word-word" and "-X", not the dashes
// inside words ("accept-new", "CRC-32") nor a lone dash.
std::set<std::string> OptionsIn(const std::string& text) {
  static const std::regex option(R"((^|[^\w-])(--[a-z][a-z0-9-]*[a-z0-9]|-[A-Za-z])(?![\w-]))");
  std::set<std::string> found;
  for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) found.insert((*it)[2]);
  return found;
}

// The man page's text with roff's minus signs and font changes undone.
std::string ManPageText() {
  // Not __FILE__, which a compiler cache may make relative to the build.
  const auto page = std::filesystem::path(COMVORLIX_SOURCE_DIR) / "docs/comvorlix.1";
  std::string roff = ReadWholeFile(page.string());
  EXPECT_NE(roff.find(".TH COMVORLIX 1"), std::string::npos) << page;
  roff = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), "");
  return std::regex_replace(roff, std::regex(R"(\\-)"), "-");
}

TEST(ManPage, DescribesEveryOptionOfEveryHelpText) {
  const std::string man = ManPageText();
  const std::set<std::string> in_man = OptionsIn(man);
  size_t checked = 0;
  for (const std::vector<std::string>& call : std::vector<std::vector<std::string>>{
           {"--help"}, {"check", "--help"}, {"configure", "--help"}, {"crc", "--help"}, {"secret", "--help"}}) {
    const testing::ProcessResult help = Cli(call);
    ASSERT_EQ(help.status, 0) << call[0];
    for (const std::string& option : OptionsIn(help.out)) {
      ++checked;
      EXPECT_TRUE(in_man.count(option)) << option << " (from the help of " << call[0] << ") is not in comvorlix(1)";
    }
  }
  // The help texts name the check's short options and the field options.
  EXPECT_GT(checked, 30u);
}

TEST(ManPage, OptionsAreFoundAsTheHelpWritesThem) {
  EXPECT_EQ(OptionsIn("  -H, --host HOST  [--host-key-policy accept-new|strict] CRC-32 - x --no-gui."),
            (std::set<std::string>{"-H", "--host", "--host-key-policy", "--no-gui"}));
}

}  // namespace
}  // namespace comvorlix
