#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <variant>

#include "cli/check_request.h"
#include "cli/check_stages.h"
#include "cli/commands.h"
#include "cli/kept_listing_file.h"
#include "comvorlix/comvorlix.h"
#include "params/shared_login.h"

namespace comvorlix::cli {
namespace {

// One record on standard error: the seconds since the check started, then
// the line with control bytes written as \xNN, so that a record is one
// line and switch text cannot rewrite the terminal.
void WriteVerboseRecord(std::chrono::steady_clock::time_point started, std::string_view line) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "+%.3f ", seconds);
  std::string record = stamp;
  record.reserve(record.size() + line.size() + 1);
  for (const char c : line) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      record += "\\x";
      record += kHex[b >> 4];
      record += kHex[b & 0x0F];
    } else {
      record += c;
    }
  }
  record += '\n';
  std::fwrite(record.data(), 1, record.size(), stderr);
}

}  // namespace

CheckedSwitch CheckSwitch(const CheckRequest& request, const CheckInputs& inputs) {
  CheckOptions options = request.options;
  if (options.keep_listings) {
    const ParameterFile& file = inputs.file;
    options.read_kept_listing = [&file](size_t max_bytes) { return ReadKeptListing(file, max_bytes); };
  }
  CheckVerdict verdict = CheckConfiguration(request.host, static_cast<int>(request.timeout), inputs.filled, options);
  verdict.parameter = OwnStringAfterCheck(inputs.own, inputs.filled, verdict.parameter);
  return CheckedSwitch{std::move(verdict), std::chrono::steady_clock::now()};
}

Outcome RunCheckCommand(const Args& args) {
  const CheckRequest request = ParseCheckRequest(args);
  if (request.verbosity > 0) {
    // -v: the records of the check and its session, -vv: also the SSH
    // library's own protocol log.
    SetDebugOutput([started = request.started](std::string_view line) { WriteVerboseRecord(started, line); },
                   request.verbosity);
  }
  try {
    std::variant<CheckInputs, Outcome> loaded = LoadCheckInputs(request);
    if (Outcome* ended = std::get_if<Outcome>(&loaded)) return std::move(*ended);
    const CheckInputs& inputs = std::get<CheckInputs>(loaded);
    const CheckedSwitch checked = CheckSwitch(request, inputs);
    Persisted persisted = PersistRemembered(request, inputs, checked.verdict);
    if (persisted.instead) return std::move(*persisted.instead);
    return CheckReport(request, checked, std::move(persisted.notes));
  } catch (const UsageError&) {
    throw;
  } catch (const std::exception& e) {
    // Errors of the parameter file: their text is the whole description.
    return PluginOutcome(kUnknown, e.what());
  }
}

}  // namespace comvorlix::cli
