#include "diff/statement_diff.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace comvorlix {
namespace {

size_t CountLines(std::string_view text) {
  const auto ends = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  return ends + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

// Gives each distinct line a small number, in order of first appearance.
// Open addressing; a slot holds the number and the upper half of the line's
// hash, so that most probes never touch the line itself. The lines stay in
// the caller's input; a growing table hashes them again rather than keep
// their hashes.
class LineTable {
 public:
  // Sized for `expected` distinct lines; grows past them.
  explicit LineTable(size_t expected) {
    // Not more at first than a listing of distinct lines would fill in
    // practice: long lists of few distinct lines must not cost much memory.
    expected = std::min(expected, size_t{1} << 18);
    size_t slots = 1024;
    while (slots < 2 * expected) slots *= 2;
    slots_.assign(slots, Slot{});
  }

  uint32_t Intern(std::string_view line) {
    const uint64_t hash = Hash(line);
    const auto tag = static_cast<uint32_t>(hash >> 32);
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot slot = slots_[i];
      if (slot.id == 0) {
        const auto id = static_cast<uint32_t>(entries_.size());
        entries_.push_back({line.data(), static_cast<uint32_t>(line.size())});
        slots_[i] = {id + 1, tag};
        if (entries_.size() * 2 > slots_.size()) Grow();
        return id;
      }
      if (slot.tag == tag && entries_[slot.id - 1].view() == line) return slot.id - 1;
    }
  }

  size_t size() const { return entries_.size(); }

 private:
  struct Slot {
    uint32_t id = 0;  // line number + 1; 0 for a free slot
    uint32_t tag = 0;
  };
  struct Entry {
    const char* data;
    uint32_t size;
    std::string_view view() const { return std::string_view(data, size); }
  };

  static uint64_t Hash(std::string_view line) { return std::hash<std::string_view>{}(line); }

  void Grow() {
    std::vector<Slot> slots(slots_.size() * 2);
    const size_t mask = slots.size() - 1;
    for (size_t id = 0; id < entries_.size(); ++id) {
      const uint64_t hash = Hash(entries_[id].view());
      size_t i = hash & mask;
      while (slots[i].id != 0) i = (i + 1) & mask;
      slots[i] = {static_cast<uint32_t>(id + 1), static_cast<uint32_t>(hash >> 32)};
    }
    slots_ = std::move(slots);
  }

  std::vector<Slot> slots_;
  std::vector<Entry> entries_;
};

// Myers' O(ND) difference algorithm in linear space: the middle of an
// optimal edit path is found from both ends at once, and each half is
// solved the same way. Marks the lines that are not part of the longest
// common subsequence found. Every comparison and every diagonal looked at
// counts as one step; past the budget the search gives up.
class Differ {
 public:
  // `a_changed` and `b_changed` are as long as `a` and `b` and all zero.
  Differ(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
         std::vector<char>& a_changed, std::vector<char>& b_changed, size_t max_work)
      : a_(a.data()),
        b_(b.data()),
        a_changed_(a_changed),
        b_changed_(b_changed),
        max_work_(max_work) {
    // Every round of the search costs at least d steps in each direction, so
    // d never gets past the square root of the budget: the diagonal arrays
    // need no more than that, whatever the length of the lists. Nor past
    // d_cap: that also ends the doubling for a budget near SIZE_MAX (no bound
    // at all), which root * root would only pass by overflowing.
    size_t d_cap = (a.size() + b.size() + 1) / 2 + 1;
    size_t root = 1;
    while (root < d_cap && root * root < max_work_) root *= 2;
    d_cap_ = std::min(d_cap, root + 1);
    forward_.assign(2 * d_cap_ + 3, 0);
    backward_.assign(2 * d_cap_ + 3, 0);
    center_ = static_cast<ptrdiff_t>(d_cap_ + 1);
  }

  // False when the budget ran out.
  bool Run() { return Compare(0, a_changed_.size(), 0, b_changed_.size()); }

 private:
  // Marks the differences of a[a_lo, a_hi) and b[b_lo, b_hi). Each split
  // halves the edit distance, so the recursion is only logarithmically deep.
  bool Compare(size_t a_lo, size_t a_hi, size_t b_lo, size_t b_hi) {
    while (a_lo < a_hi && b_lo < b_hi && a_[a_lo] == b_[b_lo]) ++a_lo, ++b_lo, ++work_;
    while (a_lo < a_hi && b_lo < b_hi && a_[a_hi - 1] == b_[b_hi - 1]) --a_hi, --b_hi, ++work_;
    if (work_ > max_work_) return false;
    if (a_lo == a_hi) {
      for (size_t j = b_lo; j < b_hi; ++j) b_changed_[j] = 1;
      return true;
    }
    if (b_lo == b_hi) {
      for (size_t i = a_lo; i < a_hi; ++i) a_changed_[i] = 1;
      return true;
    }
    // Both ranges are non-empty and differ in their first and their last
    // line, so the distance is at least 2 and the split lies strictly inside.
    size_t x = 0, y = 0;
    if (!Split(a_lo, a_hi, b_lo, b_hi, x, y)) return false;
    if ((x == 0 && y == 0) || (x == a_hi - a_lo && y == b_hi - b_lo)) return false;  // no progress
    return Compare(a_lo, a_lo + x, b_lo, b_lo + y) && Compare(a_lo + x, a_hi, b_lo + y, b_hi);
  }

  // Finds a point (x, y), relative to (a_lo, b_lo), on an optimal edit path
  // with half of its edits before it. forward_[k] is the furthest x reached
  // on diagonal k = x - y from the start; backward_[k] the same from the end,
  // in the coordinates of the reversed ranges. kUnreached marks a diagonal
  // no path reaches (paths never leave the grid).
  //
  // Along a diagonal the edits needed from the start never fall and those
  // needed to the end never rise. So where the search from one end first
  // overlaps the other's on a diagonal, the point it reached lies on an
  // optimal path, with d edits before it and d or d - 1 after it.
  bool Split(size_t a_lo, size_t a_hi, size_t b_lo, size_t b_hi, size_t& split_x, size_t& split_y) {
    constexpr ptrdiff_t kUnreached = std::numeric_limits<ptrdiff_t>::min() / 4;
    const uint32_t* a = a_ + a_lo;
    const uint32_t* b = b_ + b_lo;
    const auto n = static_cast<ptrdiff_t>(a_hi - a_lo);
    const auto m = static_cast<ptrdiff_t>(b_hi - b_lo);
    const ptrdiff_t delta = n - m;
    const bool odd = (delta & 1) != 0;
    ptrdiff_t* fwd = forward_.data() + center_;
    ptrdiff_t* bwd = backward_.data() + center_;

    // One round on diagonal k: the furthest point reachable from the ends of
    // the previous round, then along the diagonal while the lines are equal.
    auto extend = [&](ptrdiff_t* v, ptrdiff_t d, ptrdiff_t k, auto equal) {
      ptrdiff_t x = kUnreached;
      if (d == 0) {
        x = 0;
      } else {
        const ptrdiff_t down = v[k + 1];  // from diagonal k + 1, one line of b
        if (down != kUnreached && down - (k + 1) < m) x = down;
        const ptrdiff_t right = v[k - 1];  // from diagonal k - 1, one line of a
        if (right != kUnreached && right < n && right + 1 > x) x = right + 1;
        if (x == kUnreached) return x;
      }
      ptrdiff_t y = x - k;
      while (x < n && y < m && equal(x, y)) ++x, ++y, ++work_;
      return x;
    };
    auto forward_equal = [&](ptrdiff_t x, ptrdiff_t y) { return a[x] == b[y]; };
    auto backward_equal = [&](ptrdiff_t x, ptrdiff_t y) { return a[n - 1 - x] == b[m - 1 - y]; };

    const ptrdiff_t d_max = (n + m + 1) / 2;
    for (ptrdiff_t d = 0; d <= d_max; ++d) {
      if (static_cast<size_t>(d) > d_cap_ || work_ > max_work_) return false;
      fwd[-d - 1] = fwd[d + 1] = kUnreached;
      for (ptrdiff_t k = -d; k <= d; k += 2) {
        ++work_;
        const ptrdiff_t x = fwd[k] = extend(fwd, d, k, forward_equal);
        if (odd && x != kUnreached) {
          // The backward round d - 1 reached diagonal delta - k there.
          const ptrdiff_t kb = delta - k;
          if (kb >= -(d - 1) && kb <= d - 1 && bwd[kb] != kUnreached && x + bwd[kb] >= n) {
            split_x = static_cast<size_t>(x);
            split_y = static_cast<size_t>(x - k);
            return true;
          }
        }
      }
      bwd[-d - 1] = bwd[d + 1] = kUnreached;
      for (ptrdiff_t k = -d; k <= d; k += 2) {
        ++work_;
        const ptrdiff_t x = bwd[k] = extend(bwd, d, k, backward_equal);
        if (!odd && x != kUnreached) {
          const ptrdiff_t kf = delta - k;
          if (kf >= -d && kf <= d && fwd[kf] != kUnreached && x + fwd[kf] >= n) {
            split_x = static_cast<size_t>(n - x);
            split_y = static_cast<size_t>(m - (x - k));
            return true;
          }
        }
      }
    }
    return false;
  }

  const uint32_t* a_;
  const uint32_t* b_;
  std::vector<char>& a_changed_;
  std::vector<char>& b_changed_;
  size_t max_work_;
  size_t work_ = 0;
  size_t d_cap_ = 0;
  ptrdiff_t center_ = 0;
  std::vector<ptrdiff_t> forward_;
  std::vector<ptrdiff_t> backward_;
};

// The lines of a list, read forward from a byte offset: each without its
// line end ("\n", "\r\n", a lone "\r" at the very end).
class LineReader {
 public:
  explicit LineReader(std::string_view text, size_t from = 0) : text_(text), pos_(from) {}
  bool AtEnd() const { return pos_ >= text_.size(); }
  size_t pos() const { return pos_; }
  std::string_view Next() {
    const char* const data = text_.data();
    const void* nl = std::memchr(data + pos_, '\n', text_.size() - pos_);
    size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - data) : text_.size();
    const size_t next = nl ? end + 1 : end;
    if (end > pos_ && data[end - 1] == '\r') --end;
    const std::string_view line(data + pos_, end - pos_);
    pos_ = next;
    return line;
  }

 private:
  std::string_view text_;
  size_t pos_;
};

// The line that ends just before byte `stop` of `text` (the start of the
// line after it, or the end of the text), without its line end; `start`
// becomes where it begins. `floor`, a line's start, lies before `stop`.
std::string_view LineBefore(std::string_view text, size_t stop, size_t floor, size_t& start) {
  size_t end = stop;
  if (end < text.size() || text[end - 1] == '\n') --end;  // its '\n'
  const size_t nl = end > floor ? text.rfind('\n', end - 1) : std::string_view::npos;
  start = nl == std::string_view::npos || nl < floor ? floor : nl + 1;
  if (end > start && text[end - 1] == '\r') --end;
  return text.substr(start, end - start);
}

size_t Indentation(std::string_view line) {
  size_t n = 0;
  while (n < line.size() && (line[n] == ' ' || line[n] == '\t')) ++n;
  return n;
}

// The section lines of a whole list, found reading it forward once: the
// nearest line above a given line that is indented less. Asked for lines in
// ascending order, it keeps only the open sections, one per depth.
class SectionFinder {
 public:
  explicit SectionFinder(std::string_view text) : reader_(text) {}

  // The section line of line `index` (0-based, ascending from call to
  // call); false when it has none.
  bool Of(size_t index, std::string_view& section) {
    bool found = false;
    while (next_ <= index && !reader_.AtEnd()) {
      const std::string_view line = reader_.Next();
      const size_t indent = Indentation(line);
      while (!open_.empty() && open_.back().first >= indent) open_.pop_back();
      if (next_ == index && !open_.empty()) {
        section = open_.back().second;
        found = true;
      }
      open_.emplace_back(indent, line);
      ++next_;
    }
    return found;
  }

 private:
  LineReader reader_;
  size_t next_ = 0;  // the number of the line read next
  std::vector<std::pair<size_t, std::string_view>> open_;  // indentation, line
};

// One list as the search sees it: the numbers of its middle lines (those
// between the common head and tail) and which of them changed.
struct Side {
  std::string_view text;
  size_t begin = 0, end = 0;  // the middle lines' bytes
  size_t head_lines = 0;      // the lines before them
  size_t count = 0;           // the middle lines
  std::vector<uint32_t> ids;
  std::vector<char> changed;

  std::string_view middle() const { return text.substr(begin, end - begin); }

  void Read(LineTable& table) {
    ids.reserve(count);
    LineReader reader(middle());
    while (!reader.AtEnd()) ids.push_back(table.Intern(reader.Next()));
    changed.assign(ids.size(), 0);
  }
};

// Sets the two sides' middles: the lines between their common head and
// their common tail.
void SplitOffCommonEnds(Side& a, Side& b) {
  LineReader ra(a.text), rb(b.text);
  while (!ra.AtEnd() && !rb.AtEnd() && ra.Next() == rb.Next()) {
    a.begin = ra.pos(), b.begin = rb.pos();
    ++a.head_lines, ++b.head_lines;
  }
  a.end = a.text.size(), b.end = b.text.size();
  while (a.end > a.begin && b.end > b.begin) {
    size_t sa = 0, sb = 0;
    if (LineBefore(a.text, a.end, a.begin, sa) != LineBefore(b.text, b.end, b.begin, sb)) break;
    a.end = sa, b.end = sb;
  }
  a.count = CountLines(a.middle());
  b.count = CountLines(b.middle());
}

std::string MoreLine(size_t n) { return "... and " + std::to_string(n) + " more changed lines"; }

// Renders the hunks of a finished diff within the options' caps.
class Renderer {
 public:
  Renderer(const StatementDiffOptions& options, size_t total, std::vector<std::string>& out)
      : options_(options), total_(total), out_(out) {}

  // Opens a hunk whose first changed line has `section` above it (none when
  // `has_section` is false); false once nothing more is rendered.
  bool Open(bool has_section, std::string_view section) {
    if (shown_ >= options_.max_changed_lines) return false;
    pending_section_ = has_section;
    if (has_section) section_ = "  " + Show(section);
    return true;
  }

  // Renders a changed line, after the hunk's section line when that is still
  // pending; false when the caps leave no room for it.
  bool Changed(const char* sign, std::string_view line) {
    if (shown_ >= options_.max_changed_lines) return false;
    std::string text = sign + Show(line);
    size_t need = text.size() + 1 + (pending_section_ ? section_.size() + 1 : 0);
    // Room stays for the closing line about what would still be left out.
    const size_t left = total_ - shown_ - 1;
    if (left > 0) need += MoreLine(left).size() + 1;
    if (bytes_ + need > options_.max_output_bytes) return false;
    if (pending_section_) {
      bytes_ += section_.size() + 1;
      out_.push_back(std::move(section_));
      pending_section_ = false;
    }
    bytes_ += text.size() + 1;
    out_.push_back(std::move(text));
    ++shown_;
    return true;
  }

  void Finish() {
    if (shown_ == total_) return;
    std::string more = MoreLine(total_ - shown_);
    if (bytes_ + more.size() + 1 <= options_.max_output_bytes) out_.push_back(std::move(more));
  }

 private:
  std::string Show(std::string_view line) const {
    return options_.show ? options_.show(line) : std::string(line);
  }

  const StatementDiffOptions& options_;
  const size_t total_;
  std::vector<std::string>& out_;
  size_t shown_ = 0;
  size_t bytes_ = 0;
  bool pending_section_ = false;
  std::string section_;
};

// Marks the changed lines of both middles; false when the work bound was
// passed. The line table and the search's arrays live only as long as this.
bool MarkChanges(Side& old_side, Side& new_side, size_t max_work) {
  // Most lines of the one middle are in the other one as well.
  LineTable table(std::max(old_side.count, new_side.count));
  old_side.Read(table);
  new_side.Read(table);

  // A line found in one list only is changed in any diff. The search runs on
  // the other lines alone: that leaves the longest common subsequence as it
  // is, and a listing whose changed statements are all new texts (the usual
  // case) costs the search next to nothing, however many there are.
  std::vector<uint8_t> in(table.size(), 0);  // bit 0: in the old list, bit 1: in the new one
  for (uint32_t id : old_side.ids) in[id] |= 1;
  for (uint32_t id : new_side.ids) in[id] |= 2;
  struct Shared {
    std::vector<uint32_t> ids;
    std::vector<uint32_t> at;  // the line of the whole middle
    std::vector<char> changed;
  };
  auto shared_of = [&](Side& side) {
    Shared shared;
    for (size_t i = 0; i < side.ids.size(); ++i) {
      if (in[side.ids[i]] == 3) {
        shared.ids.push_back(side.ids[i]);
        shared.at.push_back(static_cast<uint32_t>(i));
      } else {
        side.changed[i] = 1;
      }
    }
    side.ids = {};
    shared.changed.assign(shared.ids.size(), 0);
    return shared;
  };
  Shared old_shared = shared_of(old_side), new_shared = shared_of(new_side);
  in = {};

  Differ differ(old_shared.ids, new_shared.ids, old_shared.changed, new_shared.changed, max_work);
  if (!differ.Run()) return false;
  for (size_t k = 0; k < old_shared.ids.size(); ++k) {
    if (old_shared.changed[k]) old_side.changed[old_shared.at[k]] = 1;
  }
  for (size_t k = 0; k < new_shared.ids.size(); ++k) {
    if (new_shared.changed[k]) new_side.changed[new_shared.at[k]] = 1;
  }
  return true;
}

}  // namespace

StatementDiff DiffStatements(std::string_view old_statements, std::string_view new_statements,
                             const StatementDiffOptions& options) {
  // Line numbers are 32 bits wide; a list of 4 GiB could need more.
  constexpr size_t kMaxListBytes = std::numeric_limits<uint32_t>::max() - 1;
  if (old_statements.size() > kMaxListBytes || new_statements.size() > kMaxListBytes) {
    throw std::length_error("DiffStatements: a statement list over 4 GiB");
  }
  if (old_statements == new_statements) return {};

  Side old_side, new_side;
  old_side.text = old_statements;
  new_side.text = new_statements;
  SplitOffCommonEnds(old_side, new_side);
  StatementDiff out;
  if (old_side.count + new_side.count > options.max_lines ||
      !MarkChanges(old_side, new_side, options.max_work)) {
    out.counts_only = true;
    out.removed = old_side.count;
    out.added = new_side.count;
    return out;
  }
  for (char c : old_side.changed) out.removed += static_cast<size_t>(c);
  for (char c : new_side.changed) out.added += static_cast<size_t>(c);
  if (out.removed + out.added == 0) return out;

  // The unchanged lines of both middles pair up in order; between two pairs
  // lies at most one hunk. The lines are read along as the hunks go.
  Renderer renderer(options, out.removed + out.added, out.lines);
  SectionFinder old_sections(old_statements), new_sections(new_statements);
  LineReader old_lines(old_side.middle()), new_lines(new_side.middle());
  const size_t n = old_side.count, m = new_side.count;
  size_t i = 0, j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && !old_side.changed[i] && !new_side.changed[j]) {
      old_lines.Next();
      new_lines.Next();
      ++i, ++j;
      continue;
    }
    size_t r1 = i, a1 = j;
    while (r1 < n && old_side.changed[r1]) ++r1;
    while (a1 < m && new_side.changed[a1]) ++a1;
    std::string_view section;
    const bool has_section = r1 > i ? old_sections.Of(old_side.head_lines + i, section)
                                    : new_sections.Of(new_side.head_lines + j, section);
    if (!renderer.Open(has_section, section)) break;
    bool room = true;
    for (; room && i < r1; ++i) room = renderer.Changed("- ", old_lines.Next());
    for (; room && j < a1; ++j) room = renderer.Changed("+ ", new_lines.Next());
    if (!room) break;
  }
  renderer.Finish();
  return out;
}

}  // namespace comvorlix
