#include "check/listing_extraction.h"

#include <optional>

#include "automation/text.h"

namespace comvorlix {
namespace {

struct Line {
  size_t begin;     // first character
  size_t end;       // one past the last character before '\n'
  size_t next;      // one past the '\n' (or the end of the output)
  std::string clean;  // without carriage returns and trailing blanks
};

std::vector<Line> SplitLines(std::string_view output, size_t from) {
  std::vector<Line> lines;
  size_t pos = from;
  while (pos < output.size()) {
    size_t nl = output.find('\n', pos);
    size_t end = nl == std::string_view::npos ? output.size() : nl;
    Line line{pos, end, nl == std::string_view::npos ? output.size() : nl + 1, std::string()};
    line.clean.reserve(end - pos);
    for (size_t i = pos; i < end; ++i) {
      if (output[i] != '\r') line.clean += output[i];
    }
    while (!line.clean.empty() && line.clean.back() == ' ') line.clean.pop_back();
    pos = line.next;
    lines.push_back(std::move(line));
  }
  return lines;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Without blanks (spaces) at either end.
std::string_view Trimmed(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') + 1 - first);
}

bool LooksLikePrompt(std::string_view prompt) {
  if (prompt.empty()) return false;
  char last = prompt.back();
  return last == '#' || last == '>' || last == ']';
}

}  // namespace

std::string QuotedBytes(std::string_view bytes) { return "\"" + ToUtf8(FromAnsi(bytes)) + "\""; }

namespace {

// The prompt in front of `command` when line `c` is its echo after a prompt.
std::optional<std::string> EchoPrompt(const std::string& c, std::string_view command) {
  if (command.empty() || c.size() <= command.size() ||
      c.compare(c.size() - command.size(), command.size(), command) != 0) {
    return std::nullopt;
  }
  std::string candidate = c.substr(0, c.size() - command.size());
  while (!candidate.empty() && candidate.back() == ' ') candidate.pop_back();
  if (!LooksLikePrompt(candidate)) return std::nullopt;
  return candidate;
}

// The first line from `begin` on that is the echo of `command` after a
// prompt, or lines.size().
size_t FindEcho(const std::vector<Line>& lines, size_t begin, std::string_view command, std::string* prompt) {
  for (size_t i = begin; i < lines.size(); ++i) {
    if (auto p = EchoPrompt(lines[i].clean, command)) {
      if (prompt) *prompt = *p;
      return i;
    }
  }
  return lines.size();
}

bool IsEndless(std::string_view first_line, const std::vector<std::string>& endless_markers) {
  for (const std::string& m : endless_markers) {
    if (StartsWith(first_line, m)) return true;
  }
  return false;
}

}  // namespace

std::variant<FoundListing, ListingError> FindListing(std::string_view output, const ListingShape& shape,
                                                     size_t from) {
  const std::string_view command = Trimmed(shape.command);
  const std::string_view marker = Trimmed(shape.marker);
  const std::vector<Line> lines = SplitLines(output, from);
  const auto Quoted = QuotedBytes;
  const auto not_taken = [&] {
    return ListingError{"the switch did not take the command " + Quoted(command) + " at a prompt"};
  };

  // The echo of the command after a prompt (and after the marker's echo).
  std::string prompt;
  size_t echo = lines.size();
  if (!marker.empty()) {
    const size_t opening = FindEcho(lines, 0, marker, nullptr);
    if (opening == lines.size()) return not_taken();
    echo = FindEcho(lines, opening + 1, command, &prompt);
  } else {
    echo = FindEcho(lines, 0, command, &prompt);
  }
  if (echo == lines.size()) return not_taken();
  const size_t closing = marker.empty() ? lines.size() : FindEcho(lines, echo + 1, marker, nullptr);

  size_t first = echo + 1;
  while (first < closing && lines[first].clean.empty()) ++first;
  if (first == closing) {
    return ListingError{"the answer to " + Quoted(command) + " is missing"};
  }
  if (!shape.first_marker.empty() && !StartsWith(lines[first].clean, shape.first_marker)) {
    return ListingError{"the answer to " + Quoted(command) + " does not start with " + Quoted(shape.first_marker)};
  }
  const bool endless = shape.end_line.empty() || IsEndless(lines[first].clean, shape.endless_markers);
  const ListingError cut_off{endless ? "the listing of " + Quoted(command) + " did not end with a prompt"
                                     : "the listing of " + Quoted(command) + " did not end with " +
                                           Quoted(shape.end_line) + " and a prompt"};

  auto next_non_empty = [&](size_t i) {
    while (i < lines.size() && lines[i].clean.empty()) ++i;
    return i;
  };

  size_t last = lines.size();
  if (!marker.empty()) {
    if (closing == lines.size()) return cut_off;
    last = closing - 1;
    while (lines[last].clean.empty()) --last;
    if (!endless && Trimmed(lines[last].clean) != shape.end_line) return cut_off;
  } else if (!endless) {
    for (size_t i = first; i < lines.size(); ++i) {
      if (Trimmed(lines[i].clean) != shape.end_line) continue;
      size_t after = next_non_empty(i + 1);
      if (after < lines.size() && StartsWith(lines[after].clean, prompt)) {
        last = i;
        break;
      }
    }
    if (last == lines.size()) return cut_off;
  } else {
    for (size_t i = first + 1; i < lines.size(); ++i) {
      if (StartsWith(lines[i].clean, prompt)) {
        last = i - 1;
        while (lines[last].clean.empty()) --last;
        break;
      }
    }
    if (last == lines.size()) return cut_off;
  }

  FoundListing found;
  found.text = output.substr(lines[first].begin, lines[last].next - lines[first].begin);
  found.end_offset = marker.empty() ? lines[last].next : lines[closing].begin;
  return found;
}

std::string LastDeviceLine(std::string_view output, size_t max_bytes) {
  std::vector<Line> lines = SplitLines(output, 0);
  for (size_t i = lines.size(); i-- > 0;) {
    std::string t(Trimmed(lines[i].clean));
    if (t.empty()) continue;
    if (t.size() > max_bytes) t = t.substr(0, max_bytes) + "...";
    return t;
  }
  return std::string();
}

std::string StatementsOnly(std::string_view listing, const std::vector<std::string>& metadata_prefixes,
                           const std::vector<std::string>& separators) {
  std::string out;
  out.reserve(listing.size());
  for (const Line& line : SplitLines(listing, 0)) {
    size_t b = line.clean.find_first_not_of(' ');
    if (b == std::string::npos) continue;
    std::string_view content = std::string_view(line.clean).substr(b);
    bool skip = false;
    for (const std::string& p : metadata_prefixes) skip = skip || StartsWith(content, p);
    for (const std::string& sep : separators) skip = skip || content == sep;
    if (!skip) out.append(listing.substr(line.begin, line.next - line.begin));
  }
  return out;
}

}  // namespace comvorlix
