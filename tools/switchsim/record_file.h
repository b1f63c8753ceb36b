// An append-only record file that tests read to see what reached the
// emulated switch (authentication requests, typed commands).
//
// The file is opened for appending when the object is made and closed with
// it. Every Append writes one whole line with a single write(2) under a
// lock, so lines from concurrent sessions never interleave. A RecordFile made
// with an empty path records nothing. The caller decides what a line holds;
// secrets must not be passed unless recording them is the file's purpose.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace switchsim {

class RecordFile {
 public:
  // Throws std::runtime_error naming the file when it cannot be opened.
  explicit RecordFile(const std::string& path);
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Appends `line` and a LF. Write failures are reported on stderr.
  void Append(std::string_view line);

 private:
  std::string path_;
  int fd_ = -1;
  std::mutex mutex_;
};

// `text` with every byte outside printable ASCII, and the blank, written as
// \xHH, so a client-chosen word stays one word on one line.
std::string Escaped(std::string_view text);

}  // namespace switchsim
