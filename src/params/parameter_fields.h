// The settings of one switch as separate fields, and the one conversion
// between them and the parameter string that the configuration form and
// the command line's `configure` share.
//
// Both walk the table of keys (keys.h): which keys have a field, of what
// kind, in which order, trimmed or checked as below.
//
// Reading (ReadParameterFields) gives the fields as the form shows a
// string: secret fields in clear text, each list field as the code it
// stands for (an unknown code gives its list's fallback, item_codes.h), the
// port as its number (port_rule.h; no PORT entry gives "0"), a flag set
// only when its value is exactly "T", every other value exactly as stored.
// The empty string gives the fields of a new switch (ParameterFields{}).
// Keys the form does not show (@@CRC, CMD, ...) are not read.
//
// Building (BuildParameterString) writes what the form's OK writes:
//   #ENC=T#USR=..#PWD=..#PROTO=..#PORT=..#KEYF=..#KEYT=..#EPW=..#CFG=..#DEV=..#UCF=..#DBG=..#DBF=..#
// with the secret fields encrypted (secret_field.h), PORT, KEYF and DBF
// trimmed of blanks, flags as "T" or "F", codes and every other value as
// given, without escaping, and without @@CRC.
//
// Values that cannot be stored are refused: the parameter string has no
// escaping and lives on one line of its file, so the user name, key file and
// debug file must not hold "#", CR, LF or NUL (kInvalidArgument "the user
// name must not contain "#", CR, LF or NUL", likewise "the key file ...",
// "the debug file ..."), and the port, trimmed, must be empty or a decimal
// whole number 0-65535 (kInvalidArgument "the port P is not a TCP port
// (1-65535)", port_rule.h). They are checked in that order (user name, port,
// key file, debug file) before anything is encoded. This is the one place
// that checks: the form's OK and `configure` both build here.
//
// Errors: reading a secret field that is neither cipher text nor Base64
// throws AutomationError(kInvalidArgument, "Invalid procedure call or
// argument"); the secret fields are read in the form's order (PWD, then
// EPW), so the first bad one is reported. Encoding errors of the cipher
// pass through from building; nothing is returned then.
//
// Pure values and functions; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace comvorlix {

struct ParameterFields {
  // Defaults: a new switch, as the form shows it before a string is loaded.
  ParameterFields();

  // Strings are UTF-8.
  std::string user;
  std::string password;  // clear text
  std::string protocol;  // a code of ProtocolCodes()
  std::string port;
  std::string key_file;
  std::string key_type;  // a code of KeyTypeCodes()
  std::string enable_password;  // clear text
  std::string configuration;     // a code of ConfigurationCodes()
  std::string device;            // a code of DeviceCodes()
  bool update_changed = false;
  bool debug = false;
  std::string debug_file;

  bool operator==(const ParameterFields&) const = default;
};

ParameterFields ReadParameterFields(std::string_view p);
std::string BuildParameterString(const ParameterFields& fields);

}  // namespace comvorlix
