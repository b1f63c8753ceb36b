// Helpers shared by the fuzz targets: a property check that turns a broken
// property into a crash libFuzzer keeps, and a reader that splits an input
// into the fields a target needs.
//
// Every target is a libFuzzer entry point (LLVMFuzzerTestOneInput) that runs
// single-threaded; an exception the target does not expect leaves it and
// ends the process through std::terminate, which libFuzzer reports as a
// crash like any sanitizer finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "automation/text.h"

// Aborts with the failed condition when a property does not hold.
#define FUZZ_CHECK(condition)                                                                   \
  do {                                                                                          \
    if (!(condition)) ::comvorlix::fuzz::PropertyViolated(__FILE__, __LINE__, #condition);       \
  } while (false)

namespace comvorlix::fuzz {

[[noreturn]] inline void PropertyViolated(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, condition);
  std::abort();
}

// Consumes an input from the front. Past the end every read gives zeros or
// empty fields, so any input is a valid one.
class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  bool empty() const { return rest_.empty(); }

  uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }

  // Up to `count` bytes.
  std::string_view Bytes(size_t count) {
    const std::string_view taken = rest_.substr(0, count);
    rest_.remove_prefix(taken.size());
    return taken;
  }

  // The bytes up to the next line feed (which is consumed, not returned).
  std::string_view Line() {
    const size_t nl = rest_.find('\n');
    const std::string_view line = rest_.substr(0, nl);
    rest_.remove_prefix(nl == std::string_view::npos ? rest_.size() : nl + 1);
    return line;
  }

  std::string_view Rest() {
    const std::string_view all = rest_;
    rest_ = {};
    return all;
  }

 private:
  std::string_view rest_;
};

}  // namespace comvorlix::fuzz
