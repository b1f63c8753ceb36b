#include "platform/support/test_keys.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace comvorlix::testing_support {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/comvorlix-ssh-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  if (DIR* d = opendir(path_.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") ::unlink((path_ + "/" + name).c_str());
    }
    closedir(d);
  }
  ::rmdir(path_.c_str());
}

GeneratedKey GenerateKeyFile(const TempDir& dir, const std::string& name, ssh_keytypes_e type, int bits,
                             const std::optional<std::string>& pass_phrase) {
  ssh_key raw = nullptr;
  if (ssh_pki_generate(type, bits, &raw) != SSH_OK) return {};
  GeneratedKey result;
  result.key = ssh_internal::SharedKey(raw, ssh_internal::KeyDeleter());
  result.path = dir.File(name);
  if (ssh_pki_export_privkey_file(raw, pass_phrase ? pass_phrase->c_str() : nullptr, nullptr, nullptr,
                                  result.path.c_str()) != SSH_OK) {
    throw std::runtime_error("cannot write the key file " + result.path);
  }
  return result;
}

}  // namespace comvorlix::testing_support
