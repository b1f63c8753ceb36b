#include "common/run_cli.h"

namespace comvorlix::testing {

ProcessResult Cli(std::vector<std::string> args, const ProcessOptions& options) {
  args.insert(args.begin(), COMVORLIX_CLI_PATH);
  return RunProcess(args, options);
}

}  // namespace comvorlix::testing
