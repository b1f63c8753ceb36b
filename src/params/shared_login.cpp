#include "params/shared_login.h"

#include "params/keys.h"
#include "params/parameter_string.h"

namespace comvorlix {

std::string FillInLogin(std::string_view own, std::string_view shared) {
  std::string filled(own);
  for (const ParameterKey& row : ParameterKeys()) {
    if (!row.login) continue;
    const std::string value = GetKeyValue(shared, row.key);
    if (value.empty()) continue;
    const bool take = GetKeyValue(own, row.key).empty() ||
                      (!row.goes_with.empty() && GetKeyValue(own, row.goes_with).empty());
    if (take) filled = SetKeyValue(filled, row.key, value);
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
  for (const ParameterKey& row : ParameterKeys()) {
    if (!row.login) continue;
    out += row.key;
    out += '=';
    out += GetKeyValue(p, row.key);
    out += '#';
  }
  return out;
}

}  // namespace comvorlix
