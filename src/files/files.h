// File operations on raw bytes.
//
// Paths are UTF-8. Reading and writing move the file's bytes unchanged.
// Failures throw AutomationError whose description names the file and the
// system's reason (e.g. "cannot write /x/y: No space left on device").
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace comvorlix {

// Writes all of `bytes` to the descriptor, again after a signal; 0, or the
// errno of the write that failed (EIO for one that wrote nothing).
int WriteAll(int fd, std::string_view bytes);

std::string ReadFileBytes(const std::string& path);
// The first `max_bytes` bytes of the file (all of a shorter one); reads no
// more than that, so an oversized file costs no memory.
std::string ReadFileBytes(const std::string& path, size_t max_bytes);

}  // namespace comvorlix
