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

// The length of the file, or nothing when it cannot be read (missing,
// not a regular file, no permission).
std::optional<uint64_t> FileLength(const std::string& path);
std::string ReadFileBytes(const std::string& path);
// The first `max_bytes` bytes of the file (all of a shorter one); reads no
// more than that, so an oversized file costs no memory.
std::string ReadFileBytes(const std::string& path, size_t max_bytes);
// Creates or truncates `path` and writes `bytes`, checking every write and
// the close, so a full disk is reported rather than ignored.
void WriteFileBytes(const std::string& path, const std::string& bytes);
void DeleteFile(const std::string& path);

// Replaces `path` atomically: writes a new file in the same folder, flushes
// it to disk, and renames it over `path`. Keeps the permissions of an
// existing file and, when run as root, its owner and group (anyone else
// keeps the group where the system allows); a new file gets
// `new_file_mode`. A symbolic link stays a link: its target is replaced
// (a link to a missing file is refused). On failure the old file is
// untouched and the temporary file is removed.
void ReplaceFileAtomically(const std::string& path, const std::string& bytes,
                           unsigned new_file_mode = 0600);

}  // namespace comvorlix
