#include "ssh/support/test_keys.h"


#include <stdexcept>

namespace comvorlix::testing_support {

GeneratedKey GenerateKeyFile(const testing::TempDir& dir, const std::string& name, ssh_keytypes_e type, int bits,
                             const std::optional<std::string>& pass_phrase) {
  ssh_key raw = nullptr;
  if (ssh_pki_generate(type, bits, &raw) != SSH_OK) return {};
  GeneratedKey result;
  result.key = ssh_internal::SharedKey(raw, ssh_internal::KeyDeleter());
  result.path = dir.Path(name);
  if (ssh_pki_export_privkey_file(raw, pass_phrase ? pass_phrase->c_str() : nullptr, nullptr, nullptr,
                                  result.path.c_str()) != SSH_OK) {
    throw std::runtime_error("cannot write the key file " + result.path);
  }
  return result;
}

}  // namespace comvorlix::testing_support
