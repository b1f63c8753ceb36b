#include "cisco_clock_lines.h"

#include <algorithm>
#include <ctime>

namespace switchsim {
namespace {

constexpr const char* kNvramPrefix = "! NVRAM config last updated at ";
constexpr const char* kClockPeriodPrefix = "ntp clock-period ";
// A clock period as old IOS prints it; each listing moves it a little, as
// the disciplined clock does.
constexpr long kFirstPeriod = 36028797;
constexpr long kPeriodStep = 17;

bool StartsWith(const std::string& line, const char* prefix) { return line.rfind(prefix, 0) == 0; }

std::string IosTime() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[64];
  std::strftime(text, sizeof text, "%H:%M:%S UTC %a %b %d %Y", &parts);
  return text;
}

void PutNvramLine(std::vector<std::string>& lines, const std::string& nvram) {
  auto stored = std::find_if(lines.begin(), lines.end(), [](const auto& l) { return StartsWith(l, kNvramPrefix); });
  if (stored != lines.end()) {
    *stored = nvram;
    return;
  }
  auto change = std::find_if(lines.begin(), lines.end(), [](const auto& l) {
    return StartsWith(l, "! Last configuration change at ") || l == "! No configuration change since last restart";
  });
  if (change != lines.end()) {
    lines.insert(change + 1, nvram);
  } else {
    lines.insert(lines.begin() + (!lines.empty() && lines.front() == "!" ? 1 : 0), nvram);
  }
}

void PutClockPeriod(std::vector<std::string>& lines, long period) {
  const std::string line = kClockPeriodPrefix + std::to_string(period);
  auto stored = std::find_if(lines.begin(), lines.end(), [](const auto& l) { return StartsWith(l, kClockPeriodPrefix); });
  if (stored != lines.end()) {
    *stored = line;
    return;
  }
  auto at = std::find_if(lines.begin(), lines.end(), [](const auto& l) { return StartsWith(l, "ntp "); });
  if (at == lines.end() && !lines.empty() && lines.back() == "end") at = lines.end() - 1;
  lines.insert(at, line);
}

}  // namespace

CiscoClockLines::CiscoClockLines(bool ntp_drift) : ntp_drift_(ntp_drift) {}

void CiscoClockLines::Saved(const std::string& user) {
  std::string line = kNvramPrefix + IosTime() + " by " + user;
  std::lock_guard<std::mutex> lock(mutex_);
  nvram_line_ = std::move(line);
}

std::vector<std::string> CiscoClockLines::Listed(std::vector<std::string> lines, bool next_period) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (nvram_line_) PutNvramLine(lines, *nvram_line_);
  if (ntp_drift_) {
    if (next_period || period_ == 0) period_ = period_ == 0 ? kFirstPeriod : period_ + kPeriodStep;
    PutClockPeriod(lines, period_);
  }
  return lines;
}

}  // namespace switchsim
