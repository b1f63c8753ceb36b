# shellcheck shell=bash
# Shared set-up of the engine tests, sourced by tests/engines/*.sh (bash,
# set -euo pipefail). It owns the EXIT trap: a test registers what must be
# undone with engine_on_exit and what to print when it fails with
# engine_on_failure, and never sets its own EXIT trap.
#
# What it offers:
#   engine_fail MESSAGE            exit 1; "FAIL: <test>: MESSAGE" ends stderr
#   engine_on_exit COMMAND         run COMMAND at exit (last registered first)
#   engine_on_failure COMMAND      run COMMAND at exit when the test failed
#   engine_workdir                 ENGINE_WORK: a private folder, removed at exit
#   switch_start DIR               a Cisco switchsim with its files in DIR
#                                  (running.cfg, password, enable); sets
#                                  SWITCH_PORT; stopped at exit
#   switch_set_hostname DIR NAME   renames the emulated switch (next listing)
#   switch_known_hosts FILE PORT   pins the fixed test host key for the port
#   switch_credentials FILE DIR    writes the shared login (a credentials
#                                  file, root's, readable by the service
#                                  user's group, as in /etc/comvorlix/)
#   switch_params FILE DIR PORT [CONFIGURE OPTIONS]
#                                  writes the switch's parameter file without
#                                  a login of its own (as in
#                                  /var/lib/comvorlix/), owned by the
#                                  service user, mode 0600
#   assert_params_private FILE     still the service user's, mode 0600
#   wait_for SECONDS WHAT COMMAND  runs COMMAND until it succeeds, or fails
#                                  the test naming WHAT
#   engine_skip_diff               true when COMVORLIX_ENGINE_SKIP_DIFF=1
#
# The checks run as the engines' service user, ENGINE_USER (nagios, for
# both engines on Debian). Secrets stay in files readable by root only; the
# check reads them from the parameter file.

ENGINE_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
ENGINE_USER=nagios
ENGINE_TEST=$(basename "$0")
COMVORLIX=${COMVORLIX:-/usr/bin/comvorlix}
# shellcheck disable=SC2034  # for the tests
CHECK_COMVORLIX=/usr/lib/nagios/plugins/check_comvorlix
# scripts/engines.sh builds switchsim in build/; another build may be named.
SWITCHSIM=${SWITCHSIM:-$ENGINE_REPO/build/tools/switchsim/switchsim}
SWITCH_KEY=$ENGINE_REPO/tools/switchsim/keys/test_host_ed25519

_engine_exit=()
_engine_failure=()

_engine_reason=""

engine_fail() {
  _engine_reason=$*
  exit 1
}

engine_on_exit() { _engine_exit+=("$1"); }
engine_on_failure() { _engine_failure+=("$1"); }

_engine_cleanup() {
  local status=$? i
  trap - EXIT
  set +e
  if [ "$status" -ne 0 ]; then
    for i in "${_engine_failure[@]}"; do eval "$i" >&2; done
    # The reason comes last, below the logs, where a reader of CI looks.
    echo "FAIL: $ENGINE_TEST: ${_engine_reason:-exit status $status}" >&2
  fi
  for ((i = ${#_engine_exit[@]} - 1; i >= 0; i--)); do eval "${_engine_exit[i]}"; done
  exit "$status"
}
trap _engine_cleanup EXIT
# A test stopped by a signal still stops its daemons and removes its files.
trap 'exit 130' INT
trap 'exit 143' TERM

engine_skip_diff() {
  # Only for working on a test while the installed package predates the
  # diff in the long output; CI never sets it.
  [ "${COMVORLIX_ENGINE_SKIP_DIFF:-0}" = 1 ]
}

engine_workdir() {
  ENGINE_WORK=$(mktemp -d "${TMPDIR:-/tmp}/comvorlix-engine.XXXXXX")
  engine_on_exit "rm -rf '$ENGINE_WORK'"
  # The service user must reach its own folders below it.
  chmod 755 "$ENGINE_WORK"
}

wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  # The engine is another process with no event to wait on: look again
  # every half second up to the deadline.
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || engine_fail "no $what within $seconds s"
    sleep 0.5
  done
}

switch_start() {
  local dir=$1 line fd
  [ -x "$SWITCHSIM" ] || engine_fail "no switchsim at $SWITCHSIM (build it, or set SWITCHSIM)"
  mkdir -p "$dir"
  chmod 700 "$dir"
  cp "$ENGINE_REPO/tools/switchsim/configs/cisco-running.cfg" "$dir/running.cfg"
  (umask 077 && printf 'engine-test-%s\n' "$RANDOM$RANDOM" > "$dir/password" &&
    printf 'engine-enable-%s\n' "$RANDOM$RANDOM" > "$dir/enable")
  mkfifo "$dir/listening"
  "$SWITCHSIM" --device cisco --port 0 --running "$dir/running.cfg" --user admin \
    --password-file "$dir/password" --enable-password-file "$dir/enable" \
    --host-key "$SWITCH_KEY" > "$dir/listening" 2> "$dir/switchsim.log" &
  local pid=$!
  engine_on_exit "kill $pid 2>/dev/null; wait $pid 2>/dev/null"
  engine_on_failure "echo '--- switchsim log ($dir/switchsim.log)'; cat '$dir/switchsim.log'"
  # Kept open to the end: switchsim's stdout never meets a closed pipe, and
  # a switchsim that dies before listening gives end of file at once.
  exec {fd}< "$dir/listening"
  read -r -t 15 -u "$fd" line || engine_fail "switchsim did not start listening: $(cat "$dir/switchsim.log")"
  [[ $line =~ ^switchsim\ listening\ on\ 127\.0\.0\.1:([0-9]+)$ ]] || engine_fail "switchsim said: $line"
  # shellcheck disable=SC2034  # for the test
  SWITCH_PORT=${BASH_REMATCH[1]}
}

switch_set_hostname() {
  local dir=$1 name=$2
  # switchsim reads the file for every listing; a rename replaces it whole,
  # so a listing under way never sees half a file.
  sed "s/^hostname .*/hostname $name/" "$dir/running.cfg" > "$dir/running.cfg.new"
  grep -qx "hostname $name" "$dir/running.cfg.new" || engine_fail "running.cfg has no hostname line"
  mv "$dir/running.cfg.new" "$dir/running.cfg"
}

switch_known_hosts() {
  local file=$1 port=$2
  # The fixed key pinned for [127.0.0.1]:PORT, so that a check with
  # --host-key-policy strict logs in, and one with a wrong key cannot.
  printf '[127.0.0.1]:%s %s\n' "$port" "$(cut -d' ' -f1,2 "$SWITCH_KEY.pub")" > "$file"
  chown "$ENGINE_USER:" "$file"
  chmod 644 "$file"
}

switch_credentials() {
  local file=$1 dir=$2
  "$COMVORLIX" configure --credentials "$file" --user admin --password-file "$dir/password" \
    --enable-password-file "$dir/enable" > /dev/null
  chgrp "$ENGINE_USER" "$file"
  chmod 640 "$file"
}

switch_params() {
  local file=$1 dir=$2 port=$3
  shift 3
  # The check replaces the file through a temporary one beside it: the
  # folder is the service user's too (0700, as the package makes
  # /var/lib/comvorlix).
  chown "$ENGINE_USER:" "$(dirname "$file")"
  chmod 700 "$(dirname "$file")"
  "$COMVORLIX" configure --params "$file" --no-gui --port "$port" --device CSCSW --configuration RUN "$@" > /dev/null
  chown "$ENGINE_USER:" "$file"
  assert_params_private "$file"
  if grep -q '#PWD=[^#]\|#EPW=[^#]' "$file"; then engine_fail "the switch's own file holds a password"; fi
}

assert_params_private() {
  local file=$1 got
  got=$(stat -c '%U %a' "$file") || engine_fail "parameter file $file is gone"
  [ "$got" = "$ENGINE_USER 600" ] || engine_fail "parameter file $file: owner and mode are '$got', not '$ENGINE_USER 600'"
}
