#include "ssh/handles.h"

#include <string.h>
#include <unistd.h>

namespace comvorlix::ssh_internal {

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

void Wipe(std::string& s) {
  // explicit_bzero is not removed as a dead store, unlike memset.
  if (!s.empty()) explicit_bzero(s.data(), s.size());
  s.clear();
}

void LibraryStringDeleter::operator()(char* p) const {
  if (p == nullptr) return;
  explicit_bzero(p, strlen(p));
  ssh_string_free_char(p);
}

int RefusePassPhrase(const char*, char*, size_t, int, int, void*) { return -1; }

UniqueKey ImportPrivateKeyPem(const std::string& key_text) {
  ssh_key key = nullptr;
  if (ssh_pki_import_privkey_base64(key_text.c_str(), nullptr, RefusePassPhrase, nullptr, &key) !=
      SSH_OK) {
    return nullptr;
  }
  return UniqueKey(key);
}

}  // namespace comvorlix::ssh_internal
