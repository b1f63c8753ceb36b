#include "check/kept_listing.h"

#include "base/bytes.h"

namespace comvorlix {
namespace {

constexpr std::string_view kHeadPrefix = "# comvorlix listing CRC=";
constexpr std::string_view kDevice = " DEV=";
constexpr std::string_view kConfiguration = " CFG=";

// Longest device or configuration code a head names; the head then fits
// in kMaxKeptHeadBytes.
constexpr size_t kMaxCodeChars = 32;

bool IsCode(std::string_view code) {
  if (code.empty() || code.size() > kMaxCodeChars) return false;
  for (const char c : code) {
    if (c <= ' ' || c >= 0x7F) return false;
  }
  return true;
}

// The first line of `file_text`; nothing when there is no line end.
std::optional<std::string_view> FirstLine(std::string_view file_text) {
  const size_t nl = file_text.find('\n');
  if (nl == std::string_view::npos) return std::nullopt;
  return file_text.substr(0, nl);
}

// The checksum a head names and what follows it (empty for an old head).
struct Head {
  std::string_view crc;
  std::string_view rest;
};

std::optional<Head> ParseHead(std::string_view line) {
  if (line.substr(0, kHeadPrefix.size()) != kHeadPrefix) return std::nullopt;
  line.remove_prefix(kHeadPrefix.size());
  const size_t end = line.find(' ');
  if (end == std::string_view::npos) return Head{line, {}};
  return Head{line.substr(0, end), line.substr(end)};
}

}  // namespace

std::string KeptListingOf(std::string_view crc, std::string_view device, std::string_view configuration,
                          std::string_view statements) {
  if (!IsCode(device) || !IsCode(configuration)) return KeptListingOf(crc, statements);
  std::string out;
  out.reserve(kMaxKeptHeadBytes + statements.size());
  out.append(kHeadPrefix).append(crc);
  out.append(kDevice).append(device).append(kConfiguration).append(configuration);
  out.append("\n").append(statements);
  return out;
}

std::string KeptListingOf(std::string_view crc, std::string_view statements) {
  std::string out;
  out.reserve(kHeadPrefix.size() + 9 + statements.size());
  out.append(kHeadPrefix).append(crc).append("\n").append(statements);
  return out;
}

std::optional<std::string_view> KeptStatements(std::string_view file_text, std::string_view crc) {
  if (crc.empty()) return std::nullopt;
  const std::optional<std::string_view> line = FirstLine(file_text);
  if (!line) return std::nullopt;
  const std::optional<Head> head = ParseHead(*line);
  if (!head || head->crc != crc) return std::nullopt;
  return file_text.substr(line->size() + 1);
}

std::optional<std::string> KeptHeadFor(std::string_view file_text, std::string_view device,
                                       std::string_view configuration) {
  if (!IsCode(device) || !IsCode(configuration)) return std::nullopt;
  const std::optional<std::string_view> line = FirstLine(file_text);
  if (!line) return std::nullopt;
  const std::optional<Head> head = ParseHead(*line);
  if (!head || head->crc.empty()) return std::nullopt;
  const std::string expected =
      std::string(kDevice).append(device).append(kConfiguration).append(configuration);
  if (head->rest != expected) return std::nullopt;
  // Read from a file: as UTF-8, like every text the check reports or stores.
  return ValidUtf8(head->crc);
}

}  // namespace comvorlix
