// The protocol log of one SSH session, written to the debug file and the
// process's debug output (base/debug_output.h).
//
// A DebugLog appends time-stamped records to a file, one line each, and
// hands the same records (without the time stamp, which the listener adds)
// to the debug output while a listener is attached; the SSH library's own
// lines go there only at debug output level 2. Every
// record is scrubbed: each occurrence of a secret given at construction
// (password, pass phrase) is replaced by "********" before it is written,
// as a last guard; callers never pass secrets or session data in the first
// place. Control bytes in a record (switch and network text: escape
// sequences, CR, LF, NUL) are written as \xNN, so a record is one line and
// cannot rewrite a terminal that shows the file. Each record is one
// write(2) to a file opened with O_APPEND.
//
// The file is opened without following a symbolic link at the path,
// created with mode 0600, and only written when it is a regular file owned
// by the running user; any other file is left alone.
//
// Line may be called from any thread (the session's worker and the thread
// that owns the session share one DebugLog).
//
// While a LibraryLogRoute lives on a thread, the SSH library's own log lines
// raised on that thread (at protocol level) go to its DebugLog, when the
// file is written or the debug output wants them (library_wanted). The
// library's log callback and level are process-wide; the route is per
// thread because each session runs on a worker thread of its own. Lines of
// threads without a route are dropped.
//
// A debug file that cannot be opened or is refused is reported once on the
// debug output; the session goes on without it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ssh/handles.h"

namespace comvorlix::ssh_internal {

class DebugLog {
 public:
  // An empty path gives a log that writes nothing.
  DebugLog(const std::string& path, std::vector<SecretString> secrets);
  ~DebugLog();
  DebugLog(const DebugLog&) = delete;
  DebugLog& operator=(const DebugLog&) = delete;

  bool enabled() const { return fd_ >= 0; }
  // The SSH library's protocol log is wanted by the file or the debug output.
  bool library_wanted() const;
  // `library`: a line of the SSH library's own log.
  void Line(std::string_view text, bool library = false) const;

 private:
  int fd_ = -1;
  std::vector<SecretString> secrets_;
};

class LibraryLogRoute {
 public:
  explicit LibraryLogRoute(const DebugLog* log);  // does nothing when the log is disabled
  ~LibraryLogRoute();
  LibraryLogRoute(const LibraryLogRoute&) = delete;
  LibraryLogRoute& operator=(const LibraryLogRoute&) = delete;

 private:
  bool active_ = false;
};

}  // namespace comvorlix::ssh_internal
