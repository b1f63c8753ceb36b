// Where the command-line program's cryptography takes its random bytes.
#pragma once

namespace comvorlix::cli {

// From now on, every random byte the cryptographic library hands out in
// this process (key exchange, padding, signatures) comes straight from the
// kernel's generator (getrandom), as OpenSSH's do, instead of from the
// library's own generator. That generator is built on its first use, about
// a millisecond of every check, and is seeded from the kernel anyway. Left
// as it is when the library runs in FIPS mode, whose approved generator
// must stay. Call once, on the main thread, before any SSH session starts.
// Only for this program: the library (libcomvorlix.so) leaves a host
// program's cryptography as the host set it up.
void DrawCryptoRandomFromKernel();

}  // namespace comvorlix::cli
