// comvorlix kinds: every kind of switch the check knows, and what is wrong
// with the kind files it could not take.
#include <algorithm>

#include "cli/commands.h"
#include "devices/device_table.h"

namespace comvorlix::cli {

Outcome RunKindsCommand(const Args& operands) {
  if (!operands.empty()) throw UsageError("kinds takes no operands");
  const LoadedKinds& loaded = Kinds();
  size_t code_width = 4, name_width = 4;
  for (const DeviceKind& kind : loaded.kinds) {
    code_width = std::max(code_width, kind.code.size());
    name_width = std::max(name_width, kind.form_name.size());
  }
  const auto row = [&](const std::string& code, const std::string& name, const std::string& file) {
    return code + std::string(code_width + 2 - code.size(), ' ') + name + std::string(name_width + 2 - name.size(), ' ') +
           file + "\n";
  };
  std::string out = row("CODE", "NAME", "FILE");
  for (size_t i = 0; i < loaded.kinds.size(); ++i) {
    out += row(loaded.kinds[i].code, loaded.kinds[i].form_name, loaded.files[i]);
  }
  std::string err;
  for (const std::string& problem : loaded.problems) err += (err.empty() ? "" : "\n") + problem;
  out.pop_back();
  return Outcome{loaded.problems.empty() ? kOk : kUnknown, out, err};
}

}  // namespace comvorlix::cli
