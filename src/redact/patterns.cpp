#include "redact/patterns.h"

namespace comvorlix {

RE2::Options SwitchOutputPatternOptions(int64_t max_memory) {
  RE2::Options options;
  options.set_encoding(RE2::Options::EncodingLatin1);
  options.set_log_errors(false);
  options.set_max_mem(max_memory);
  return options;
}

}  // namespace comvorlix
