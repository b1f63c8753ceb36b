#include "options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace switchsim {
namespace {

enum OptionId {
  kListen = 1000, kPort, kDevice, kRunning, kStartup, kHostname, kUser,
  kPasswordFile, kPasswordEnv, kAuthorizedKeys, kEnablePasswordFile,
  kEnablePasswordEnv, kCmdlinePasswordFile, kCmdlinePasswordEnv, kHostKey,
  kBanner, kChunk, kDelay, kSeed, kThink, kLegacy, kKbdintOnly,
  kStartPrivileged, kFault, kSaveLog, kIdleTimeout, kLoginGrace, kVerbose,
  kHelp, kNoEnablePasswordPrompt, kNtpDrift, kListingForm, kDisconnectMessage,
  kAuthLog, kCommandLog,
};

const option kLongOptions[] = {
    {"listen", required_argument, nullptr, kListen},
    {"port", required_argument, nullptr, kPort},
    {"device", required_argument, nullptr, kDevice},
    {"running", required_argument, nullptr, kRunning},
    {"startup", required_argument, nullptr, kStartup},
    {"hostname", required_argument, nullptr, kHostname},
    {"user", required_argument, nullptr, kUser},
    {"password-file", required_argument, nullptr, kPasswordFile},
    {"password-env", required_argument, nullptr, kPasswordEnv},
    {"authorized-keys", required_argument, nullptr, kAuthorizedKeys},
    {"enable-password-file", required_argument, nullptr, kEnablePasswordFile},
    {"enable-password-env", required_argument, nullptr, kEnablePasswordEnv},
    {"cmdline-password-file", required_argument, nullptr, kCmdlinePasswordFile},
    {"cmdline-password-env", required_argument, nullptr, kCmdlinePasswordEnv},
    {"host-key", required_argument, nullptr, kHostKey},
    {"banner", required_argument, nullptr, kBanner},
    {"chunk", required_argument, nullptr, kChunk},
    {"delay", required_argument, nullptr, kDelay},
    {"seed", required_argument, nullptr, kSeed},
    {"think", required_argument, nullptr, kThink},
    {"legacy-algorithms", no_argument, nullptr, kLegacy},
    {"keyboard-interactive-only", no_argument, nullptr, kKbdintOnly},
    {"start-privileged", no_argument, nullptr, kStartPrivileged},
    {"fault", required_argument, nullptr, kFault},
    {"save-log", required_argument, nullptr, kSaveLog},
    {"idle-timeout", required_argument, nullptr, kIdleTimeout},
    {"login-grace", required_argument, nullptr, kLoginGrace},
    {"no-enable-password-prompt", no_argument, nullptr, kNoEnablePasswordPrompt},
    {"ntp-drift", no_argument, nullptr, kNtpDrift},
    {"listing-form", required_argument, nullptr, kListingForm},
    {"disconnect-message", required_argument, nullptr, kDisconnectMessage},
    {"auth-log", required_argument, nullptr, kAuthLog},
    {"command-log", required_argument, nullptr, kCommandLog},
    {"verbose", no_argument, nullptr, kVerbose},
    {"help", no_argument, nullptr, kHelp},
    {nullptr, 0, nullptr, 0},
};

long ParseInteger(const char* text, long min, long max, const char* what) {
  errno = 0;
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < min || value > max) {
    throw UsageError(std::string("bad ") + what + ": \"" + text + "\" (expected " +
                     std::to_string(min) + ".." + std::to_string(max) + ")");
  }
  return value;
}

Range ParseRange(const char* text, long min, long max, const char* what) {
  std::string s(text);
  auto colon = s.find(':');
  Range r;
  if (colon == std::string::npos) {
    r.min = r.max = static_cast<int>(ParseInteger(text, min, max, what));
  } else {
    r.min = static_cast<int>(ParseInteger(s.substr(0, colon).c_str(), min, max, what));
    r.max = static_cast<int>(ParseInteger(s.substr(colon + 1).c_str(), min, max, what));
  }
  if (r.min > r.max) {
    throw UsageError(std::string("bad ") + what + ": \"" + text + "\" (MIN exceeds MAX)");
  }
  return r;
}

std::string ReadWholeFile(const std::string& path, const char* what) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError(std::string("cannot read ") + what + " " + path + ": " + std::strerror(errno));
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A secret file holds the secret on its first line; the line end is not part of it.
std::string ReadSecretFile(const std::string& path, const char* what) {
  std::string text = ReadWholeFile(path, what);
  auto end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  return text;
}

std::string ReadSecretEnv(const char* variable, const char* what) {
  const char* value = std::getenv(variable);
  if (value == nullptr) {
    throw UsageError(std::string(what) + ": environment variable " + variable + " is not set");
  }
  return value;
}

constexpr DeviceKind kAllKinds[] = {
    DeviceKind::kCisco, DeviceKind::kAruba, DeviceKind::kHp1920, DeviceKind::kHp2530,   DeviceKind::kNxos,
    DeviceKind::kEos,   DeviceKind::kJunos, DeviceKind::kAosCx,  DeviceKind::kComware7, DeviceKind::kRouterOs,
};

DeviceKind ParseDevice(const char* text) {
  for (DeviceKind kind : kAllKinds) {
    if (std::strcmp(text, DeviceKindName(kind)) == 0) return kind;
  }
  throw UsageError(std::string("unknown device kind \"") + text +
                   "\" (cisco, aruba, hp1920, hp2530, nxos, eos, junos, aoscx, comware7 or routeros)");
}

void ParseFaults(const char* text, Faults& faults) {
  std::stringstream list(text);
  std::string name;
  while (std::getline(list, name, ',')) {
    if (name == "reject-login") faults.reject_login = true;
    else if (name == "silent-after-login") faults.silent_after_login = true;
    else if (name == "drop-mid-listing") faults.drop_mid_listing = true;
    else if (name == "disconnect-mid-listing") faults.disconnect_mid_listing = true;
    else if (name == "never-close") faults.never_close = true;
    else if (name == "endless-output") faults.endless_output = true;
    else if (name == "one-byte") faults.one_byte = true;
    else if (name == "drip") faults.drip = true;
    else if (name == "slow-flood") faults.slow_flood = true;
    else if (name == "cut-mid-line") faults.cut_mid_line = true;
    else throw UsageError("unknown fault \"" + name + "\"");
  }
}

ListingForm ParseListingForm(const char* text) {
  std::string s(text);
  if (s == "native") return ListingForm::kNative;
  if (s == "comware") return ListingForm::kComware;
  throw UsageError("unknown listing form \"" + s + "\" (native or comware)");
}

}  // namespace

const char* DeviceKindName(DeviceKind kind) {
  switch (kind) {
    case DeviceKind::kCisco: return "cisco";
    case DeviceKind::kAruba: return "aruba";
    case DeviceKind::kHp1920: return "hp1920";
    case DeviceKind::kHp2530: return "hp2530";
    case DeviceKind::kNxos: return "nxos";
    case DeviceKind::kEos: return "eos";
    case DeviceKind::kJunos: return "junos";
    case DeviceKind::kAosCx: return "aoscx";
    case DeviceKind::kComware7: return "comware7";
    case DeviceKind::kRouterOs: return "routeros";
  }
  return "?";
}

bool HasStartup(DeviceKind kind) { return kind != DeviceKind::kJunos && kind != DeviceKind::kRouterOs; }

std::string UsageText() {
  return R"(Usage: switchsim [OPTION]...
An SSH server that behaves like a network switch's command line.

Listening:
  --listen ADDR              address to listen on (default 127.0.0.1)
  --port N                   TCP port (default 22); 0 picks a free port. Once
                             listening, prints "switchsim listening on ADDR:PORT"
  --idle-timeout S           close a session after S seconds without input
                             (default 600)
  --login-grace S            time allowed for key exchange and login (default 60)

Device:
  --device KIND              cisco | aruba | hp1920 | hp2530 | nxos | eos |
                             junos | aoscx | comware7 | routeros (default cisco)
  --running FILE             running configuration (default: the shipped sample
                             configs/KIND-running.cfg); read anew at every listing
  --startup FILE             startup configuration (default: the running file);
                             refused for junos and routeros, which keep none
  --hostname NAME            name in the prompt (default per kind: "Switch",
                             "HP-2530-24G-PoEP", "HP 1920G Switch", "HP-2530-24G",
                             "switch", "leaf1", "ex4300", "6300-core", "H3C",
                             "MikroTik")
  --banner FILE              login banner, sent byte for byte as in FILE
                             (replaces the kind's default)
  --start-privileged         cisco: the session starts at "#" instead of ">";
                             "enable" there does nothing and asks nothing
  --no-enable-password-prompt  cisco: "enable" goes straight to "#" without
                             asking for a password
  --ntp-drift                cisco: every running listing shows a different
                             "ntp clock-period N" line (added if missing)
  --listing-form FORM        hp2530: how "display current-configuration" and
                             "display saved-configuration" list: native
                             (default; "Running configuration:" / "Startup
                             configuration:", a blank line, ProCurve lines, no
                             end marker) or comware (the lines as stored,
                             ending "return"); also picks the default --running
  --save-log FILE            append one line per configuration save
  --command-log FILE         append every line received at a command prompt,
                             as typed (answers to questions are not commands)

Login:
  --user NAME                login name (default admin); routeros also takes
                             NAME+FLAGS (e.g. admin+ct: no colours, no
                             terminal detection)
  --password-file FILE       login password, first line of FILE
  --password-env VAR         login password from environment variable VAR
  --authorized-keys FILE     public keys (OpenSSH authorized_keys format)
                             allowed to log in as NAME
  --keyboard-interactive-only  offer keyboard-interactive, not password
  --enable-password-file FILE  cisco and eos enable password (cisco without
                             one: "enable" answers "% No password set"; eos
                             without one: "enable" asks nothing); other
                             kinds have no enable and ignore it
  --enable-password-env VAR  the same from an environment variable
  --cmdline-password-file FILE  hp1920 _cmdline-mode password (default 512900)
  --cmdline-password-env VAR the same from an environment variable
  --auth-log FILE            append one line per authentication request:
                             session, method, user, result (never a secret)
  At least one of --password-file, --password-env or --authorized-keys is
  required. Secrets are never taken from the command line.

SSH:
  --host-key FILE            host private key; may be repeated. Without it an
                             ephemeral RSA and Ed25519 key are generated.
                             Only the types of the given keys are offered.
                             Fixed test keys: keys/ of the switchsim sources
  --disconnect-message FILE  the reason text of the SSH disconnect message
                             (up to the first NUL); the logout then sends it
                             right after EOF, without closing the channel
  --legacy-algorithms        offer only diffie-hellman-group14-sha1 and
                             diffie-hellman-group1-sha1, ssh-rsa, aes128-cbc,
                             aes256-cbc, 3des-cbc and hmac-sha1

Timing and faults:
  --chunk MIN:MAX            send output in random chunks of MIN..MAX bytes
  --delay MIN:MAX            pause MIN..MAX ms between chunks
  --seed N                   seed of the random chunking and delays
  --think MS                 pause MS ms before a configuration listing
  --fault MODE[,MODE...]     reject-login | silent-after-login |
                             drop-mid-listing | disconnect-mid-listing (an
                             SSH disconnect, with --disconnect-message, after
                             half the lines) | never-close | endless-output |
                             one-byte | drip (after login one "." a second,
                             without end) | slow-flood (a listing repeats
                             forever at 64 KiB/s) | cut-mid-line (a listing
                             stops inside a line, the session closes cleanly)

  --verbose                  log sessions to stderr (never secrets)
  --help                     show this text
)";
}

Options ParseOptions(int argc, char** argv, const std::string& default_configs_dir) {
  Options o;
  std::optional<std::string> enable_file, enable_env, cmdline_file, cmdline_env;
  std::optional<std::string> password_file, password_env;
  std::optional<std::string> banner_file;
  std::optional<std::string> disconnect_file;

  opterr = 0;
  optind = 1;
  int id;
  while ((id = getopt_long(argc, argv, ":", kLongOptions, nullptr)) != -1) {
    switch (id) {
      case kListen: o.listen_address = optarg; break;
      case kPort: o.port = static_cast<int>(ParseInteger(optarg, 0, 65535, "port")); break;
      case kDevice: o.device = ParseDevice(optarg); break;
      case kRunning: o.running_file = optarg; break;
      case kStartup: o.startup_file = optarg; break;
      case kHostname: o.hostname = optarg; break;
      case kUser: o.user = optarg; break;
      case kPasswordFile: password_file = optarg; break;
      case kPasswordEnv: password_env = optarg; break;
      case kAuthorizedKeys: o.authorized_keys_file = optarg; break;
      case kEnablePasswordFile: enable_file = optarg; break;
      case kEnablePasswordEnv: enable_env = optarg; break;
      case kCmdlinePasswordFile: cmdline_file = optarg; break;
      case kCmdlinePasswordEnv: cmdline_env = optarg; break;
      case kHostKey: o.host_key_files.push_back(optarg); break;
      case kBanner: banner_file = optarg; break;
      case kChunk: o.chunk = ParseRange(optarg, 1, 1 << 20, "--chunk"); break;
      case kDelay: o.delay = ParseRange(optarg, 0, 600000, "--delay"); break;
      case kSeed:
        o.seed = static_cast<uint64_t>(ParseInteger(optarg, 0, 0x7fffffffL, "--seed"));
        break;
      case kThink: o.think_ms = static_cast<int>(ParseInteger(optarg, 0, 3600000, "--think")); break;
      case kLegacy: o.legacy_algorithms = true; break;
      case kKbdintOnly: o.keyboard_interactive_only = true; break;
      case kStartPrivileged: o.start_privileged = true; break;
      case kFault: ParseFaults(optarg, o.faults); break;
      case kSaveLog: o.save_log_file = optarg; break;
      case kIdleTimeout:
        o.idle_timeout_s = static_cast<int>(ParseInteger(optarg, 1, 86400, "--idle-timeout"));
        break;
      case kLoginGrace:
        o.login_grace_s = static_cast<int>(ParseInteger(optarg, 1, 3600, "--login-grace"));
        break;
      case kNoEnablePasswordPrompt: o.no_enable_password_prompt = true; break;
      case kNtpDrift: o.ntp_drift = true; break;
      case kListingForm: o.listing_form = ParseListingForm(optarg); break;
      case kDisconnectMessage: disconnect_file = optarg; break;
      case kAuthLog: o.auth_log_file = optarg; break;
      case kCommandLog: o.command_log_file = optarg; break;
      case kVerbose: o.verbose = true; break;
      case kHelp: o.help = true; return o;
      case ':': throw UsageError(std::string("option ") + argv[optind - 1] + " needs a value");
      default: throw UsageError(std::string("unknown option ") + argv[optind - 1]);
    }
  }
  if (optind < argc) throw UsageError(std::string("unexpected argument \"") + argv[optind] + "\"");

  if (password_file && password_env) throw UsageError("give --password-file or --password-env, not both");
  if (password_file) o.password = ReadSecretFile(*password_file, "password file");
  if (password_env) o.password = ReadSecretEnv(password_env->c_str(), "--password-env");
  if (!o.password && o.authorized_keys_file.empty()) {
    throw UsageError("no way to log in: give --password-file, --password-env or --authorized-keys");
  }
  if (enable_file && enable_env) throw UsageError("give --enable-password-file or --enable-password-env, not both");
  if (enable_file) o.enable_password = ReadSecretFile(*enable_file, "enable password file");
  if (enable_env) o.enable_password = ReadSecretEnv(enable_env->c_str(), "--enable-password-env");
  if (cmdline_file && cmdline_env) throw UsageError("give --cmdline-password-file or --cmdline-password-env, not both");
  if (cmdline_file) o.cmdline_password = ReadSecretFile(*cmdline_file, "cmdline password file");
  if (cmdline_env) o.cmdline_password = ReadSecretEnv(cmdline_env->c_str(), "--cmdline-password-env");
  if (banner_file) o.banner = ReadWholeFile(*banner_file, "banner file");
  if (disconnect_file) o.disconnect_message = ReadWholeFile(*disconnect_file, "disconnect message file");

  if (o.running_file.empty()) {
    const bool native = o.device == DeviceKind::kHp2530 && o.listing_form == ListingForm::kNative;
    o.running_file = default_configs_dir + "/" + DeviceKindName(o.device) + (native ? "-native" : "") + "-running.cfg";
  }
  if (!o.startup_file.empty() && !HasStartup(o.device)) {
    throw UsageError(std::string(DeviceKindName(o.device)) + " keeps no startup configuration: --startup does not apply");
  }
  if (o.startup_file.empty()) o.startup_file = o.running_file;
  for (const std::string* file : {&o.running_file, &o.startup_file}) {
    std::ifstream probe(*file);
    if (!probe) throw UsageError("cannot read configuration " + *file + ": " + std::strerror(errno));
  }
  if (!o.authorized_keys_file.empty()) {
    std::ifstream probe(o.authorized_keys_file);
    if (!probe) throw UsageError("cannot read " + o.authorized_keys_file + ": " + std::strerror(errno));
  }
  if (o.hostname.empty()) {
    switch (o.device) {
      case DeviceKind::kCisco: o.hostname = "Switch"; break;
      case DeviceKind::kAruba: o.hostname = "HP-2530-24G-PoEP"; break;
      case DeviceKind::kHp1920: o.hostname = "HP 1920G Switch"; break;
      case DeviceKind::kHp2530: o.hostname = "HP-2530-24G"; break;
      case DeviceKind::kNxos: o.hostname = "switch"; break;
      case DeviceKind::kEos: o.hostname = "leaf1"; break;
      case DeviceKind::kJunos: o.hostname = "ex4300"; break;
      case DeviceKind::kAosCx: o.hostname = "6300-core"; break;
      case DeviceKind::kComware7: o.hostname = "H3C"; break;
      case DeviceKind::kRouterOs: o.hostname = "MikroTik"; break;
    }
  }
  return o;
}

}  // namespace switchsim
