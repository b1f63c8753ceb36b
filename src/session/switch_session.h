// One SSH session with a switch: from the login data to a Transcript.
//
// SwitchSession owns the SSH client and the conversation of one session.
// Start sets up the client from the request and starts connecting:
//   * port 0 means 22; the terminal is 200 columns wide; control sequences
//     are stripped from what the switch sends;
//   * protocol "1" asks for SSH1 (which the client refuses), "2" for SSH2,
//     anything else for automatic;
//   * with a key file the key is loaded (the password, when there is one,
//     as its pass phrase) and logged in with; key type "DSA" asks for a DSA
//     key, anything else for an RSA key (other key kinds pass either way);
//   * the SSH protocol log is appended to the debug file only when `debug`
//     is set and the file is named;
//   * while the debug file is written or a debug output listener is
//     attached (base/debug_output.h), every line the switch sends
//     becomes a record "< LINE" as soon as it is complete (the last,
//     unfinished one as the session ends), whatever pieces it came in, and
//     every text typed a record "> TEXT", the enable password written as
//     "********"; the lines pass through `mask_line` first (the kind's
//     configuration secrets). The end of the session at the deadline or
//     after the close grace, and an opening given up, leave a record too.
// Finish then runs the calling thread's message queue (sleeping between
// messages, never spinning) until the session has ended, and hands out the
// transcript. Every pending message of the thread runs meanwhile, not only
// the session's. A session whose output passes the capture limit is ended
// at once rather than left to run into the SSH layer's overall time limit.
// The session ends by the SSH client's time limits, or at the request's
// deadline, whichever comes first; a switch that keeps the session open
// after the whole listing and the logout is left kCloseGrace later
// (session/conversation.h), without a fault, and its listing judged.
//
// Errors: Start throws AutomationError when the client refuses a setting or
// the key file cannot be loaded (the text names the file, never a secret).
// A connect that cannot start is not thrown: the transcript's connect_error
// holds its description. Finish passes on what a message of the thread
// throws. Secrets never reach the debug output or an error text.
//
// Threads: made, started and finished on one thread, the check's; sessions
// on different threads share nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <memory>
#include <string>

#include "session/switch_login.h"
#include "session/transcript.h"
#include "ssh/settings.h"

namespace comvorlix {

struct SessionRequest {
  std::string host;         // UTF-8; blanks around it are dropped
  SwitchLogin login;
  // The kind of switch, what to list, the enable password and the time-out
  // (seconds; 0 or less: 30), which is also the SSH client's.
  ConversationSettings conversation;
  // Masks the secrets of one line the switch sent before it is recorded;
  // empty: lines are recorded as they came.
  std::function<std::string(std::string_view)> mask_line;
  bool debug = false;
  std::string debug_file;   // UTF-8 path
  // Host key checking (ssh/known_hosts.h): the user's known hosts file
  // (empty: ~/.ssh/known_hosts) and the policy for a host not yet known.
  std::string known_hosts_file;  // UTF-8 path
  SshHostKeyPolicy host_key_policy = SshHostKeyPolicy::kAcceptNew;
  // When set, Finish ends the session at this moment whatever the switch
  // does, and the transcript names the step it was in (unfinished_step).
  std::optional<std::chrono::steady_clock::time_point> deadline;
};

class SwitchSession {
 public:
  explicit SwitchSession(SessionRequest request);
  ~SwitchSession();  // ends a session still running, without waiting for the network
  SwitchSession(const SwitchSession&) = delete;
  SwitchSession& operator=(const SwitchSession&) = delete;

  void Start();
  Transcript Finish();

 private:
  class Core;
  SessionRequest request_;
  std::shared_ptr<Core> core_;
};

}  // namespace comvorlix
