// Owning wrappers for the SSH library's handles and for secrets in memory.
//
// Internal to the SSH layer (SshClient, SshKey); the tests use them too.
// Each handle type frees itself exactly once, so error paths need no
// teardown of their own.
#pragma once

#include <libssh/libssh.h>

#include <memory>
#include <string>
#include <string_view>

namespace comvorlix {
class SshKey;
}

namespace comvorlix::ssh_internal {

struct SessionDeleter {
  void operator()(ssh_session s) const { ssh_free(s); }
};
struct ChannelDeleter {
  void operator()(ssh_channel c) const { ssh_channel_free(c); }
};
struct KeyDeleter {
  void operator()(ssh_key k) const { ssh_key_free(k); }
};

using UniqueSession = std::unique_ptr<ssh_session_struct, SessionDeleter>;
using UniqueChannel = std::unique_ptr<ssh_channel_struct, ChannelDeleter>;
using UniqueKey = std::unique_ptr<ssh_key_struct, KeyDeleter>;
// Keys are immutable once made, so several owners may share one.
using SharedKey = std::shared_ptr<ssh_key_struct>;

// A file descriptor, closed once.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

// Overwrites the bytes of `s` (in a way the compiler keeps) and empties it.
void Wipe(std::string& s);

// A string that is wiped when it is destroyed or replaced.
class SecretString {
 public:
  SecretString() = default;
  explicit SecretString(std::string value) : value_(std::move(value)) {}
  SecretString(const SecretString& other) : value_(other.value_) {}
  SecretString& operator=(const SecretString& other) {
    if (this != &other) {
      Wipe(value_);
      value_ = other.value_;
    }
    return *this;
  }
  ~SecretString() { Wipe(value_); }

  const std::string& get() const { return value_; }
  std::string& mutable_value() { return value_; }
  bool empty() const { return value_.empty(); }

 private:
  std::string value_;
};

// A string the SSH library allocated (ssh_pki_export_privkey_base64 and
// the like), wiped and freed.
struct LibraryStringDeleter {
  void operator()(char* p) const;
};
using UniqueLibraryString = std::unique_ptr<char, LibraryStringDeleter>;

// A pass phrase callback that never gives one. Without a callback, the
// cryptographic library would ask for the pass phrase on the terminal.
int RefusePassPhrase(const char* prompt, char* buf, size_t len, int echo, int verify, void* userdata);

// Reads the text of a private key file (unencrypted, OpenSSH or PEM) as
// handed out by SshKey::PrivateKey. Returns nothing when it is no key.
UniqueKey ImportPrivateKeyPem(const std::string& key_text);

// The library's handle of a loaded SshKey, sharing ownership of it; null
// when it holds no key. The key is never changed once loaded, so the
// session thread may use it while the owner's other copies only wait.
SharedKey LoadedKeyOf(std::shared_ptr<const SshKey> owner);

}  // namespace comvorlix::ssh_internal
