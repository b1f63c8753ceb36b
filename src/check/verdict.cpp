#include "check/verdict.h"

#include "params/keys.h"
#include "params/parameter_string.h"

namespace comvorlix {

Verdict FailedVerdict(Text text) {
  Verdict v;
  v.text = std::move(text);
  return v;
}

Text ApplyVerdict(TextView parameter, const Verdict& verdict) {
  if (!verdict.checksum_to_remember) return Text(parameter);
  return FromUtf8(SetKeyValue(ToUtf8(parameter), keys::kChecksum, ToUtf8(*verdict.checksum_to_remember)));
}

}  // namespace comvorlix
