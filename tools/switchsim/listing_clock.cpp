#include "listing_clock.h"

#include <algorithm>

namespace switchsim {

std::time_t ListingClock::Next() {
  const std::time_t now = std::time(nullptr);
  std::lock_guard<std::mutex> lock(mutex_);
  last_ = std::max(now, last_ + 1);
  return last_;
}

}  // namespace switchsim
