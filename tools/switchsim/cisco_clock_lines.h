// The lines Cisco IOS rewrites in its running listing on its own, without a
// configuration change: "! NVRAM config last updated at <time> by <user>"
// after every save, and, on old releases whose clock is being disciplined,
// "ntp clock-period N". A configuration checker has to cope with both, so
// the emulator produces them.
//
// One object serves all sessions of a server (a save in one session shows
// in the listings of the next); every member is thread-safe. Until the
// first save and without ntp drift, Listed returns the lines unchanged.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace switchsim {

class CiscoClockLines {
 public:
  explicit CiscoClockLines(bool ntp_drift);

  // Records a save by `user` at the current time.
  void Saved(const std::string& user);

  // `lines` (a running configuration as stored) as IOS lists it now. After
  // a save the NVRAM line carries the save's time and user; it replaces the
  // stored one or, when there is none, follows the "! Last configuration
  // change" (or "! No configuration change") comment. With ntp drift the
  // "ntp clock-period" line gets a new value when `next_period` is true
  // (every listing) and keeps the last one otherwise (the copy a save
  // stores); without such a line one is added before the first "ntp " line,
  // else before the closing "end".
  std::vector<std::string> Listed(std::vector<std::string> lines, bool next_period);

 private:
  const bool ntp_drift_;
  std::mutex mutex_;
  std::optional<std::string> nvram_line_;  // guarded by mutex_
  long period_ = 0;                        // guarded by mutex_
};

}  // namespace switchsim
