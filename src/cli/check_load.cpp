#include <fcntl.h>

#include <exception>

#include "cli/check_stages.h"
#include "cli/credentials_file.h"
#include "files/file_lock.h"
#include "files/safe_open.h"
#include "params/keys.h"
#include "params/parameter_string.h"
#include "params/shared_login.h"

namespace comvorlix::cli {
namespace {

// The check that did not get the lock in time. The file is read without
// the lock, for the port only: it is replaced by renaming, so what is read
// is one whole version of it. Opened as safely as the locked one (the
// deadline has passed already); any trouble just leaves the default port.
Outcome LockNotHad(const CheckRequest& request) {
  std::string unlocked;
  std::string step = "waiting for the lock of " + request.params;
  try {
    if (const std::optional<OpenedFile> f = OpenRegularFile(request.params, O_RDONLY)) {
      if (const std::optional<long> holder = LockHolder(f->info())) {
        step += ", held by process " + std::to_string(*holder);
      }
      unlocked = ReadCapped(*f, ParameterFile::kMaxBytes, request.params);
    }
  } catch (const std::exception&) {
  }
  return Unfinished(request, unlocked, step);
}

}  // namespace

std::variant<CheckInputs, Outcome> LoadCheckInputs(const CheckRequest& request) {
  std::optional<ParameterFile> locked;
  try {
    locked.emplace(ParameterFile::OpenLocked(request.params, request.deadline));
  } catch (const LockTimeout&) {
    return LockNotHad(request);
  }
  if (!locked->exists()) {
    return PluginOutcome(kUnknown,
                         "parameter file " + request.params + " does not exist (write it with comvorlix configure)");
  }
  std::string own = locked->Read();
  // Shared login settings fill in what the switch's file leaves empty;
  // only the switch's own string is ever written back.
  std::string filled = request.credentials ? FillInLogin(own, ReadCredentialsFile(*request.credentials)) : own;
  if (request.options.accept && GetKeyValue(own, keys::kConfiguration) == keys::kCompare) {
    throw UsageError("--accept has nothing to remember when running and startup are compared (CFG=COMPARE)");
  }
  if (!request.dry_run) locked->CheckWritable();
  return CheckInputs{std::move(*locked), std::move(own), std::move(filled)};
}

}  // namespace comvorlix::cli
