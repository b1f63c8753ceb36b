// The command dialogs of the known kinds of switch, as data.
//
// One table per device kind says what the session types and when, and what
// the configuration listings look like, so that one engine (Conversation)
// can drive every kind and the check can find the listings in the session
// output. The same table names the kind for people (the form's device list,
// the command line's help). Codes are compared exactly, case-sensitively.
//
// Each kind is a kind file (devices/kind_file.h): the shipped ones are built
// into the program; files in the kinds folder (/etc/comvorlix/kinds, or the
// one KindsDirectory names) add kinds or replace a shipped kind of the
// same code. They are read once, at the first lookup; the tables are
// immutable from then on, the lookups are thread-safe and the references
// they give stay valid for the life of the program.
//
// Every text of a table is bytes: what is typed to the switch, exactly,
// and what the switch's listings hold (switch text has no character set);
// the names for people are ASCII. A member a kind file leaves out has the
// value of a plain SSH command line (the defaults below), which is also
// what a device code that is no known kind gets (OtherDeviceKind).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace comvorlix {

// Stands for the enable password inside an opening text.
inline constexpr std::string_view kEnablePasswordSlot = "{EPW}";
// Stands for the check's marker token inside a marker command.
inline constexpr std::string_view kMarkerTokenSlot = "{TOKEN}";

// One text typed at the opening, and whether the dialog waits for the
// switch's answer to it before typing on.
//
// A step with `questions` is a command that may ask for something: nothing
// more is typed until the switch has echoed it (the echo follows a prompt or
// a question) and then either
//   * asks: a line ending in one of `questions` (compared without regard to
//     case, blanks after it ignored): the next step, which answers it, is
//     typed; or
//   * shows a prompt (it waits at a line ending in '#', '>' or ']' that is no
//     question): nothing is needed, the answering steps that follow are
//     skipped.
// A step that types the enable password waits the same way without an echo
// (the switch hides what is typed): a prompt means it was taken, a question
// means it was refused. Steps without questions are typed ahead at once.
struct OpeningStep {
  std::string send;  // typed as one send; kEnablePasswordSlot stands for the secret
  std::vector<std::string> questions;
  // What the question asks for, as errors name it ("the enable password").
  std::string asks_for;
  // Typed only when the step before it was answered with a question.
  bool answers_question = false;
  bool operator==(const OpeningStep&) const = default;
};

// A step typed ahead, without waiting for an answer.
inline OpeningStep TypedAhead(std::string send) { return OpeningStep{std::move(send), {}, {}, false}; }

// A secret of a statement, as the RE2 patterns of a SecretPattern
// (redact/secret_mask.h says how they are read): `line` finds it in a line,
// each of its capture groups is masked; `section`, when not empty, limits it
// to the lines of sections whose opening line that pattern finds. Written as
// raw strings exactly as a kind file gives them (a TOML literal string '...'
// holds no "'": "\x27" stands for it).
struct SecretRule {
  std::string line;
  std::string section = {};
  bool operator==(const SecretRule&) const = default;
};

// Ends a session and declines the question whether to save the running
// configuration that an Aruba/ProCurve switch asks after "Do you want to log
// out [y/n]?" when the configuration is unsaved; harmless on other kinds.
inline constexpr std::string_view kExitAndDecline = "exit\rexit\ry\rn\r";

// The statement rule earlier versions of this program summed a listing by
// (check/earlier_rules.h): lines starting, after blanks, with one of
// `prefixes` and lines that are one of `separators` were left out;
// `cut_header`: the listing was taken from its header's second byte on.
struct EarlierRule {
  std::vector<std::string> prefixes;
  std::vector<std::string> separators;
  bool cut_header = false;
  bool operator==(const EarlierRule&) const = default;
};

struct DeviceKind {
  std::string code = {};  // "CSCSW", "ARUSW", "HP1920SW", "HP2510SW"
  // Where the kind stands among all kinds (AllDeviceKinds, the form's list):
  // ascending, unique. The first kind is the form's default device.
  int sort_key = 0;
  // The item of the form's device list ("Cisco switch").
  std::string form_name = {};
  // The kind as the command line's help names it ("Cisco").
  std::string short_name = {};

  // Sent once the shell is open, each step as one send, before the listing
  // command; steps that may ask for something are waited for (OpeningStep).
  std::vector<OpeningStep> opening = {};
  // A harmless command typed just before and just after every listing
  // command, kMarkerTokenSlot replaced by a token that is fresh for every
  // check: its echo after a prompt marks where the listing's command was
  // taken and where the listing has ended, which no banner or configuration
  // text can forge. The switch's answer to it is no part of the listing.
  std::string marker = {};
  // Listing commands, sent followed by `line_end`.
  std::string run_listing = {};    // the running (current) configuration
  std::string start_listing = {};  // the startup (saved) configuration
  // Listed in a single-configuration check whose kind is neither RUN nor
  // START; empty: nothing is listed.
  std::string other_listing = {};
  std::string line_end = "\r";
  // The logout is not sent before gReceivedRunning holds more characters
  // than the threshold; set when the listing command is typed to
  // len(gReceived) + this.
  std::optional<int> opening_threshold_offset = std::nullopt;

  // Sent when the first capture step ends in a single-configuration check.
  std::vector<std::string> follow_up = {"exit\r"};
  // Threshold set with the follow-up; nothing: left as it was.
  std::optional<int> follow_up_threshold = 30;
  // Sent again on later events until the switch closes the session. It
  // always declines to save the configuration: a check never changes the
  // switch.
  std::string logout = std::string(kExitAndDecline);

  // Shape of a listing in the session output.
  std::string run_marker = {};    // the first line of a running listing starts with it
  std::string start_marker = {};  // the same for a startup listing
  std::string end_line = {};      // the last line of a listing; empty: none, the prompt follows
  // A listing whose first line starts with one of these has no end line even
  // when the kind has one: it ends at the prompt (the HP 2530's own form).
  std::vector<std::string> endless_markers = {};
  // The line rules: which lines of a listing are no configuration, neither
  // compared between two listings nor covered by a checksum. Each is a
  // pattern (RE2 syntax, one byte per character as Latin-1, case-sensitive
  // unless it starts with "(?i)") that must match a whole line, taken
  // without its line end, carriage returns and trailing blanks; how they
  // apply is check/line_rules.h. Written as raw string literals exactly as
  // they would stand in a TOML literal string ('...').
  //
  // Lines that only say which listing this is, its size, or when the
  // configuration was changed or saved: no configuration only in the
  // listing's head, before its first statement.
  std::vector<std::string> head_lines = {};
  // Lines the switch rewrites on its own (a clock's drift): no configuration
  // wherever they stand outside free text (indentation is part of the line).
  std::vector<std::string> drifting_lines = {};
  // Lines that open free text (a banner): every line up to and including the
  // one that holds the closing delimiter is configuration, whatever it
  // looks like. Two capture groups: the delimiter, and the rest of the line,
  // where the text may close already.
  std::vector<std::string> free_text_openers = {};
  // Lines that only separate sections ("!", "#"), matched without their
  // indentation; outside free text they are no configuration.
  std::vector<std::string> separator_lines = {};
  // Where statements carry a password, hash, community or key: what every
  // capture group of a pattern takes is never shown in an alert, an error
  // or a debug line (SecretRule).
  std::vector<SecretRule> secret_patterns = {};
  // Where the listing says who changed the configuration last: a pattern
  // (as the line rules) with two capture groups, when and by whom; empty:
  // the kind does not say.
  std::string attribution = {};
  // Added to the user name at login: some devices take console options
  // there (RouterOS "+ct": no colours, no terminal detection).
  std::string login_suffix = {};
  // The rule earlier versions remembered checksums by; none for kinds they
  // did not know.
  std::optional<EarlierRule> earlier = std::nullopt;

  bool operator==(const DeviceKind&) const = default;
};

// Where kind files that add to or replace the shipped kinds are read from.
inline constexpr char kDefaultKindsDirectory[] = "/etc/comvorlix/kinds";

// The folder the kinds are read from: the environment's
// COMVORLIX_KINDS_DIR when set (so that a program's --kinds-dir reaches the
// library it calls), otherwise kDefaultKindsDirectory.
std::string KindsDirectory();

// The kinds as loaded: every kind with the file it came from ("built in"
// for a shipped kind no file replaced), and every problem of a file that
// was not read or not taken ("FILE:LINE: what", kind_file.h). A problem
// file leaves the other kinds loaded.
struct LoadedKinds {
  std::vector<DeviceKind> kinds;  // by sort_key, then code
  std::vector<std::string> files;  // one per kind
  std::vector<std::string> problems;
};
const LoadedKinds& Kinds();

// "; kind files not loaded: P1; P2" for the problems of Kinds(), or
// nothing: what an error about a code that names no kind adds.
std::string KindProblemsNote();

// Reads the shipped kinds and the kind files of `directory` (a missing
// folder holds none). Only regular "*.toml" files of at most 256 KiB,
// owned by root or the running user and writable by neither group nor
// others, are read: a kind file decides what is typed to a switch with
// enable rights. Two files with one code are both refused.
LoadedKinds LoadKinds(const std::string& directory);

// Every known kind, in the order the form lists them (by sort_key).
std::span<const DeviceKind> AllDeviceKinds();

// The table of a device code, or nullptr for a code that is no known kind.
const DeviceKind* FindDeviceKind(std::string_view code);

// Used for any other device code: every member at its default (nothing is
// sent at the opening, "exit" CR ends the first capture step).
const DeviceKind& OtherDeviceKind();

// The listing command of the first capture step for a configuration kind
// ("RUN", "START", "COMPARE", or other), empty when nothing is listed.
const std::string& FirstListing(const DeviceKind& device, std::string_view configuration);

}  // namespace comvorlix
