#include <iterator>

#include "cli/commands.h"
#include "cli/utf8_check.h"
#include "params/secret_field.h"
#include "base/automation_error.h"
#include "cli/standard_input.h"

namespace comvorlix::cli {
namespace {

// One value from standard input; one trailing line end is not part of it.
// A secret to encode is at most 4 KiB, its stored form to decode at most
// 32 KiB: a longer input is refused before more of it is read.
std::string ReadOneValue(bool encode) {
  return encode ? ReadValueFromStandardInput(kMaxSecretBytes, "secret")
                : ReadValueFromStandardInput(kMaxStoredSecretBytes, "stored secret");
}

}  // namespace

Outcome RunSecretCommand(const Args& args) {
  if (args.size() != 1 || (args[0] != "encode" && args[0] != "decode")) {
    throw UsageError("secret takes encode or decode, and reads the value from standard input");
  }
  const std::string bytes = ReadOneValue(args[0] == "encode");
  // A malformed byte would be encoded as U+FFFD: the stored secret would
  // not be the one given.
  if (FirstInvalidUtf8(bytes)) {
    return Outcome{kUnknown, "", "comvorlix: cannot " + args[0] + " the value: standard input is not valid UTF-8"};
  }
  try {
    if (args[0] == "encode") return Outcome{kOk, EncodeSecretField(bytes, true), ""};
    return Outcome{kOk, DecodeSecretField(bytes, true), ""};
  } catch (const AutomationError& e) {
    return Outcome{kUnknown, "",
                   "comvorlix: cannot " + args[0] + " the value" +
                       (args[0] == "decode" ? ": it is neither an encrypted field nor valid Base64 (" : " (") +
                       e.description() + ")"};
  }
}

}  // namespace comvorlix::cli
