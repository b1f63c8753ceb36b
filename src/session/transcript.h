// What one SSH session with a switch gives back: a plain value.
//
// The bytes are exactly what the switch sent, after the SSH client's
// control sequence filter, one byte per byte (no character set applies).
// Messages (errors, negotiated names) are UTF-8.
#pragma once

#include <string>

#include "session/conversation.h"
#include "ssh/events.h"

namespace comvorlix {

struct Transcript {
  // The session output and the conversation's two capture buffers.
  Captures captures;
  // Set when the session never got going (the connect could not start or
  // the attempt failed): the SSH layer's text, reported to the host as it
  // stands. Empty otherwise.
  std::string connect_error;
  // The attempt ended before logging in because the host key of a switch
  // seen for the first time could not be recorded (connect_error says why):
  // the switch was not judged, neither good nor bad.
  bool host_key_unrecorded = false;
  // The attempt ended before logging in because the host key was refused
  // (changed, revoked, or unknown under the strict policy): a finding about
  // the switch, not a failure to reach it.
  bool host_key_refused = false;
  // Set when an established session ended other than by the switch closing
  // it (a time-out, a dropped connection, too much output); empty otherwise.
  std::string fault;
  // Output past the capture limit was dropped.
  bool output_truncated = false;
  // Set when the session was ended at the request's deadline: the step it
  // was in ("connecting", "logging in", "listing the configuration",
  // "logging out"). Empty otherwise.
  std::string unfinished_step;
  // What the key exchange settled on, as the SSH client reported it; empty
  // when none took place.
  SshNegotiated negotiated;
  // Set when this session recorded the host key of a host seen for the
  // first time: "learned host key SHA256:... of HOST:PORT into FILE".
  std::string learned_host_key;
};

}  // namespace comvorlix
