#include "check/listing_extraction.h"

#include <optional>

#include "base/bytes.h"

namespace comvorlix {
namespace {

// One line of the output, found without copying it: `clean` views the
// line without its carriage returns and trailing blanks. A line with a
// carriage return inside it (rare: switches end lines with "\r\n") has its
// cleaned bytes in `storage`, which `clean` then views.
struct Line {
  size_t begin = 0;  // first byte
  size_t next = 0;   // one past the '\n' (or the end of the output)
  std::string_view clean;
  std::string storage;
};

// The lines of an output from an offset on, one at a time: an output of
// any size is read without a table of its lines (a switch that floods the
// session sends millions of them).
class Lines {
 public:
  Lines(std::string_view output, size_t from) : output_(output), pos_(from) {}
  // The next line, or nullptr at the end. Valid until the next call.
  const Line* Next() {
    if (pos_ >= output_.size()) return nullptr;
    const size_t nl = output_.find('\n', pos_);
    const size_t end = nl == std::string_view::npos ? output_.size() : nl;
    line_.begin = pos_;
    line_.next = nl == std::string_view::npos ? output_.size() : nl + 1;
    std::string_view text = output_.substr(pos_, end - pos_);
    const size_t last = text.find_last_not_of("\r ");
    text = last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
    if (text.find('\r') != std::string_view::npos) {
      line_.storage.clear();
      for (char c : text) {
        if (c != '\r') line_.storage += c;
      }
      while (!line_.storage.empty() && line_.storage.back() == ' ') line_.storage.pop_back();
      text = line_.storage;
    }
    line_.clean = text;
    pos_ = line_.next;
    return &line_;
  }

 private:
  std::string_view output_;
  size_t pos_;
  Line line_;
};

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

std::string QuotedBytes(std::string_view bytes) { return "\"" + Utf8OfCp1252(bytes) + "\""; }

namespace {

// The prompt in front of `command` when line `c` is its echo after a prompt.
std::optional<std::string> EchoPrompt(std::string_view c, std::string_view command) {
  if (command.empty() || c.size() <= command.size() ||
      c.substr(c.size() - command.size()) != command) {
    return std::nullopt;
  }
  std::string candidate(c.substr(0, c.size() - command.size()));
  while (!candidate.empty() && candidate.back() == ' ') candidate.pop_back();
  if (!LooksLikePrompt(candidate)) return std::nullopt;
  return candidate;
}

// Reads on to the next line that is the echo of `command` after a prompt;
// nullptr when there is none.
const Line* FindEcho(Lines& lines, std::string_view command, std::string* prompt) {
  for (const Line* l = lines.Next(); l != nullptr; l = lines.Next()) {
    if (auto p = EchoPrompt(l->clean, command)) {
      if (prompt) *prompt = *p;
      return l;
    }
  }
  return nullptr;
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
  const auto Quoted = QuotedBytes;
  const auto not_taken = [&] {
    return ListingError{"the switch did not take the command " + Quoted(command) + " at a prompt"};
  };
  // One pass over the lines, never back: what is needed of a line passed is
  // kept as it goes by.
  Lines lines(output, from);

  // The echo of the command after a prompt (and after the marker's echo).
  std::string prompt;
  if (!marker.empty() && FindEcho(lines, marker, nullptr) == nullptr) return not_taken();
  if (FindEcho(lines, command, &prompt) == nullptr) return not_taken();

  // The first non-empty line after the echo, before the marker's echo.
  const Line* l = lines.Next();
  bool closed = false;  // the marker's echo came first
  while (l != nullptr && l->clean.empty()) l = lines.Next();
  if (l != nullptr && !marker.empty() && EchoPrompt(l->clean, marker)) closed = true;
  if (l == nullptr || closed) {
    return ListingError{"the answer to " + Quoted(command) + " is missing"};
  }
  if (!shape.first_marker.empty() && !StartsWith(l->clean, shape.first_marker)) {
    return ListingError{"the answer to " + Quoted(command) + " does not start with " + Quoted(shape.first_marker)};
  }
  const bool endless = shape.end_line.empty() || IsEndless(l->clean, shape.endless_markers);
  const ListingError cut_off{endless ? "the listing of " + Quoted(command) + " did not end with a prompt"
                                     : "the listing of " + Quoted(command) + " did not end with " +
                                           Quoted(shape.end_line) + " and a prompt"};
  const size_t first_begin = l->begin;
  // The last non-empty line so far: where the output after it starts, and
  // whether it is the end line.
  size_t last_next = l->next;
  bool last_is_end = Trimmed(l->clean) == shape.end_line;

  FoundListing found;
  if (!marker.empty()) {
    // Up to the marker's echo; the listing is what comes before it.
    for (l = lines.Next(); l != nullptr; l = lines.Next()) {
      if (EchoPrompt(l->clean, marker)) break;
      if (l->clean.empty()) continue;
      last_next = l->next;
      last_is_end = Trimmed(l->clean) == shape.end_line;
    }
    if (l == nullptr) return cut_off;
    if (!endless && !last_is_end) return cut_off;
    found.end_offset = l->begin;
  } else if (!endless) {
    // An end line followed, after empty lines, by a line that starts with
    // the prompt.
    bool ended = false;
    for (l = lines.Next(); l != nullptr; l = lines.Next()) {
      if (l->clean.empty()) continue;
      if (last_is_end && StartsWith(l->clean, prompt)) {
        ended = true;
        break;
      }
      last_next = l->next;
      last_is_end = Trimmed(l->clean) == shape.end_line;
    }
    if (!ended) return cut_off;
    found.end_offset = last_next;
  } else {
    // Up to the next line that starts with the prompt.
    bool ended = false;
    for (l = lines.Next(); l != nullptr; l = lines.Next()) {
      if (StartsWith(l->clean, prompt)) {
        ended = true;
        break;
      }
      if (!l->clean.empty()) last_next = l->next;
    }
    if (!ended) return cut_off;
    found.end_offset = last_next;
  }
  found.text = output.substr(first_begin, last_next - first_begin);
  return found;
}

std::string LastDeviceLine(std::string_view output, size_t max_bytes) {
  // Backwards from the end, one line at a time: only the last line is
  // wanted, however long the output.
  size_t end = output.size();
  while (end > 0) {
    size_t begin = output.rfind('\n', end - 1);
    begin = begin == std::string_view::npos ? 0 : begin + 1;
    if (begin < end) {
      Lines one(output.substr(begin, end - begin), 0);
      std::string t(Trimmed(one.Next()->clean));
      if (!t.empty()) {
        if (t.size() > max_bytes) t = t.substr(0, max_bytes) + "...";
        return t;
      }
    }
    end = begin == 0 ? 0 : begin - 1;
  }
  return std::string();
}

}  // namespace comvorlix
