// A private temporary folder for one test, removed with everything in it
// when the object goes. Also helpers that read and write a whole file.
#pragma once

#include <string>
#include <vector>

namespace comvorlix::testing {

class TempDir {
 public:
  // Creates a fresh folder under $TMPDIR (or /tmp); throws
  // std::runtime_error when it cannot.
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return dir_; }
  // The path of `name` inside the folder (the file need not exist).
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // Writes `content` to the named file with `mode` and returns its path.
  std::string Write(const std::string& name, const std::string& content, unsigned mode = 0600) const;
  // The names of the entries in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::string dir_;
};

// The bytes of the file at `path`; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Replaces the file at `path` with `content` (mode from the umask when new).
void WriteWholeFile(const std::string& path, const std::string& content);

}  // namespace comvorlix::testing
