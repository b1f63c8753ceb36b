#include "cli/plugin_output.h"

#include "cli/outcome.h"

#include <algorithm>
#include <cstdint>

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

constexpr std::string_view kCutMark = "...";

// The characters between the quote that opens at `from` and the one that
// closes it (or the end of the text), counted up to `cap`.
size_t QuotedLength(std::string_view text, size_t from, size_t cap) {
  size_t count = 0;
  for (size_t i = from; i < text.size() && text[i] != '"' && count < cap; i += UnitAt(text, i).length) ++count;
  return count;
}

// `text` cleaned; with `limit_quotes` the quotes rule applies. Stops at
// `max_printed` characters as printed (an escape counts its four), cut with
// kCutMark when more would follow.
std::string Clean(std::string_view text, bool limit_quotes, size_t max_printed) {
  std::string out;
  out.reserve(std::min(text.size(), max_printed) + 16);
  size_t printed = 0;  // characters of `out`
  size_t fits = 0;     // the size of `out` when it last left room for kCutMark
  // Appends what one piece of the text prints; false once past the limit.
  const auto put = [&](std::string_view piece, size_t chars) {
    out += piece;
    printed += chars;
    if (printed + kCutMark.size() <= max_printed) fits = out.size();
    return printed <= max_printed;
  };
  bool in_quote = false;
  size_t quote_left = 0;  // characters of the current quote still shown
  bool quote_cut = false;  // the current quote is longer than shown
  bool whole = true;
  for (size_t i = 0; i < text.size() && whole;) {
    const Unit unit = UnitAt(text, i);
    const std::string_view bytes = text.substr(i, unit.length);
    i += unit.length;
    if (limit_quotes && bytes == "\"") {
      in_quote = !in_quote;
      if (in_quote) {
        quote_cut = QuotedLength(text, i, kMaxQuotedChars + 1) > kMaxQuotedChars;
        quote_left = quote_cut ? kMaxQuotedChars - kCutMark.size() : kMaxQuotedChars;
      }
      whole = put("\"", 1);
      continue;
    }
    if (in_quote) {
      if (quote_left == 0) {
        // The rest of the quoted text is dropped; the mark once.
        if (quote_cut) whole = put(kCutMark, kCutMark.size());
        quote_cut = false;
        continue;
      }
      --quote_left;
    }
    if (!unit.valid || IsControl(unit.code_point)) {
      std::string escaped;
      AppendEscaped(escaped, bytes);
      whole = put(escaped, escaped.size());
    } else if (bytes == "|") {
      whole = put("/", 1);
    } else {
      whole = put(bytes, 1);
    }
  }
  if (!whole) {
    out.resize(fits);
    out += kCutMark;
  }
  return out;
}

}  // namespace

// Room for the note that says how many lines were left out.
constexpr size_t kCutNoteRoom = 80;

std::string CleanForPlugin(std::string_view text, size_t max_chars) { return Clean(text, true, max_chars); }

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
  out += CleanForPlugin(report.text, kMaxLineChars - std::min(out.size(), kMaxLineChars));
  // Never cut: an engine that graphs it needs every value whole.
  if (!report.perfdata.empty()) out += " | " + Clean(report.perfdata, false, SIZE_MAX);
  for (size_t i = 0; i < report.long_lines.size(); ++i) {
    const std::string line = CleanForPlugin(report.long_lines[i]);
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
