#include "params/shared_login.h"

#include "params/keys.h"
#include "params/parameter_string.h"

namespace comvorlix {
namespace {

// The login keys in the form's order.
constexpr std::string_view kLoginKeys[] = {keys::kUser,    keys::kPassword, keys::kProtocol,
                                   keys::kKeyFile, keys::kKeyType,  keys::kEnablePassword};

}  // namespace

std::string FillInLogin(std::string_view own, std::string_view shared) {
  const bool shared_user = GetKeyValue(own, keys::kUser).empty();
  const bool shared_key_file = GetKeyValue(own, keys::kKeyFile).empty();
  std::string filled(own);
  for (const std::string_view key : kLoginKeys) {
    const std::string value = GetKeyValue(shared, key);
    if (value.empty()) continue;
    const bool take = GetKeyValue(own, key).empty() || (key == keys::kProtocol && shared_user) ||
                      (key == keys::kKeyType && shared_key_file);
    if (take) filled = SetKeyValue(filled, key, value);
  }
  return filled;
}

std::string OwnStringAfterCheck(std::string_view own, std::string_view filled, std::string_view checked) {
  if (checked == filled) return std::string(own);
  return SetKeyValue(own, keys::kChecksum, GetKeyValue(checked, keys::kChecksum));
}

std::string LoginKeysOnly(std::string_view p) {
  std::string out = "#";
  out += keys::kEncrypted;
  out += "=T#";
  for (const std::string_view key : kLoginKeys) {
    out += key;
    out += '=';
    out += GetKeyValue(p, key);
    out += '#';
  }
  return out;
}

}  // namespace comvorlix
