#include "record_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "log.h"

namespace switchsim {

RecordFile::RecordFile(const std::string& path) : path_(path) {
  if (path.empty()) return;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
}

RecordFile::~RecordFile() {
  if (fd_ >= 0) ::close(fd_);
}

void RecordFile::Append(std::string_view line) {
  if (fd_ < 0) return;
  std::string text(line);
  text += '\n';
  std::lock_guard<std::mutex> lock(mutex_);
  if (::write(fd_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    LogLine("cannot append to " + path_);
  }
}

std::string Escaped(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) {
    if (c > 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace switchsim
