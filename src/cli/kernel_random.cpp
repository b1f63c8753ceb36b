#include "cli/kernel_random.h"

// Replacing the generator takes OpenSSL's RAND_METHOD, deprecated in 3.0
// but kept: it is the one way to do it for the whole library context.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/random.h>

#include <cerrno>
#include <cstddef>

namespace comvorlix::cli {
namespace {

// Fills `buffer` whole: getrandom blocks only until the kernel's generator
// is first seeded at boot, and may return less than asked when a signal
// arrives.
int KernelBytes(unsigned char* buffer, int count) {
  if (count < 0) return 0;
  size_t done = 0;
  while (done < static_cast<size_t>(count)) {
    const ssize_t n = ::getrandom(buffer + done, static_cast<size_t>(count) - done, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    done += static_cast<size_t>(n);
  }
  return 1;
}

// The kernel seeds itself; what a caller offers adds nothing.
int Seed(const void*, int) { return 1; }
int Add(const void*, int, double) { return 1; }
int Ready() { return 1; }

const RAND_METHOD kKernel = {Seed, KernelBytes, nullptr, Add, KernelBytes, Ready};

}  // namespace

void DrawCryptoRandomFromKernel() {
  if (EVP_default_properties_is_fips_enabled(nullptr)) return;
  RAND_set_rand_method(&kKernel);
}

}  // namespace comvorlix::cli
