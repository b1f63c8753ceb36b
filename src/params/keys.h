// The keys of the parameter string and the codes its values take.
//
// Key names are matched without regard to letter case when a string is
// read (parameter_string.h); they are written as spelled here. Codes are
// compared exactly and case-sensitively. Pure data.
#pragma once

#include "automation/text.h"

namespace comvorlix::keys {

inline constexpr TextView kEncrypted = u"ENC";
inline constexpr TextView kUser = u"USR";
inline constexpr TextView kPassword = u"PWD";        // secret field
inline constexpr TextView kProtocol = u"PROTO";
inline constexpr TextView kPort = u"PORT";
inline constexpr TextView kKeyFile = u"KEYF";
inline constexpr TextView kKeyType = u"KEYT";
inline constexpr TextView kEnablePassword = u"EPW";  // secret field
inline constexpr TextView kConfiguration = u"CFG";
inline constexpr TextView kDevice = u"DEV";
inline constexpr TextView kUpdateChanged = u"UCF";
inline constexpr TextView kDebug = u"DBG";
inline constexpr TextView kDebugFile = u"DBF";
inline constexpr TextView kChecksum = u"@@CRC";
// Read by the check and ignored: kCommand is a secret field that must
// still decode, the others are not looked at.
inline constexpr TextView kCommand = u"CMD";
inline constexpr TextView kUnusedKeys[] = {u"CCO", u"CON", u"RRE"};

// A flag value counts as set only when it is exactly this.
inline constexpr TextView kTrue = u"T";
inline constexpr TextView kFalse = u"F";

// CFG codes.
inline constexpr TextView kRunning = u"RUN";
inline constexpr TextView kStartup = u"START";
inline constexpr TextView kCompare = u"COMPARE";

}  // namespace comvorlix::keys
