// The parameter codec for tests that hold their strings as UTF-16 texts (the
// form's controls and the automation adapter hand out texts): each call
// converts at its edge, as the host edge does.
#pragma once

#include "automation/text.h"
#include "params/parameter_string.h"
#include "params/secret_field.h"

namespace comvorlix {

inline Text GetKeyValue(TextView p, TextView key) { return FromUtf8(GetKeyValue(ToUtf8(p), ToUtf8(key))); }
inline Text SetKeyValue(TextView p, TextView key, TextView value) {
  return FromUtf8(SetKeyValue(ToUtf8(p), ToUtf8(key), ToUtf8(value)));
}
inline Text EncodeSecretField(TextView clear, bool encrypt) {
  return FromUtf8(EncodeSecretField(ToUtf8(clear), encrypt));
}
inline Text DecodeSecretField(TextView stored, bool try_decrypt) {
  return FromUtf8(DecodeSecretField(ToUtf8(stored), try_decrypt));
}

}  // namespace comvorlix
