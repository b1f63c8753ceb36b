#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/commands.h"
#include "crc/crc.h"

namespace comvorlix::cli {

Outcome RunCrcCommand(const Args& args) {
  if (args.size() > 1) throw UsageError("crc takes at most one FILE");
  std::unique_ptr<FILE, int (*)(FILE*)> owned(nullptr, fclose);
  FILE* in = stdin;
  std::string name = "standard input";
  if (!args.empty() && args[0] != "-") {
    name = args[0];
    owned.reset(std::fopen(name.c_str(), "rb"));
    if (!owned) return Outcome{kUnknown, "", "comvorlix: cannot read " + name + ": " + std::strerror(errno)};
    in = owned.get();
  }
  // Streams the bytes: a saved listing may be large.
  uint32_t crc = 0;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[1 << 16]);
  size_t n;
  while ((n = std::fread(buffer.get(), 1, 1 << 16, in)) > 0) crc = Crc32Update(crc, buffer.get(), n);
  if (std::ferror(in)) return Outcome{kUnknown, "", "comvorlix: cannot read " + name + ": " + std::strerror(errno)};
  return Outcome{kOk, CrcToHex(crc), ""};
}

}  // namespace comvorlix::cli
