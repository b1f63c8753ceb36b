#include "params/keys.h"

namespace comvorlix {
namespace {

using F = ParameterFields;
using V = ValueKind;

// clang-format off
const ParameterKey kKeys[] = {
    {.key = keys::kEncrypted, .kind = V::kFlag},
    {.key = keys::kUser, .kind = V::kPlain, .text = &F::user, .storable_as = "user name", .login = true,
     .option = "--user", .control = "txtUsername", .help = "NAME", .help_line = 0},
    {.key = keys::kPassword, .kind = V::kSecret, .text = &F::password, .login = true,
     .option = "--password", .control = "txtPassword", .help_line = 1},
    {.key = keys::kProtocol, .kind = V::kList, .text = &F::protocol, .codes = &ProtocolCodes, .login = true,
     .goes_with = keys::kUser, .option = "--protocol", .control = "cmbProtocol",
     .help = "            (SSH1, SSH2, automatic)", .help_line = 3},
    {.key = keys::kPort, .kind = V::kPort, .text = &F::port, .trimmed = true,
     .option = "--port", .control = "txtPort", .help = "PORT", .help_line = 4},
    {.key = keys::kKeyFile, .kind = V::kPlain, .text = &F::key_file, .trimmed = true, .storable_as = "key file",
     .login = true, .option = "--key-file", .control = "txtKeyfile", .help = "PATH", .help_line = 5},
    {.key = keys::kKeyType, .kind = V::kList, .text = &F::key_type, .codes = &KeyTypeCodes, .login = true,
     .goes_with = keys::kKeyFile, .option = "--key-type", .control = "cmbKeyType", .help_line = 5},
    {.key = keys::kEnablePassword, .kind = V::kSecret, .text = &F::enable_password, .login = true,
     .option = "--enable-password", .control = "txtenablepassword", .help_line = 2},
    {.key = keys::kConfiguration, .kind = V::kList, .text = &F::configuration, .codes = &ConfigurationCodes,
     .option = "--configuration", .control = "cmbconfiguration", .help_line = 7},
    {.key = keys::kDevice, .kind = V::kList, .text = &F::device, .codes = &DeviceCodes, .keeps_unknown = true,
     .option = "--device", .control = "cmbDevice", .help_line = 6},
    {.key = keys::kUpdateChanged, .kind = V::kFlag, .flag = &F::update_changed,
     .option = "--update-known", .off_option = "--no-update-known", .control = "chkReset", .help_line = 8},
    {.key = keys::kDebug, .kind = V::kFlag, .flag = &F::debug, .control = "chkdebug"},
    {.key = keys::kDebugFile, .kind = V::kPlain, .text = &F::debug_file, .trimmed = true, .storable_as = "debug file",
     .option = "--debug-file", .off_option = "--no-debug", .switches = &F::debug, .control = "txtdebugfile",
     .help = "PATH", .help_line = 9},
    {.key = keys::kChecksum, .kind = V::kPlain},
    {.key = keys::kCommand, .kind = V::kSecret},
    {.key = keys::kUnusedKeys[0], .kind = V::kPlain},
    {.key = keys::kUnusedKeys[1], .kind = V::kPlain},
    {.key = keys::kUnusedKeys[2], .kind = V::kPlain},
};
// clang-format on

}  // namespace

std::span<const ParameterKey> ParameterKeys() { return kKeys; }

}  // namespace comvorlix
