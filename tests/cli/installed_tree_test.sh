#!/bin/sh
# The installed tree works on its own: `cmake --install` of the build tree
# BUILD (in SOURCE) into a fresh prefix, then the host and check_comvorlix
# run from there with the library of that tree, and the man page and the
# Icinga 2 command are where the engines and man(1) look.
set -eu
build=$1 source=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$root/usr" >/dev/null
bin=$root/usr/bin/comvorlix
lib=$(find "$root/usr/lib" -path '*/comvorlix/libcomvorlix.so')
[ -n "$lib" ] || fail "libcomvorlix.so is not in a private folder"

if readelf -d "$bin" | grep -q "$build"; then fail "the installed host still searches the build tree"; fi
if readelf -d "$bin" | grep -q 'NEEDED.*libcomvorlix\.so'; then
  # The host loads the library of the tree it was installed with.
  readelf -d "$bin" | grep -q 'RUNPATH.*\[\$ORIGIN/\.\./lib' || fail "no \$ORIGIN-relative RUNPATH: $(readelf -d "$bin" | grep PATH)"
  resolved=$(ldd "$bin" | sed -n 's/^[[:space:]]*libcomvorlix\.so => \([^ ]*\) .*/\1/p')
  [ -n "$resolved" ] && [ "$(readlink -f "$resolved")" = "$(readlink -f "$lib")" ] ||
    fail "the library resolves elsewhere: $(ldd "$bin" | grep comvorlix)"
else
  # The standalone host has the library's code built in: it searches no
  # folder of its own for libraries.
  if readelf -d "$bin" | grep -q 'R\(UN\)\{0,1\}PATH'; then fail "the standalone host searches: $(readelf -d "$bin" | grep PATH)"; fi
fi
if ldd "$bin" | grep -qi qt; then fail "the host needs Qt"; fi
if ldd -r "$bin" 2>&1 | grep -q 'undefined symbol'; then fail "the host needs what the library does not offer"; fi
# The library offers its public API and the four entry points, nothing else.
exported=$(nm -D --defined-only "$lib" | awk '{ print $3 }' | c++filt | sed 's/(.*//' | LC_ALL=C sort | tr '\n' ' ')
[ "$exported" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer comvorlix::CheckConfiguration \
comvorlix::CheckConfiguration comvorlix::ConfigurationFormAvailable comvorlix::SetDebugOutput comvorlix::SetDebugOutput \
comvorlix::ShowConfigurationForm " ] || fail "the library exports more or less than its API: $exported"

plugin=$root/usr/lib/nagios/plugins/check_comvorlix
[ "$(readlink "$plugin")" = ../../../bin/comvorlix ] || fail "check_comvorlix is not the relative link"
status=0
out=$("$plugin" -H 127.0.0.1 -f "$root/sw1.params" -t 5) || status=$?
[ "$status" = 3 ] || fail "check_comvorlix exited with $status"
[ "$out" = "CONFIG UNKNOWN - parameter file $root/sw1.params does not exist (write it with comvorlix configure)" ] ||
  fail "check_comvorlix printed: $out"

# The host finds the dialog module where the library is installed: shown
# offscreen, the dialog waits until it is closed.
module=$(find "$root/usr/lib" -path '*/comvorlix/libcomvorlix_dialog_qt.so')
if [ -n "$module" ]; then
  status=0
  QT_QPA_PLATFORM=offscreen timeout 3 "$bin" configure --params "$root/gui.params" >/dev/null 2>&1 || status=$?
  [ "$status" = 124 ] || fail "the installed host did not show the dialog (exit $status)"
fi

gzip -dc "$root/usr/share/man/man1/comvorlix.1.gz" | cmp -s - "$source/docs/comvorlix.1" || fail "the installed man page is not docs/comvorlix.1 (built before it changed?)"
[ -f "$root/usr/share/icinga2/include/plugins-contrib.d/comvorlix.conf" ] || fail "Icinga 2 command"
[ -f "$root/usr/share/doc/comvorlix/copyright" ] || fail "copyright"
echo "installed tree in order"
