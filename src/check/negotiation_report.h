// The debug lines that name what an SSH session negotiated, and which of it
// is old: algorithms that only old switches still need (SHA-1 key exchange,
// DSA host keys, CBC ciphers, SHA-1 and MD5 MACs).
//
// Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "session/transcript.h"

namespace comvorlix {

// True for an algorithm name of the old kind described above.
bool IsOldAlgorithm(std::string_view name);

// Nothing when no key exchange took place; otherwise
//   "SSH negotiated: key exchange K, host key H, cipher C, MAC M"
// (each direction named when they differ) and, when old ones were needed,
//   "SSH old algorithm needed: A (key exchange), B (cipher), ..."
std::vector<std::string> NegotiationLines(const SshNegotiated& facts);

}  // namespace comvorlix
