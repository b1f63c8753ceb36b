// The secret tables of tests/redact/data against the masks of the device
// kinds: every secret line a vendor documents comes out masked, and no other
// line does.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "devices/device_table.h"
#include "redact/secret_mask.h"

namespace comvorlix {
namespace {

// A table without its "## " comment lines.
std::string SecretTable(const std::string& name) {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/" + name + "-secrets.txt", std::ios::binary);
  EXPECT_TRUE(in) << name;
  std::string text;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("## ", 0) != 0) text += line + "\n";
  }
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

SecretMask MaskOf(const char* code) {
  const DeviceKind* kind = FindDeviceKind(code);
  EXPECT_NE(kind, nullptr) << code;
  std::vector<SecretPattern> patterns;
  for (const SecretRule& r : kind->secret_patterns) patterns.push_back({r.line, r.section});
  return SecretMask(patterns);
}

struct KindTables {
  const char* code;
  std::vector<std::string> tables;
};

TEST(KindSecrets, EverySecretLineOfTheTablesIsMaskedAndNoOtherLine) {
  // The HP 2530 lists either form.
  for (const KindTables& k : {KindTables{"CSCSW", {"cisco"}}, KindTables{"ARUSW", {"procurve"}},
                              KindTables{"HP1920SW", {"comware"}}, KindTables{"HP2510SW", {"procurve", "comware"}}}) {
    const SecretMask mask = MaskOf(k.code);
    for (const std::string& table : k.tables) {
      const std::string text = SecretTable(table);
      const std::vector<std::string> lines = Lines(text), masked = Lines(mask.MaskLines(text));
      ASSERT_EQ(masked.size(), lines.size()) << k.code << " " << table;
      size_t secrets = 0;
      for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find("Zq") == std::string::npos) {
          EXPECT_EQ(masked[i], lines[i]) << k.code << ": no secret in it";
          continue;
        }
        ++secrets;
        EXPECT_EQ(masked[i].find("Zq"), std::string::npos) << k.code << ": " << masked[i];
        EXPECT_NE(masked[i].find("<secret>"), std::string::npos) << k.code << ": " << masked[i];
        // Without the lines above it (a diff line, an error's last line),
        // a line may lose more, never less.
        EXPECT_EQ(mask.Mask(lines[i]).find("Zq"), std::string::npos) << k.code << ": " << lines[i];
      }
      EXPECT_GT(secrets, 20u) << table;
    }
  }
}

}  // namespace
}  // namespace comvorlix
