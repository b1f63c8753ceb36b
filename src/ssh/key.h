// A private key for key login: loads a private key file and hands the key
// out as text for SshSettings::private_key (ssh/settings.h).
//
// Load reads OpenSSH ("BEGIN OPENSSH PRIVATE KEY") and PEM (PKCS#1, PKCS#8,
// SEC1) private key files holding an RSA, ECDSA, Ed25519 or (where the SSH
// library still supports it) DSA key, encrypted with a pass phrase or not.
// A pass phrase given for a key that has none is ignored.
//
// PrivateKey hands out the key as the text of an unencrypted OpenSSH private
// key file. The text stays in memory (the caller passes it straight to the
// client); the key object wipes its own copies of the file and of the key
// text it exports.
//
// The type asked for only tells RSA from DSA: an RSA key asked for as DSA,
// or a DSA key asked for as RSA, raises an error; an ECDSA or Ed25519 key is
// handed out whatever the type says.
//
// Errors raise AutomationError (kFail) with one of these descriptions; they
// name the file but never a pass phrase or any key material:
//   "cannot read the key file PATH: <system reason>"
//   "the key file PATH is protected by a pass phrase and none was given"
//   "the pass phrase for the key file PATH is wrong"
//   "the key file PATH holds no private key that can be read"
//   "no key file has been loaded"
//   "the key in PATH is an RSA key, not a DSA key" (and the other way round)
//   "the key in PATH cannot be exported"
//
// Not thread-safe; one owner at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace comvorlix {

enum class SshKeyType { kRsa, kDsa };

class SshKey {
 public:
  SshKey();
  ~SshKey();
  SshKey(const SshKey&) = delete;
  SshKey& operator=(const SshKey&) = delete;

  // Replaces any key loaded before. On failure the object holds no key.
  // The path and the pass phrase are UTF-8.
  void Load(const std::string& path, std::optional<std::string> pass_phrase);
  // The key as the text of an unencrypted OpenSSH private key file.
  std::string PrivateKey(SshKeyType type) const;
  // Raises the errors PrivateKey raises for no key or the wrong type, and
  // exports nothing: the check of a key handed to the client as it is
  // (SshSettings::key), which saves writing it out and reading it back.
  void RequireType(SshKeyType type) const;

 private:
  friend struct SshKeyAccess;
  struct Loaded;
  std::unique_ptr<Loaded> loaded_;
};

}  // namespace comvorlix
