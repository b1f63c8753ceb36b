// Login settings shared by many switches: a credentials string (a
// parameter string of its own, written by the same form and `configure`)
// whose login keys fill in those a switch's own string leaves empty.
//
// The login keys are those the table of keys marks as login (keys.h): USR,
// PWD, PROTO, KEYF, KEYT and EPW, in that order. A key of the switch's
// string counts as empty when it is missing or its stored value is empty
// (an empty secret is stored empty). A key may go with another: KEYT
// describes the key file, so it comes from the credentials whenever KEYF
// does; PROTO belongs to the login, so it comes from the credentials
// whenever USR does (the form writes both with a default, which would
// otherwise always win). Stored values are copied as stored: secret
// fields stay encrypted, the same codec reads them.
//
// The switch's string keeps everything else (DEV, CFG, PORT, UCF, @@CRC,
// ...) and never receives a shared value: OwnStringAfterCheck takes what a
// check changed in the filled string (only @@CRC is ever changed) back
// into the switch's own string.
//
// Pure functions; thread-safe; never fail.
#pragma once

#include <string>
#include <string_view>

namespace comvorlix {

// `own` with its empty login keys taken from `shared`.
std::string FillInLogin(std::string_view own, std::string_view shared);

// `own` with the @@CRC of `checked` (FillInLogin's result after a check),
// or `own` itself when the check left the filled string as it was.
std::string OwnStringAfterCheck(std::string_view own, std::string_view filled, std::string_view checked);

// ENC and the login keys of `p`, in the table's order, nothing else: what a
// credentials file holds.
std::string LoginKeysOnly(std::string_view p);

}  // namespace comvorlix
