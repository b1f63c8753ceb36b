#!/usr/bin/env python3
"""Checks that no folder of src/ reaches up: every #include "folder/..." of a
source file must name a folder its own folder may use.

The layers, lowest first (a folder may include its own headers and those of
the folders listed for it):

  automation  texts, debug output, message queue; variants, late binding,
              dispatch and the class registry (the automation stand-ins)
  files       reading, writing, replacing files
  crc         checksums
  diff        the line diff of two statement lists
  redact      masking of secrets in statements for display
  crypto      the cipher and its envelopes
  devices     one table per kind of switch
  params      the parameter string codec
  ssh         the SSH client on libssh
  session     the device conversation over one SSH session -> transcript
  check       settings -> session -> extraction -> verdict; the steps;
              the options of the public API (comvorlix/comvorlix.h)
  dialog      the configuration form (model)
  dialog_qt   the Qt front end module (only its C table and Qt)
  component   the automation adapter and the public C++ API
  cli         the command-line host: the check and the form through the
              public API; the pure helpers (parameter codec, files,
              checksums, device names) linked in directly

Below the adapter, only the plain utilities of automation/ may be used
(texts and their bytes, debug output, message queue, automation errors); variants, late
binding, dispatch and the registry are for the adapter and the form.

Usage: scripts/check-layers.py [SRC_DIR]   exit 0 when clean, 1 otherwise.
"""
import pathlib
import re
import sys

PLAIN = {"automation/text.h", "automation/bytes.h", "automation/debug_output.h", "automation/message_queue.h",
         "automation/automation_error.h"}

# folder -> folders it may include from (besides itself)
ALLOWED = {
    "automation": set(),
    "files": {"automation"},
    "crc": {"automation"},
    "diff": set(),
    "redact": set(),
    "crypto": {"automation", "files"},
    "params": {"automation", "crypto", "devices"},
    "devices": {"automation"},
    "ssh": {"automation", "files"},
    "session": {"automation", "ssh", "devices"},
    "check": {"automation", "session", "devices", "crc", "params", "diff", "redact", "comvorlix"},
    "dialog": {"automation", "params", "devices", "files"},
    "dialog_qt": set(),
    "component": {"automation", "check", "dialog", "params", "devices", "crc", "crypto", "files",
                  "session", "ssh", "comvorlix"},
    "cli": {"comvorlix", "params", "files", "crc", "devices", "automation"},
}
# single headers a folder may include from a folder it may not otherwise use
EXTRA_HEADERS = {
    "dialog_qt": {"dialog/front_end_module.h"},  # the C table, nothing of the library's C++
}
# folders that may use only the plain utilities of automation/
PLAIN_ONLY = {"files", "crc", "diff", "redact", "crypto", "params", "devices", "ssh", "session",
              "check", "cli"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "src")
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in ALLOWED:
            problems.append(f"{path}: folder {folder}/ has no place in the layers (add it to {__file__})")
            continue
        for header in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            if "/" not in header:
                continue  # a file of the same folder, included by its bare name
            target = header.split("/", 1)[0]
            if target == folder:
                continue
            if header in EXTRA_HEADERS.get(folder, ()):
                continue
            if target not in ALLOWED[folder]:
                problems.append(f"{path}: {folder}/ may not include {header}")
            elif target == "automation" and folder in PLAIN_ONLY and header not in PLAIN:
                problems.append(f"{path}: {folder}/ may use only the plain utilities of automation/, "
                                f"not {header}")
    for p in problems:
        print(p)
    if problems:
        print(f"check-layers: {len(problems)} include(s) reach across the layers", file=sys.stderr)
        return 1
    print("check-layers: every include stays within its layer")
    return 0


if __name__ == "__main__":
    sys.exit(main())
