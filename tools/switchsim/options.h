// Command-line options of switchsim and their parsing.
//
// ParseOptions turns argv into Options, reading the secret files and
// environment variables it names (secrets never travel on argv). It throws
// UsageError with a one-line reason for anything malformed; main prints the
// reason and the usage text and exits with status 2. Options is a plain value,
// built once on the main thread and read-only afterwards, so session threads
// may share it without locking.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace switchsim {

enum class DeviceKind {
  kCisco, kAruba, kHp1920, kHp2530,
  kNxos, kEos, kJunos, kAosCx, kComware7, kRouterOs,
};

// Deliberate misbehaviour of the emulated switch, for testing how a client
// copes. Several may be combined.
struct Faults {
  bool reject_login = false;         // every authentication attempt fails
  bool silent_after_login = false;   // shell opens, nothing is ever sent
  bool drop_mid_listing = false;     // TCP connection dropped halfway through a listing
  bool disconnect_mid_listing = false;  // SSH disconnect (no EOF, no close) halfway through a listing
  bool never_close = false;          // after logout: keep echoing, never close
  bool endless_output = false;       // a listing repeats forever
  bool one_byte = false;             // every byte sent in its own packet
  bool drip = false;                 // after login one byte a second, without end
  bool slow_flood = false;           // a listing repeats forever at a modest steady rate
  bool cut_mid_line = false;         // a listing stops inside a line; the session closes cleanly
};

// How the hp2530 kind answers "display current-configuration" and
// "display saved-configuration".
enum class ListingForm {
  kNative,   // ProCurve style: "Running configuration:" header, no end marker
  kComware,  // Comware style: the lines as stored, ending with "return"
};

struct Range {
  int min = 0;
  int max = 0;
};

struct Options {
  std::string listen_address = "127.0.0.1";
  int port = 22;
  DeviceKind device = DeviceKind::kCisco;
  std::string running_file;   // defaults to the shipped sample of the device kind
  std::string startup_file;   // defaults to running_file; unused by kinds without one
  std::string hostname;       // defaults per device kind
  std::string user = "admin";
  std::optional<std::string> password;            // login password
  std::string authorized_keys_file;
  std::optional<std::string> enable_password;     // Cisco enable secret
  std::string cmdline_password = "512900";        // HP 1920 _cmdline-mode password
  std::vector<std::string> host_key_files;
  std::optional<std::string> banner;              // text of --banner FILE
  std::optional<Range> chunk;                     // output chunk sizes, bytes
  std::optional<Range> delay;                     // pause between chunks, ms
  std::optional<uint64_t> seed;
  int think_ms = 0;
  bool legacy_algorithms = false;
  bool keyboard_interactive_only = false;
  bool start_privileged = false;                  // Cisco: log in at "#"
  bool no_enable_password_prompt = false;         // Cisco: "enable" goes to "#" without asking
  bool ntp_drift = false;                         // Cisco: a new "ntp clock-period" at every listing
  ListingForm listing_form = ListingForm::kNative;  // hp2530 only
  std::optional<std::string> disconnect_message;  // text of --disconnect-message FILE
  std::string auth_log_file;
  std::string command_log_file;
  Faults faults;
  std::string save_log_file;
  int idle_timeout_s = 600;
  int login_grace_s = 60;
  bool verbose = false;
  bool help = false;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses argv. `default_configs_dir` is where the shipped sample
// configurations live; used for the default --running file.
Options ParseOptions(int argc, char** argv, const std::string& default_configs_dir);

// The text printed by --help and after a usage error.
std::string UsageText();

// "cisco", "aruba", "hp1920", "hp2530", "nxos", "eos", "junos", "aoscx",
// "comware7", "routeros".
const char* DeviceKindName(DeviceKind kind);

// False for the kinds that keep no startup configuration (junos, routeros).
bool HasStartup(DeviceKind kind);

}  // namespace switchsim
