#include "check/kept_listing.h"

namespace comvorlix {
namespace {

constexpr std::string_view kHeadPrefix = "# comvorlix listing CRC=";

}  // namespace

std::string KeptListingText(TextView crc, std::string_view statements) {
  std::string out;
  out.reserve(kHeadPrefix.size() + 9 + statements.size());
  out.append(kHeadPrefix).append(ToUtf8(Text(crc))).append("\n").append(statements);
  return out;
}

std::optional<std::string_view> KeptStatements(std::string_view file_text, TextView crc) {
  if (crc.empty()) return std::nullopt;
  const size_t nl = file_text.find('\n');
  if (nl == std::string_view::npos) return std::nullopt;
  const std::string expected = std::string(kHeadPrefix) + ToUtf8(Text(crc));
  if (file_text.substr(0, nl) != expected) return std::nullopt;
  return file_text.substr(nl + 1);
}

}  // namespace comvorlix
