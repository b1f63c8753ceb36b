#include "cli/commands.h"

namespace comvorlix::cli {

std::string UsageLine() {
  return "usage: comvorlix check --host HOST --params FILE [--timeout SECONDS] [--verbose]\n"
         "       comvorlix configure --params FILE [--host HOST] [--timeout SECONDS] [--no-gui FIELD OPTIONS]\n"
         "       comvorlix crc [FILE] | comvorlix secret encode|decode | comvorlix --help | --version";
}

std::string HelpText() {
  return R"(comvorlix - network device configuration checker

Logs in to a switch over SSH, has it list its running or startup
configuration, and compares the CRC-32 of the listing with the checksum
remembered in the switch's parameter file (or compares running with
startup). Kinds of switch: Cisco (CSCSW), Aruba/ProCurve (ARUSW),
HP 1920 (HP1920SW), HP 2530 (HP2510SW).

Commands:
  check --host HOST --params FILE [--timeout SECONDS] [--verbose]
      Runs one check, as a monitoring plugin. Prints one line and exits:
        0  CONFIG OK - ...        (unchanged, initial checksum stored,
                                   running and startup the same)
        2  CONFIG CRITICAL - ...  (changed, different, or the check failed)
        3  CONFIG UNKNOWN - ...   (wrong invocation, FILE missing,
                                   unreadable or unwritable)
      FILE holds the parameter string (one line). When the check updates
      it (a new checksum), FILE is replaced atomically; checks of the same
      FILE run one after the other. --timeout is the SSH time limit in
      seconds (default 30). --verbose writes the debug lines to standard
      error.

  configure --params FILE [--host HOST] [--timeout SECONDS]
      Shows the configuration dialog, loaded from FILE when it exists. OK
      writes the new parameter string to FILE (mode 0600 when new); closing
      the dialog leaves FILE untouched.
  configure --params FILE --no-gui [FIELD OPTIONS]
      The same without a window (implied when there is no display): FILE
      is loaded, the given fields are set, and OK is pressed. Fields:
        --user NAME
        --password-file FILE | --password-stdin
        --enable-password-file FILE
        --protocol 1|2|A            (SSH1, SSH2, automatic)
        --port PORT
        --key-file PATH  --key-type RSA|DSA
        --device CSCSW|ARUSW|HP1920SW|HP2510SW
        --configuration RUN|START|COMPARE
        --update-known | --no-update-known
        --debug-file PATH | --no-debug
      Passwords are never taken from the command line.

  crc [FILE]
      Prints the checksum of FILE's bytes (standard input without FILE),
      in the form the parameter string stores it.

  secret encode | secret decode
      Reads one value from standard input and prints its stored
      (encrypted) form, or the clear text of a stored form.

  --help, --version
)";
}

}  // namespace comvorlix::cli
