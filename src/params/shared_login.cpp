#include "params/shared_login.h"

#include "params/keys.h"
#include "params/parameter_string.h"

namespace comvorlix {
namespace {

// The login keys in the form's order.
constexpr TextView kLoginKeys[] = {keys::kUser,    keys::kPassword, keys::kProtocol,
                                   keys::kKeyFile, keys::kKeyType,  keys::kEnablePassword};

}  // namespace

Text FillInLogin(TextView own, TextView shared) {
  const bool shared_user = GetKeyValue(own, keys::kUser).empty();
  const bool shared_key_file = GetKeyValue(own, keys::kKeyFile).empty();
  Text filled(own);
  for (const TextView key : kLoginKeys) {
    const Text value = GetKeyValue(shared, key);
    if (value.empty()) continue;
    const bool take = GetKeyValue(own, key).empty() || (key == keys::kProtocol && shared_user) ||
                      (key == keys::kKeyType && shared_key_file);
    if (take) filled = SetKeyValue(filled, key, value);
  }
  return filled;
}

Text OwnStringAfterCheck(TextView own, TextView filled, TextView checked) {
  if (checked == filled) return Text(own);
  return SetKeyValue(own, keys::kChecksum, GetKeyValue(checked, keys::kChecksum));
}

Text LoginKeysOnly(TextView p) {
  Text out = u"#";
  out += keys::kEncrypted;
  out += u"=T#";
  for (const TextView key : kLoginKeys) {
    out += key;
    out += u'=';
    out += GetKeyValue(p, key);
    out += u'#';
  }
  return out;
}

}  // namespace comvorlix
