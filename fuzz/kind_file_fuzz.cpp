// Fuzz target: the kind-file reader, with toml++ compiled in here so that
// its parser is instrumented too.
//
// Any input either gives a kind or a problem naming the file and a line;
// nothing else leaves ParseKindFile. A kind that loads never fails later:
// its code is 1 to 16 of A-Z and 0-9, it lists something, and its line
// rules and secret patterns compile for the check.
#include <cstddef>
#include <cstdint>
#include <string>

#include "check/line_rules.h"
#include "devices/kind_file.h"
#include "fuzz_support.h"
#include "redact/secret_mask.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = comvorlix::ParseKindFile(text, "f.toml");
  if (const auto* problem = std::get_if<comvorlix::KindFileProblem>(&parsed)) {
    FUZZ_CHECK(problem->line >= 0);
    FUZZ_CHECK(problem->Message().rfind("f.toml:", 0) == 0);
    return 0;
  }
  const comvorlix::DeviceKind& kind = std::get<comvorlix::DeviceKind>(parsed);
  FUZZ_CHECK(!kind.code.empty() && kind.code.size() <= 16);
  for (auto c : kind.code) FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
  FUZZ_CHECK(!kind.run_listing.empty());
  comvorlix::LineRules rules(kind);
  std::vector<comvorlix::SecretPattern> patterns;
  for (const auto& rule : kind.secret_patterns) patterns.push_back({rule.line, rule.section});
  comvorlix::SecretMask mask(patterns);
  return 0;
}
