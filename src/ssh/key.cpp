#include "ssh/key.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/automation_error.h"
#include "files/safe_open.h"
#include "ssh/handles.h"

namespace comvorlix {

using ssh_internal::SecretString;
using ssh_internal::UniqueKey;
using ssh_internal::UniqueLibraryString;

struct SshKey::Loaded {
  std::string path;  // UTF-8, for messages
  UniqueKey key;
};

// The library's key inside an SshKey, owned by it: the handle lives as long
// as the returned pointer, which shares `owner`.
struct SshKeyAccess {
  static ssh_internal::SharedKey Key(std::shared_ptr<const SshKey> owner) {
    if (!owner || !owner->loaded_) return nullptr;
    ssh_key key = owner->loaded_->key.get();
    return ssh_internal::SharedKey(std::move(owner), key);
  }
};

namespace {

[[noreturn]] void Fail(const std::string& description) {
  throw AutomationError(Status::kFail, description);
}

// Larger than any private key file; a bigger file is no key.
constexpr size_t kMaxKeyFileBytes = 64 * 1024;

// The whole file, read with plain system calls so that no stream buffer
// keeps a copy of the key behind our back. Opened as any file a check
// opens that someone else may have planted: trusted links only, no wait
// for a FIFO, a regular file only, and no more than the cap.
SecretString ReadKeyFile(const std::string& path) {
  std::optional<OpenedFile> file;
  try {
    file = OpenRegularFile(path, O_RDONLY);
  } catch (const FileError& e) {
    Fail("cannot read the key file " + path + ": " + e.AfterColon());
  }
  if (!file) Fail("cannot read the key file " + path + ": " + std::strerror(ENOENT));
  SecretString content;
  std::string& bytes = content.mutable_value();
  bytes.reserve(kMaxKeyFileBytes + 1);  // never reallocated, so no copies are left behind
  char chunk[4096];
  for (;;) {
    ssize_t n = ::read(file->fd(), chunk, std::min(sizeof chunk, kMaxKeyFileBytes + 1 - bytes.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int error = errno;
      explicit_bzero(chunk, sizeof chunk);
      Fail("cannot read the key file " + path + ": " + std::strerror(error));
    }
    if (n == 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
    if (bytes.size() > kMaxKeyFileBytes) {
      explicit_bzero(chunk, sizeof chunk);
      Fail("cannot read the key file " + path + ": it is larger than " + std::to_string(kMaxKeyFileBytes) +
           " bytes");
    }
  }
  explicit_bzero(chunk, sizeof chunk);
  return content;
}

// The pass phrase callback of the probe: notes that the key asked for one.
int NoteRequest(const char*, char*, size_t, int, int, void* userdata) {
  *static_cast<bool*>(userdata) = true;
  return -1;
}

bool IsRsa(ssh_keytypes_e t) { return t == SSH_KEYTYPE_RSA || t == SSH_KEYTYPE_RSA_CERT01; }
bool IsDsa(ssh_keytypes_e t) { return t == SSH_KEYTYPE_DSS || t == SSH_KEYTYPE_DSS_CERT01; }

}  // namespace

SshKey::SshKey() = default;
SshKey::~SshKey() = default;

void SshKey::Load(const std::string& path, std::optional<std::string> pass_phrase) {
  loaded_.reset();
  const std::string& file = path;
  SecretString content = ReadKeyFile(file);
  SecretString phrase(pass_phrase ? std::move(*pass_phrase) : std::string());

  ssh_key key = nullptr;
  bool asked = false;
  int rc = ssh_pki_import_privkey_base64(content.get().c_str(),
                                         pass_phrase ? phrase.get().c_str() : nullptr,
                                         NoteRequest, &asked, &key);
  if (rc != SSH_OK) {
    if (!pass_phrase) {
      if (asked) Fail("the key file " + file + " is protected by a pass phrase and none was given");
      Fail("the key file " + file + " holds no private key that can be read");
    }
    // Tell a wrong pass phrase from a file that is no key: without a pass
    // phrase, an encrypted key asks for one.
    ssh_key probe = nullptr;
    rc = ssh_pki_import_privkey_base64(content.get().c_str(), nullptr, NoteRequest, &asked, &probe);
    UniqueKey probed(probe);
    if (asked) Fail("the pass phrase for the key file " + file + " is wrong");
    Fail("the key file " + file + " holds no private key that can be read");
  }
  auto loaded = std::make_unique<Loaded>();
  loaded->path = file;
  loaded->key.reset(key);
  loaded_ = std::move(loaded);
}

void SshKey::RequireType(SshKeyType asked) const {
  if (!loaded_) Fail("no key file has been loaded");
  ssh_keytypes_e type = ssh_key_type(loaded_->key.get());
  if (asked == SshKeyType::kDsa && IsRsa(type)) Fail("the key in " + loaded_->path + " is an RSA key, not a DSA key");
  if (asked == SshKeyType::kRsa && IsDsa(type)) Fail("the key in " + loaded_->path + " is a DSA key, not an RSA key");
}

std::string SshKey::PrivateKey(SshKeyType asked) const {
  RequireType(asked);

  char* exported = nullptr;
  if (ssh_pki_export_privkey_base64(loaded_->key.get(), nullptr, nullptr, nullptr, &exported) != SSH_OK) {
    Fail("the key in " + loaded_->path + " cannot be exported");
  }
  UniqueLibraryString text(exported);
  return std::string(text.get());
}

namespace ssh_internal {

SharedKey LoadedKeyOf(std::shared_ptr<const SshKey> owner) { return SshKeyAccess::Key(std::move(owner)); }

}  // namespace ssh_internal

}  // namespace comvorlix
