#include "check/negotiation_report.h"

namespace comvorlix {
namespace {

struct CipherMac {
  std::string cipher;
  std::string mac;
};

// "cipher/mac"; an AEAD cipher's integrity is its own ("implicit").
CipherMac Split(const std::string& pair) {
  const size_t slash = pair.find('/');
  CipherMac cm{pair.substr(0, slash), slash == std::string::npos ? std::string() : pair.substr(slash + 1)};
  if (cm.mac.empty() || cm.mac == "aead-poly1305" || cm.mac == "aead-gcm" || cm.mac == "none") {
    cm.mac = "implicit";
  }
  return cm;
}

std::string Both(const std::string& sc, const std::string& cs) {
  return sc == cs ? sc : sc + " (server to client), " + cs + " (client to server)";
}

}  // namespace

bool IsOldAlgorithm(std::string_view name) {
  auto ends_with = [&](std::string_view end) {
    return name.size() >= end.size() && name.substr(name.size() - end.size()) == end;
  };
  return name == "diffie-hellman-group1-sha1" || name == "diffie-hellman-group14-sha1" ||
         name == "diffie-hellman-group-exchange-sha1" || name == "ssh-dss" || ends_with("-cbc") ||
         name == "hmac-sha1" || name == "hmac-sha1-etm@openssh.com" || name.substr(0, 8) == "hmac-md5";
}

std::vector<std::string> NegotiationLines(const SshNegotiated& facts) {
  if (facts.key_exchange.empty()) return {};
  const CipherMac sc = Split(facts.server_to_client);
  const CipherMac cs = Split(facts.client_to_server);
  std::vector<std::string> lines{"SSH negotiated: key exchange " + facts.key_exchange + ", host key " +
                                 facts.host_key_type + ", cipher " + Both(sc.cipher, cs.cipher) + ", MAC " +
                                 Both(sc.mac, cs.mac)};
  std::string old;
  auto note = [&](const std::string& name, const char* role) {
    const std::string item = name + " (" + role + ")";
    if (IsOldAlgorithm(name) && old.find(item) == std::string::npos) old += (old.empty() ? "" : ", ") + item;
  };
  note(facts.key_exchange, "key exchange");
  note(facts.host_key_type, "host key");
  for (const CipherMac* cm : {&sc, &cs}) {
    note(cm->cipher, "cipher");
    note(cm->mac, "MAC");
  }
  if (!old.empty()) lines.push_back("SSH old algorithm needed: " + old);
  return lines;
}

}  // namespace comvorlix
