// The keys of the parameter string and the codes its values take.
//
// Key names are matched without regard to letter case when a string is
// read (parameter_string.h); they are written as spelled here. Codes are
// compared exactly and case-sensitively. Pure data.
#pragma once

#include <string_view>

namespace comvorlix::keys {

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

}  // namespace comvorlix::keys
