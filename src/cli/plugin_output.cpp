#include "cli/plugin_output.h"

#include "cli/outcome.h"

namespace comvorlix::cli {
namespace {

// One character of a text: a valid UTF-8 sequence, or one byte that does
// not start one (then `valid` is false).
struct Unit {
  size_t length = 1;
  char32_t code_point = 0;
  bool valid = false;
};

Unit UnitAt(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return Unit{1, lead, true};
  size_t length;
  char32_t cp;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07;
  } else {
    return Unit{};  // a continuation byte, an overlong lead (C0, C1) or beyond U+10FFFF (F5..FF)
  }
  if (i + length > s.size()) return Unit{};
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return Unit{};
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
  if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return Unit{};
  return Unit{length, cp, true};
}

// Characters that move a cursor, end a line or start a control sequence
// somewhere between the plugin and the person reading its line.
bool IsControl(char32_t cp) {
  return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 0x0F];
  }
}

std::string Clean(std::string_view text, bool limit_quotes) {
  std::string out;
  out.reserve(text.size() < kMaxLineChars ? text.size() + 16 : kMaxLineChars + 16);
  size_t kept = 0;         // characters of the text written
  bool in_quote = false;
  size_t quoted = 0;       // characters written since the opening quote
  bool quote_cut = false;  // "..." written for the current quote
  for (size_t i = 0; i < text.size();) {
    const Unit unit = UnitAt(text, i);
    const std::string_view bytes = text.substr(i, unit.length);
    i += unit.length;
    const bool is_quote = limit_quotes && bytes == "\"";
    if (!is_quote && in_quote && quoted == kMaxQuotedChars) {
      if (!quote_cut) out += "...";
      quote_cut = true;
      continue;  // the rest of the quoted text is dropped
    }
    if (kept == kMaxLineChars) {
      out += "...";
      break;
    }
    ++kept;
    if (is_quote) {
      in_quote = !in_quote;
      quoted = 0;
      quote_cut = false;
      out += '"';
      continue;
    }
    if (in_quote) ++quoted;
    if (!unit.valid || IsControl(unit.code_point)) {
      AppendEscaped(out, bytes);
    } else if (bytes == "|") {
      out += '/';
    } else {
      out += bytes;
    }
  }
  return out;
}

}  // namespace

// Room for the note that says how many lines were left out.
constexpr size_t kCutNoteRoom = 80;

std::string CleanPluginText(std::string_view text) { return Clean(text, true); }

std::string_view PluginStateName(int status) {
  switch (status) {
    case kOk:
      return "OK";
    case kWarning:
      return "WARNING";
    case kCritical:
      return "CRITICAL";
    default:
      return "UNKNOWN";
  }
}

std::string FormatPluginOutput(int status, const PluginReport& report) {
  std::string out = "CONFIG ";
  out += PluginStateName(status);
  out += " - ";
  out += CleanPluginText(report.text);
  if (!report.perfdata.empty()) out += " | " + Clean(report.perfdata, false);
  for (size_t i = 0; i < report.long_lines.size(); ++i) {
    const std::string line = CleanPluginText(report.long_lines[i]);
    // The engines cut a plugin's output at 8 KiB, possibly inside a
    // character or an escape: lines that do not fit are left out and
    // counted instead.
    const size_t left = report.long_lines.size() - i;
    if (out.size() + 1 + line.size() + (left > 1 ? kCutNoteRoom : 0) > kMaxOutputBytes) {
      out += "\n... and " + std::to_string(left) + " more lines (the output stays under 8000 bytes)";
      break;
    }
    out += "\n" + line;
  }
  return out;
}

}  // namespace comvorlix::cli
