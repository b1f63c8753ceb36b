#include "check/attribution.h"

#include <re2/re2.h>

#include "redact/patterns.h"

namespace comvorlix {

std::optional<std::string> LastChangedBy(const DeviceKind& kind, std::string_view listing) {
  if (kind.attribution.empty()) return std::nullopt;
  const RE2 pattern(kind.attribution, SwitchOutputPatternOptions(kLinePatternMemory));
  if (!pattern.ok() || pattern.NumberOfCapturingGroups() != 2) return std::nullopt;
  for (size_t pos = 0; pos < listing.size();) {
    size_t end = listing.find('\n', pos);
    if (end == std::string_view::npos) end = listing.size();
    std::string_view line = listing.substr(pos, end - pos);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    std::string when, who;
    if (RE2::FullMatch(re2::StringPiece(line.data(), line.size()), pattern, &when, &who)) {
      return "last changed " + when + " by " + who;
    }
    pos = end + 1;
  }
  return std::nullopt;
}

}  // namespace comvorlix
