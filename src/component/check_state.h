// CheckState: the variables through which the public class and its form
// exchange everything about one check.
//
// There is one set per thread (thread_local): every object and form on a
// thread shares it, and checks on different threads never do. All values
// start empty, 0 or False and keep their values between checks until they
// are written again. Plain fields, read and written directly; the only
// synchronisation is the check run's wait on `gDone` (same thread).
#pragma once

#include <cstdint>

#include "automation/text.h"
#include "automation/variant.h"

namespace comvorlix {

struct CheckState {
  // Settings of a check, written by the check run before the session.
  Text gHostname;
  int16_t gTimeout = 0;
  Text gUsername;
  Text gPassword;
  Text gProtocol;
  int16_t gPort = 0;
  Text gKeyFile;
  Text gKeyType;
  Text gEnablePassword;
  Text gDevice;
  Text gConfiguration;
  VariantBool gDebug = kVariantFalse;
  Text gDebugFile;

  // Results of a session.
  Text gReceived;
  Text gReceivedRunning;
  // Everything the switch sent during the session, in arrival order,
  // whatever dialog step it arrived in; the listing is taken from it.
  Text gSessionOutput;
  VariantBool gDone = kVariantFalse;
  Text gErrorText;
  // Why an established session ended other than by the switch closing it
  // (a time-out, a dropped connection, too much output); empty otherwise.
  Text gSessionFault;

  // The dialog's result: the parameter string built by OK.
  Variant gParameterOut;
};

// The CheckState of the calling thread.
CheckState& ThreadCheckState();

}  // namespace comvorlix
