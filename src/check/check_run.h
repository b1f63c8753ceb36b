// The check run: the body of vorlixCom::qo_docheck.
//
// Reads the object's properties into the thread's CheckState, validates the
// login data, has the object's form start the SSH session (Get_mount_list,
// called by name), waits until the session has ended while running the
// thread's messages (sleeping between them), then judges what was captured
// and puts one line of text into qo_result:
//   True:  "Setting initial CRC (X)", "configuration unchanged (X)",
//          "Running and startup configuration are the same"
//   False: "Configuration changed (X - old:Y)",
//          "Running and startup configuration are different",
//          the SSH layer's error text, or "ERR: " + description + "(" + step + ")".
// A new checksum is written into qo_parameter (@@CRC) only from a complete
// listing. Nothing is thrown to the caller. Runs on the object's thread; a
// second check must not start on that thread before this one returns.
#pragma once

#include "automation/variant.h"

namespace comvorlix {

class VorlixCom;

VariantBool RunCheck(VorlixCom& object);

}  // namespace comvorlix
