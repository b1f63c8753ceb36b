#include "base/pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace comvorlix {

void PrepareToWrite(char* at, size_t size) {
  constexpr size_t kWorthIt = 8 * 1024;
  if (size < kWorthIt) return;
#ifdef MADV_POPULATE_WRITE
  static const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t begin = reinterpret_cast<uintptr_t>(at) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(at) + size + page - 1) & ~(page - 1);
  // The pages at either end are partly the caller's already: populating a
  // page that is there changes nothing.
  madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
}

}  // namespace comvorlix
