#!/usr/bin/env bash
# Nagios 4 (Debian's nagios4-core) runs the installed check_comvorlix as its
# service user against switchsim: a private nagios.cfg, one host, one
# service. Checks are forced through the command pipe and judged by what
# Nagios itself recorded in status.dat: OK with performance data split off
# the first line, then CRITICAL with the diff in the long output once the
# emulated switch was renamed. The parameter file stays the service user's,
# mode 0600. The daemon is started as its package starts it: as root, with
# root's environment (HOME=/root), dropping to nagios by its own
# nagios_user setting. The check uses the default known-hosts file, which
# must be the service user's own (~nagios/.ssh/known_hosts), not $HOME's.
# Needs root.
set -euo pipefail
# shellcheck source=tests/engines/lib.sh
source "$(dirname "$0")/lib.sh"

NAGIOS=/usr/sbin/nagios4
[ -x "$NAGIOS" ] || engine_fail "$NAGIOS is missing (apt-get install nagios4-core)"
[ -x "$CHECK_COMVORLIX" ] || engine_fail "$CHECK_COMVORLIX is missing (install the comvorlix package)"

engine_workdir
switch_start "$ENGINE_WORK/switch"

# Everything the daemon and the check write lives in folders of the service user.
run=$ENGINE_WORK/nagios
mkdir -p "$run/checkresults" "$run/etc"
# The check learns the host key into the service user's default file; the
# machine's own file is put back as it was when the test ends.
user_known_hosts=$(getent passwd "$ENGINE_USER" | cut -d: -f6)/.ssh/known_hosts
if [ -e "$user_known_hosts" ]; then
  cp -a "$user_known_hosts" "$ENGINE_WORK/known_hosts.saved"
  engine_on_exit "cp -a '$ENGINE_WORK/known_hosts.saved' '$user_known_hosts'"
else
  engine_on_exit "rm -f '$user_known_hosts'"
fi
root_known_before=$(cat /root/.ssh/known_hosts 2>/dev/null || true)
# The switch's state in a folder like /var/lib/comvorlix, the shared login
# in one like /etc/comvorlix.
mkdir -p "$run/lib" "$ENGINE_WORK/etc"
switch_credentials "$ENGINE_WORK/etc/fleet.credentials" "$ENGINE_WORK/switch"
# A change is remembered when reported (UCF=T): the engine sees it once.
switch_params "$run/lib/sw1.params" "$ENGINE_WORK/switch" "$SWITCH_PORT" --update-known
chown "$ENGINE_USER:" "$run" "$run/checkresults" "$run/etc"

cat > "$run/etc/nagios.cfg" <<EOF
cfg_file=$run/etc/objects.cfg
log_file=$run/nagios.log
object_cache_file=$run/objects.cache
precached_object_file=$run/objects.precache
status_file=$run/status.dat
status_update_interval=1
temp_file=$run/nagios.tmp
temp_path=$run
lock_file=$run/nagios.lock
check_result_path=$run/checkresults
check_result_reaper_frequency=1
check_external_commands=1
command_file=$run/nagios.cmd
query_socket=$run/nagios.qh
nagios_user=$ENGINE_USER
nagios_group=$ENGINE_USER
retain_state_information=0
enable_notifications=0
use_syslog=0
log_rotation_method=n
service_check_timeout=60
illegal_macro_output_chars=\`~\$&|'"<>
EOF

# Only forced checks run (active checks are off for the service and the
# host), so each result read is the one the test asked for.
cat > "$run/etc/objects.cfg" <<EOF
define timeperiod {
    timeperiod_name always
    alias           always
    sunday          00:00-24:00
    monday          00:00-24:00
    tuesday         00:00-24:00
    wednesday       00:00-24:00
    thursday        00:00-24:00
    friday          00:00-24:00
    saturday        00:00-24:00
}
define command {
    command_name    check_comvorlix
    command_line    $CHECK_COMVORLIX -H \$HOSTADDRESS\$ -f $run/lib/\$HOSTNAME\$.params --credentials $ENGINE_WORK/etc/fleet.credentials -t 10
}
# Nagios insists on a contact; notifications are off all the same.
define command {
    command_name    notify_nobody
    command_line    /bin/true
}
define contact {
    contact_name                    nobody
    host_notifications_enabled      0
    service_notifications_enabled   0
    host_notification_period        always
    service_notification_period     always
    host_notification_options       n
    service_notification_options    n
    host_notification_commands      notify_nobody
    service_notification_commands   notify_nobody
}
define host {
    host_name               sw1
    address                 127.0.0.1
    active_checks_enabled   0
    max_check_attempts      1
    check_period            always
    notification_period     always
    contacts                nobody
}
define service {
    host_name               sw1
    service_description     configuration
    check_command           check_comvorlix
    active_checks_enabled   0
    max_check_attempts      1
    check_interval          60
    retry_interval          1
    notification_interval   0
    check_period            always
    notification_period     always
    contacts                nobody
}
EOF

"$NAGIOS" -v "$run/etc/nagios.cfg" > "$run/verify.out" 2>&1 ||
  engine_fail "nagios4 -v refused the configuration: $(cat "$run/verify.out")"

# Started in the foreground as root with root's environment, as the
# package's service starts it (env execs, so the pid is the daemon's own),
# in the background of this script; Nagios drops to nagios_user itself.
env -i HOME=/root USER=root LOGNAME=root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
  "$NAGIOS" "$run/etc/nagios.cfg" > "$run/nagios.out" 2>&1 &
nagios_pid=$!
engine_on_exit "kill $nagios_pid 2>/dev/null; wait $nagios_pid 2>/dev/null"
engine_on_failure "echo '--- nagios log'; cat '$run/nagios.log'; echo '--- nagios output'; cat '$run/nagios.out'"

nagios_alive() { kill -0 "$nagios_pid" 2>/dev/null || engine_fail "nagios4 exited"; }
pipe_ready() { nagios_alive && test -p "$run/nagios.cmd"; }
wait_for 30 "command pipe from nagios" pipe_ready
[ "$(ps -o user= -p "$nagios_pid")" = "$ENGINE_USER" ] || engine_fail "nagios4 does not run as $ENGINE_USER"

# status.dat's servicestatus block of the service, one field.
service_field() {
  awk -v field="$1" '
    /^servicestatus \{/ { block = 1; svc = ""; value = ""; next }
    block && /^\t}/ { if (svc == "configuration") { print value; exit } block = 0; next }
    block {
      line = $0; sub(/^\t/, "", line)
      eq = index(line, "="); key = substr(line, 1, eq - 1)
      if (key == "service_description") svc = substr(line, eq + 1)
      if (key == field) value = substr(line, eq + 1)
    }' "$run/status.dat" 2>/dev/null
}

checked_after() { nagios_alive && [ "$(service_field last_check)" -gt "$1" ] 2>/dev/null; }

force_check() {
  local now
  now=$(date +%s)
  # A stuck reader would block the write for ever: bounded.
  timeout 10 sh -c "printf '[%s] SCHEDULE_FORCED_SVC_CHECK;sw1;configuration;%s\n' $now $now > '$run/nagios.cmd'" ||
    engine_fail "could not write to the command pipe"
}

# First check: the initial checksum, OK, performance data parsed.
force_check
wait_for 30 "result of the first check in status.dat" checked_after 0
first=$(service_field last_check)
state=$(service_field current_state)
output=$(service_field plugin_output)
perf=$(service_field performance_data)
[ "$state" = 0 ] || engine_fail "first check: state $state, output: $output"
[[ $output == "CONFIG OK - "* ]] || engine_fail "first check: output $output"
[ -n "$perf" ] || engine_fail "first check: nagios has no performance data (output: $output)"
[[ $output != *"|"* ]] || engine_fail "first check: the performance data was not split off: $output"
grep -q '@@CRC=' "$run/lib/sw1.params" || engine_fail "the check did not remember the checksum"
grep -qF "[127.0.0.1]:$SWITCH_PORT " "$user_known_hosts" ||
  engine_fail "the host key was not recorded in $user_known_hosts"
[ "$(stat -c %U "$user_known_hosts")" = "$ENGINE_USER" ] || engine_fail "$user_known_hosts is not $ENGINE_USER's"
[ "$(cat /root/.ssh/known_hosts 2>/dev/null || true)" = "$root_known_before" ] ||
  engine_fail "the check run by nagios changed /root/.ssh/known_hosts"
echo "first check: state 0, $output | $perf"

# A second check must start in a later second than the first for
# last_check to tell them apart.
while [ "$(date +%s)" -le "$first" ]; do sleep 0.2; done
switch_set_hostname "$ENGINE_WORK/switch" core-sw01-renamed
# An administrator looks first with --dry-run: the change is shown, and
# nothing is remembered, so the engine's own check still alerts.
before=$(cat "$run/lib/sw1.params")
set +e
look=$(setpriv --reuid="$ENGINE_USER" --regid="$ENGINE_USER" --init-groups \
  "$CHECK_COMVORLIX" -H 127.0.0.1 -f "$run/lib/sw1.params" --credentials "$ENGINE_WORK/etc/fleet.credentials" \
  -t 10 --dry-run)
look_status=$?
set -e
[ "$look_status" = 2 ] || engine_fail "the dry run: exit $look_status, output: $look"
[[ $look == "CONFIG CRITICAL - Configuration changed"* ]] || engine_fail "the dry run: $look"
[ "$(cat "$run/lib/sw1.params")" = "$before" ] || engine_fail "the dry run changed the parameter file"
force_check
wait_for 30 "result of the second check in status.dat" checked_after "$first"
state=$(service_field current_state)
output=$(service_field plugin_output)
# status.dat stores line ends of the long output as the two characters \n.
long=$(service_field long_plugin_output | sed 's/\\n/\n/g')
[ "$state" = 2 ] || engine_fail "after the rename: state $state, output: $output"
[[ $output == "CONFIG CRITICAL - Configuration changed"* ]] || engine_fail "after the rename: output $output"
if engine_skip_diff; then
  echo "COMVORLIX_ENGINE_SKIP_DIFF=1: the diff in the long output is not checked"
else
  for line in '- hostname Switch' '+ hostname core-sw01-renamed'; do
    grep -qxF -- "$line" <<< "$long" || engine_fail "no '$line' in the long output: $long"
  done
fi
echo "second check: state 2, $output"

assert_params_private "$run/lib/sw1.params"
echo "nagios4: passed"
