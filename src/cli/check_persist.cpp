#include <chrono>
#include <exception>

#include "cli/check_stages.h"
#include "cli/kept_listing_file.h"

namespace comvorlix::cli {

Persisted PersistRemembered(const CheckRequest& request, const CheckInputs& inputs, const CheckVerdict& verdict) {
  Persisted p;
  // Only a check that listed and judged the configuration remembers
  // anything: a failed one leaves the remembered checksum as it was.
  const bool changed = verdict.judged && verdict.parameter != inputs.own;
  const bool listing = verdict.judged && !verdict.listing_to_keep.empty();
  if (request.dry_run) {
    if (changed || listing) p.notes.push_back("(dry run: the parameter file and the kept listing were left as they were)");
    return p;
  }
  // Nothing is written after the deadline: the monitoring engine has given
  // up on this check by then.
  const bool late = std::chrono::steady_clock::now() >= request.deadline;
  if (late && changed) {
    p.instead = Unfinished(request, inputs.own, "writing the parameter file");
    return p;
  }
  const bool keep_listing = !late && listing;
  // What was read and checked is another file than the one at the name
  // now (someone renamed a file or a link over it): writing either file
  // would pair a checksum with the wrong file, so neither is written.
  if ((keep_listing || changed) && !inputs.file.StillInPlace()) {
    p.instead = PluginOutcome(kUnknown, "the parameter file was replaced during the check; nothing written (check said: " +
                                            ResultLine(verdict) + ")");
    return p;
  }
  if (keep_listing) {
    // Before the parameter file: a kept listing names its checksum, so one
    // without its parameter file is never used, while a parameter file
    // written without its listing would lose the next diff.
    try {
      WriteKeptListing(inputs.file, verdict.listing_to_keep);
    } catch (const std::exception& e) {
      p.notes.push_back(std::string("(") + e.what() + "; the next change will show no diff)");
    }
  }
  if (changed) {
    try {
      inputs.file.Replace(verdict.parameter);
    } catch (const std::exception& e) {
      p.instead = PluginOutcome(kUnknown, std::string(e.what()) + "; the parameter file keeps its old content (check said: " +
                                              ResultLine(verdict) + ")");
      return p;
    }
  }
  // A learned host key is told once, on a line of its own after the result.
  if (!verdict.learned_host_key.empty()) p.notes.push_back(verdict.learned_host_key);
  if (std::string warning = inputs.file.ReadableByOthersWarning(); !warning.empty()) p.notes.push_back(warning);
  return p;
}

}  // namespace comvorlix::cli
