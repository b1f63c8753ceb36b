#include "check/listing_extraction.h"

#include <vector>

namespace comvorlix {
namespace {

struct Line {
  size_t begin;     // first character
  size_t end;       // one past the last character before '\n'
  size_t next;      // one past the '\n' (or the end of the output)
  Text clean;       // without carriage returns and trailing blanks
};

std::vector<Line> SplitLines(TextView output, size_t from) {
  std::vector<Line> lines;
  size_t pos = from;
  while (pos < output.size()) {
    size_t nl = output.find(u'\n', pos);
    size_t end = nl == TextView::npos ? output.size() : nl;
    Line line{pos, end, nl == TextView::npos ? output.size() : nl + 1, Text()};
    line.clean.reserve(end - pos);
    for (size_t i = pos; i < end; ++i) {
      if (output[i] != u'\r') line.clean += output[i];
    }
    while (!line.clean.empty() && line.clean.back() == u' ') line.clean.pop_back();
    pos = line.next;
    lines.push_back(std::move(line));
  }
  return lines;
}

bool StartsWith(TextView s, TextView prefix) { return s.substr(0, prefix.size()) == prefix; }

bool LooksLikePrompt(TextView prompt) {
  if (prompt.empty()) return false;
  char16_t last = prompt.back();
  return last == u'#' || last == u'>' || last == u']';
}

std::string Quoted(TextView t) { return "\"" + ToUtf8(t) + "\""; }

}  // namespace

std::variant<FoundListing, ListingError> FindListing(TextView output, const ListingShape& shape, size_t from) {
  const Text command = TrimBlanks(shape.command);
  const std::vector<Line> lines = SplitLines(output, from);

  // The echo of the command after a prompt.
  size_t echo = lines.size();
  Text prompt;
  for (size_t i = 0; i < lines.size() && !command.empty(); ++i) {
    const Text& c = lines[i].clean;
    if (c.size() <= command.size() || c.compare(c.size() - command.size(), command.size(), command) != 0) continue;
    Text candidate = c.substr(0, c.size() - command.size());
    while (!candidate.empty() && candidate.back() == u' ') candidate.pop_back();
    if (LooksLikePrompt(candidate)) {
      echo = i;
      prompt = candidate;
      break;
    }
  }
  if (echo == lines.size()) {
    return ListingError{"the switch did not take the command " + Quoted(command) + " at a prompt"};
  }

  size_t first = echo + 1;
  while (first < lines.size() && lines[first].clean.empty()) ++first;
  if (first == lines.size()) {
    return ListingError{"the answer to " + Quoted(command) + " is missing"};
  }
  if (!shape.first_marker.empty() && !StartsWith(lines[first].clean, shape.first_marker)) {
    return ListingError{"the answer to " + Quoted(command) + " does not start with " + Quoted(shape.first_marker)};
  }

  auto next_non_empty = [&](size_t i) {
    while (i < lines.size() && lines[i].clean.empty()) ++i;
    return i;
  };

  size_t last = lines.size();
  if (!shape.end_line.empty()) {
    for (size_t i = first; i < lines.size(); ++i) {
      if (TrimBlanks(lines[i].clean) != shape.end_line) continue;
      size_t after = next_non_empty(i + 1);
      if (after < lines.size() && StartsWith(lines[after].clean, prompt)) {
        last = i;
        break;
      }
    }
    if (last == lines.size()) {
      return ListingError{"the listing of " + Quoted(command) + " did not end with " + Quoted(shape.end_line) +
                          " and a prompt"};
    }
  } else {
    for (size_t i = first + 1; i < lines.size(); ++i) {
      if (StartsWith(lines[i].clean, prompt)) {
        last = i - 1;
        while (lines[last].clean.empty()) --last;
        break;
      }
    }
    if (last == lines.size()) {
      return ListingError{"the listing of " + Quoted(command) + " did not end with a prompt"};
    }
  }

  FoundListing found;
  found.text = Text(output.substr(lines[first].begin, lines[last].next - lines[first].begin));
  found.end_offset = lines[last].next;
  return found;
}

Text LastDeviceLine(TextView output, size_t max_chars) {
  std::vector<Line> lines = SplitLines(output, 0);
  for (size_t i = lines.size(); i-- > 0;) {
    Text t = TrimBlanks(lines[i].clean);
    if (t.empty()) continue;
    if (t.size() > max_chars) t = t.substr(0, max_chars) + u"...";
    return t;
  }
  return Text();
}

Text StatementsOnly(TextView listing, const std::vector<Text>& metadata_prefixes,
                    const std::vector<Text>& separators) {
  Text out;
  out.reserve(listing.size());
  for (const Line& line : SplitLines(listing, 0)) {
    size_t b = line.clean.find_first_not_of(u' ');
    if (b == Text::npos) continue;
    TextView content = TextView(line.clean).substr(b);
    bool skip = false;
    for (const Text& p : metadata_prefixes) skip = skip || StartsWith(content, p);
    for (const Text& sep : separators) skip = skip || content == sep;
    if (!skip) out.append(listing.substr(line.begin, line.next - line.begin));
  }
  return out;
}

}  // namespace comvorlix
