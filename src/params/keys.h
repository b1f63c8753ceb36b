// The keys of the parameter string: their names, the codes their values
// take, and the one table that says for each key what its value is, where
// the form and `configure` keep it, which option and control set it and how
// the help shows it.
//
// Key names are matched without regard to letter case when a string is
// read (parameter_string.h); they are written as spelled here. Codes are
// compared exactly and case-sensitively.
//
// The codec (parameter_fields.h), the shared login (shared_login.h),
// `configure`, its help and the configuration form walk ParameterKeys()
// instead of naming keys; the check reads the keys it needs by name, each
// in its own step. Pure data; thread-safe.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "params/item_codes.h"
#include "params/parameter_fields.h"

namespace comvorlix {
namespace keys {

inline constexpr std::string_view kEncrypted = "ENC";
inline constexpr std::string_view kUser = "USR";
inline constexpr std::string_view kPassword = "PWD";        // secret field
inline constexpr std::string_view kProtocol = "PROTO";
inline constexpr std::string_view kPort = "PORT";
inline constexpr std::string_view kKeyFile = "KEYF";
inline constexpr std::string_view kKeyType = "KEYT";
inline constexpr std::string_view kEnablePassword = "EPW";  // secret field
inline constexpr std::string_view kConfiguration = "CFG";
inline constexpr std::string_view kDevice = "DEV";
inline constexpr std::string_view kUpdateChanged = "UCF";
inline constexpr std::string_view kDebug = "DBG";
inline constexpr std::string_view kDebugFile = "DBF";
inline constexpr std::string_view kChecksum = "@@CRC";
// Read by the check and ignored: kCommand is a secret field that must
// still decode, the others are not looked at.
inline constexpr std::string_view kCommand = "CMD";
inline constexpr std::string_view kUnusedKeys[] = {"CCO", "CON", "RRE"};

// A flag value counts as set only when it is exactly this.
inline constexpr std::string_view kTrue = "T";
inline constexpr std::string_view kFalse = "F";

// CFG codes.
inline constexpr std::string_view kRunning = "RUN";
inline constexpr std::string_view kStartup = "START";
inline constexpr std::string_view kCompare = "COMPARE";

}  // namespace keys

enum class ValueKind {
  kPlain,   // stored as given
  kSecret,  // stored encrypted (secret_field.h)
  kFlag,    // "T" or "F"; set only when exactly "T"
  kList,    // a code of its list (item_codes.h)
  kPort,    // a TCP port (port_rule.h)
};

// One key. The rows of ParameterKeys() stand in the order the form and
// `configure` write them (ENC first); keys without a field are read by the
// check only, or by nobody.
struct ParameterKey {
  std::string_view key;
  ValueKind kind;
  // Where the form and `configure` keep the value: `text` for every kind
  // but a flag, `flag` for a flag. Neither: a key the form does not show.
  // ENC, a flag without a field, is always written set.
  std::string ParameterFields::*text = nullptr;
  bool ParameterFields::*flag = nullptr;
  const CodeList& (*codes)() = nullptr;  // a list's codes
  // A list: a stored code that no item names is kept as it is (the form
  // shows it as an item of its own) instead of standing for the fallback.
  // DEV: a kind whose file is not loaded here keeps its switch's settings.
  bool keeps_unknown = false;
  // Written without the blanks around it.
  bool trimmed = false;
  // What the refusal of a value holding "#", CR, LF or NUL calls it ("the
  // user name must not contain ..."); none: not checked.
  const char* storable_as = nullptr;
  // Part of the login that a credentials file shares; such a key is also
  // taken from the credentials whenever `goes_with` is.
  bool login = false;
  std::string_view goes_with = {};
  // `configure`: the option that sets the value ("--user NAME"; a secret:
  // OPTION-file FILE and OPTION-stdin; a flag: OPTION alone), and the one
  // that unsets it (a flag: to "F"; a text: empties it and unsets the flag
  // `switches`, which the text's option sets). No option: not settable
  // by itself.
  std::string_view option = {};
  std::string_view off_option = {};
  bool ParameterFields::*switches = nullptr;
  // The form's control (text box, combo box, check box) by its name.
  std::string_view control = {};
  // The help: what follows the option on its line ("NAME"; a list's codes
  // come before it), and the line among the field lines of `configure
  // --help` (rows on one line stand side by side). -1: not shown.
  std::string_view help = {};
  int help_line = -1;
};

std::span<const ParameterKey> ParameterKeys();

}  // namespace comvorlix
