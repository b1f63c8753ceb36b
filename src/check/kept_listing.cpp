#include "check/kept_listing.h"

namespace comvorlix {
namespace {

constexpr std::string_view kHeadPrefix = "# comvorlix listing CRC=";
constexpr std::string_view kDevice = " DEV=";
constexpr std::string_view kConfiguration = " CFG=";

// Longest device or configuration code a head names; the head then fits
// in kMaxKeptHeadBytes.
constexpr size_t kMaxCodeChars = 32;

bool IsCode(TextView code) {
  if (code.empty() || code.size() > kMaxCodeChars) return false;
  for (const char16_t c : code) {
    if (c <= u' ' || c >= 0x7F) return false;
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

std::string KeptListingText(TextView crc, TextView device, TextView configuration, std::string_view statements) {
  if (!IsCode(device) || !IsCode(configuration)) return KeptListingText(crc, statements);
  std::string out;
  out.reserve(kMaxKeptHeadBytes + statements.size());
  out.append(kHeadPrefix).append(ToUtf8(Text(crc)));
  out.append(kDevice).append(ToUtf8(Text(device))).append(kConfiguration).append(ToUtf8(Text(configuration)));
  out.append("\n").append(statements);
  return out;
}

std::string KeptListingText(TextView crc, std::string_view statements) {
  std::string out;
  out.reserve(kHeadPrefix.size() + 9 + statements.size());
  out.append(kHeadPrefix).append(ToUtf8(Text(crc))).append("\n").append(statements);
  return out;
}

std::optional<std::string_view> KeptStatements(std::string_view file_text, TextView crc) {
  if (crc.empty()) return std::nullopt;
  const std::optional<std::string_view> line = FirstLine(file_text);
  if (!line) return std::nullopt;
  const std::optional<Head> head = ParseHead(*line);
  if (!head || head->crc != ToUtf8(Text(crc))) return std::nullopt;
  return file_text.substr(line->size() + 1);
}

std::optional<Text> KeptHeadFor(std::string_view file_text, TextView device, TextView configuration) {
  if (!IsCode(device) || !IsCode(configuration)) return std::nullopt;
  const std::optional<std::string_view> line = FirstLine(file_text);
  if (!line) return std::nullopt;
  const std::optional<Head> head = ParseHead(*line);
  if (!head || head->crc.empty()) return std::nullopt;
  const std::string expected =
      std::string(kDevice) + ToUtf8(Text(device)) + std::string(kConfiguration) + ToUtf8(Text(configuration));
  if (head->rest != expected) return std::nullopt;
  return FromUtf8(std::string(head->crc));
}

}  // namespace comvorlix
