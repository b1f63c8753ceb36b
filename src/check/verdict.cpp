#include "check/verdict.h"

#include "base/text.h"
#include "params/keys.h"
#include "params/parameter_string.h"

namespace comvorlix {

Verdict FailedVerdict(std::string text) {
  Verdict v;
  v.text = std::move(text);
  return v;
}

std::string ApplyVerdict(std::string_view parameter, const Verdict& verdict) {
  if (!verdict.checksum_to_remember) return std::string(parameter);
  return SetKeyValue(parameter, keys::kChecksum, *verdict.checksum_to_remember);
}

}  // namespace comvorlix
