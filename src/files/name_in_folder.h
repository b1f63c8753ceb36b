// A file's name in a folder that is held open: the path is resolved once
// (FollowTrustedLinks), its folder opened, and from then on the name is
// only looked up in that folder descriptor (openat, fstatat, renameat).
// Whoever controls the folder can still rename and replace entries in it,
// but cannot make a later step act on another folder or write through a
// link: opening never follows a link at the name, and a replacement is a
// fresh file renamed over the name.
//
// Errors throw FileError naming the path as given (a sibling's own path). Objects are move-only and own the folder
// descriptor; one thread uses an object at a time.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "files/safe_open.h"

namespace comvorlix {

class NameInFolder {
 public:
  // Follows the trusted links of `path` and opens the folder of the file
  // they end at. A missing folder gives an object whose name is missing
  // (Open gives nothing, Replace fails naming the path).
  static NameInFolder Resolve(const std::string& path);

  NameInFolder(NameInFolder&& other) noexcept;
  NameInFolder& operator=(NameInFolder&& other) noexcept;
  NameInFolder(const NameInFolder&) = delete;
  NameInFolder& operator=(const NameInFolder&) = delete;
  ~NameInFolder();

  // `name` + `suffix` in the same folder (its own descriptor), named in
  // messages by its own path, `resolved` + `suffix`.
  NameInFolder Sibling(const std::string& suffix) const;

  // The path as given, for messages, and the file's own path.
  const std::string& path() const { return path_; }
  const std::string& resolved() const { return resolved_; }
  // The last component of `resolved`: the name in the folder.
  const std::string& name() const { return name_; }
  // The folder's descriptor, -1 when the folder was missing.
  int folder_fd() const { return folder_; }

  // Opens the regular file at the name with `access` (O_RDONLY, O_WRONLY
  // or O_RDWR) without following a link and without blocking; nothing
  // when the name is missing. A link, FIFO, folder or device there is
  // refused.
  std::optional<OpenedFile> Open(int access) const;

  // Whether the name refers, right now, to the regular file described by
  // `info` (same device and inode).
  bool Holds(const struct stat& info) const;

  // Replaces whatever is at the name (a file, a link, a FIFO) by a new
  // file holding `bytes`: created under a temporary name in the folder
  // with O_CREAT|O_EXCL|O_NOFOLLOW and mode 0600, given `owner`'s user and
  // group when run as root (anyone else tries the group only), then
  // `mode`, written, flushed and renamed over the name. Nothing at the
  // name is opened, so nothing is written through a link. On failure the
  // old entry is untouched and the temporary file removed.
  struct Owner {
    uid_t uid;
    gid_t gid;
  };
  void Replace(std::string_view bytes, mode_t mode, std::optional<Owner> owner) const;

 private:
  NameInFolder(std::string path, std::string resolved, int folder, std::string name)
      : path_(std::move(path)), resolved_(std::move(resolved)), folder_(folder), name_(std::move(name)) {}
  std::string path_;
  std::string resolved_;
  int folder_;
  std::string name_;
};

}  // namespace comvorlix
