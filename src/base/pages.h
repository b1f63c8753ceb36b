// Fresh memory made writable ahead of a large copy.
//
// The first write to each fresh 4 KiB page traps into the kernel once; a
// buffer that a long listing is copied into is written page after page, so
// it pays that trap hundreds of times. PrepareToWrite asks the kernel to
// make the pages of a range writable in one call instead. It is only
// advice: a kernel that does not know it leaves the pages to be taken one
// by one as before. Thread-safe; never fails.
#pragma once

#include <cstddef>

namespace comvorlix {

// Prepares the pages that hold [at, at + size), which must lie inside
// memory the caller owns and will write. Ranges below a few pages are left
// alone: the call would cost more than the traps it saves.
void PrepareToWrite(char* at, size_t size);

}  // namespace comvorlix
