// The key object of the SSH control: loads a private key file and hands the
// key out as text for SshClient::SetPrivateKey.
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
// Key type codes: 0 = RSA, 1 = DSA. An RSA key asked for as DSA, or a DSA key
// asked for as RSA, raises an error; an ECDSA or Ed25519 key is handed out
// whatever the code says (the code only tells RSA from DSA).
//
// Errors raise AutomationError (kFail, or kInvalidArgument for an unknown
// type code) with one of these descriptions; they name the file but never a
// pass phrase or any key material:
//   "cannot read the key file PATH: <system reason>"
//   "the key file PATH is protected by a pass phrase and none was given"
//   "the pass phrase for the key file PATH is wrong"
//   "the key file PATH holds no private key that can be read"
//   "no key file has been loaded"
//   "the key in PATH is an RSA key, not a DSA key" (and the other way round)
//   "unknown key type code N (0 = RSA, 1 = DSA)"
//
// Not thread-safe; one owner at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace comvorlix {

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
  std::string PrivateKey(int32_t type_code) const;

 private:
  struct Loaded;
  std::unique_ptr<Loaded> loaded_;
};

}  // namespace comvorlix
