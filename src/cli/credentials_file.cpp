#include "cli/credentials_file.h"

#include <fcntl.h>

#include <optional>
#include <stdexcept>

#include "cli/parameter_file.h"
#include "files/safe_open.h"
#include "params/keys.h"
#include "params/parameter_string.h"
#include "params/secret_field.h"

namespace comvorlix::cli {

std::string ReadCredentialsFile(const std::string& path) {
  const std::string what = "credentials file " + path;
  std::string content;
  try {
    const std::optional<OpenedFile> file = OpenRegularFile(path, O_RDONLY);
    if (!file) {
      throw std::runtime_error(what + " does not exist (write it with comvorlix configure --credentials " + path + ")");
    }
    content = ReadCapped(*file, ParameterFile::kMaxBytes, path);
  } catch (const FileError& e) {
    if (e.refused()) throw std::runtime_error("credentials file " + e.description());
    throw std::runtime_error(what + ": " + e.description());
  }
  const std::string line = ParameterLine(content, what);
  if (GetKeyValue(line, keys::kUser).empty()) throw std::runtime_error(what + " holds no user name");
  // A secret that does not decode would fail every check that uses the
  // file with a text that does not name it.
  for (const std::string_view key : {keys::kPassword, keys::kEnablePassword}) {
    try {
      DecodeSecretField(GetKeyValue(line, key), true);
    } catch (const std::exception&) {
      throw std::runtime_error(what + " holds a password that does not decode");
    }
  }
  return line;
}

}  // namespace comvorlix::cli
