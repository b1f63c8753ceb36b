# shellcheck shell=bash
# Icinga 2 set-up of the engine tests icinga2*.sh, sourced after lib.sh
# (whose EXIT trap stops what is started here and prints its logs when a
# test fails). Needs root, the packages comvorlix, icinga2-bin and
# icinga2-common, curl, jq and python3.
#
# A node is a folder $ENGINE_WORK/NAME of the service user holding its
# configuration (etc/, zones in etc/zones.d), state (lib/, certificates in
# lib/certs/), log/, cache/, spool/ and run/. The daemon's paths are pointed
# there with -D defines, so nothing of /etc/icinga2 or /var/lib/icinga2 is
# read or written, except /etc/icinga2/constants.conf, which every
# configuration includes on purpose: PluginContribDir as Debian sets it has
# to lead to the installed check_comvorlix.
#
#   i2_setup                    checks the tools, makes ENGINE_WORK and the
#                               API user's password (in files only)
#   i2_node NAME                makes the node's folders
#   i2_pki_ca NAME              a CA in the node's lib/ca
#   i2_pki_cert CA NAME         NAME's key and certificate signed by CA's CA
#   i2_base_config NAME [true]  etc/icinga2.conf: ITL, checker, API on
#                               a free loopback port, API user; true: the
#                               node accepts its zone's configuration
#   i2_start NAME               validates, starts the daemon as root (it
#                               drops to the service user), waits for its
#                               API; stopped at exit
#   i2_api NAME METHOD PATH [CURL ARGS]   a request to the node's API
#   i2_switch_objects FILES CREDENTIALS   the switch's Host and Service (its
#                               parameter and known hosts files in FILES,
#                               the shared login in CREDENTIALS), on stdout
#   check_ok_then_critical FORCE READER SOURCE SWITCH_DIR PARAMS
#                               the test's two checks, see there

# shellcheck disable=SC2034  # read by the tests
I2_SERVICE='sw1!configuration'
_i2_password=""

i2_setup() {
  local tool
  [ "$(id -u)" -eq 0 ] || engine_fail "needs root: the daemons run as $ENGINE_USER"
  for tool in icinga2 curl jq python3 setpriv; do
    command -v "$tool" > /dev/null || engine_fail "$tool is not installed"
  done
  [ -x "$CHECK_COMVORLIX" ] || engine_fail "$CHECK_COMVORLIX is missing (install the comvorlix package)"
  engine_workdir
  # The API password lives in the private configurations and in curl's
  # netrc file, never in an argument list.
  _i2_password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
  (umask 077 && printf 'default login engine-test password %s\n' "$_i2_password" > "$ENGINE_WORK/netrc")
}

# A loopback port that is free now. Another process could take it before
# the daemon binds it; the daemon's log then says so.
_i2_free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

i2_node() {
  mkdir -p "$ENGINE_WORK/$1"/{etc/zones.d,lib/certs,log,cache,spool,run}
  chown -R "$ENGINE_USER:" "$ENGINE_WORK/$1"
}

# Sets _i2_run to the command that runs icinga2 as the service user and
# _i2_defs to the options that give it node NAME's name and paths (as root
# the pki commands would switch to that user anyway, and fail on root's
# folders).
_i2_node_cmd() {
  local name=$1 dir=$ENGINE_WORK/$1
  _i2_run=(setpriv --reuid="$ENGINE_USER" --regid="$ENGINE_USER" --init-groups icinga2)
  _i2_defs=(-DNodeName="$name" -DConfigDir="$dir/etc" -DZonesDir="$dir/etc/zones.d" -DDataDir="$dir/lib"
    -DLogDir="$dir/log" -DCacheDir="$dir/cache" -DSpoolDir="$dir/spool" -DInitRunDir="$dir/run"
    -DRunAsUser="$ENGINE_USER" -DRunAsGroup="$ENGINE_USER")
}

_i2_as_node() {
  local name=$1
  shift
  _i2_node_cmd "$name"
  "${_i2_run[@]}" "$@" "${_i2_defs[@]}"
}

i2_pki_ca() {
  _i2_as_node "$1" pki new-ca > /dev/null
}

# The files go where NAME's ApiListener looks for them: lib/certs/NAME.key,
# NAME.crt and ca.crt.
i2_pki_cert() {
  local ca=$1 name=$2
  local certs=$ENGINE_WORK/$name/lib/certs
  _i2_as_node "$name" pki new-cert --cn "$name" --key "$certs/$name.key" --csr "$certs/$name.csr" > /dev/null
  _i2_as_node "$ca" pki sign-csr --csr "$certs/$name.csr" --cert "$certs/$name.crt" > /dev/null
  install -o "$ENGINE_USER" -g "$ENGINE_USER" -m 644 "$ENGINE_WORK/$ca/lib/ca/ca.crt" "$certs/ca.crt"
}

i2_base_config() {
  local name=$1 accept=${2:-false} port
  local conf=$ENGINE_WORK/$name/etc/icinga2.conf
  port=$(_i2_free_port)
  echo "$port" > "$ENGINE_WORK/$name/api_port"
  # The includes of Debian's icinga2.conf that the CheckCommand needs
  # (plugins-contrib imports templates of plugins).
  (umask 077 && cat > "$conf") << EOF
include "/etc/icinga2/constants.conf"
include <itl>
include <plugins>
include <plugins-contrib>

object CheckerComponent "checker" { }
object ApiListener "api" {
  bind_host = "127.0.0.1"
  bind_port = $port
  accept_config = $accept
}
object ApiUser "engine-test" {
  password = "$_i2_password"
  permissions = [ "*" ]
}
EOF
  chown "$ENGINE_USER:" "$conf"
}

i2_start() {
  local name=$1 dir=$ENGINE_WORK/$1 pid
  _i2_as_node "$name" daemon -C -c "$dir/etc/icinga2.conf" > "$dir/validate.log" 2>&1 ||
    engine_fail "the configuration of $name does not validate: $(grep critical/ "$dir/validate.log" | head -n 5)"
  _i2_node_cmd "$name"
  # Started as the package's service starts it: as root, with root's
  # environment (HOME=/root); the daemon drops to RunAsUser itself. Started
  # straight from this shell, so that $! is the daemon (env execs it); it
  # passes the signal on to its worker process and waits for it.
  env -i HOME=/root USER=root LOGNAME=root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    icinga2 daemon -c "$dir/etc/icinga2.conf" "${_i2_defs[@]}" > "$dir/daemon.log" 2>&1 &
  pid=$!
  engine_on_exit "kill $pid 2>/dev/null; wait $pid 2>/dev/null"
  engine_on_failure "_i2_print_log $name"
  wait_for 60 "answer from the API of $name" _i2_api_up "$name"
  # Every process of the node, the checks' parent included, runs as the
  # service user once the daemon has dropped root.
  local users
  users=$(ps -o user= -p "$pid" --ppid "$pid" | sort -u | tr -d ' ')
  [ "$users" = "$ENGINE_USER" ] || engine_fail "the daemon of $name runs as: $(echo $users)"
}

# The end of the node's log (the daemon writes it to its standard output)
# without the test's own API requests.
_i2_print_log() {
  local log=$ENGINE_WORK/$1/daemon.log
  echo "--- Icinga 2 log of $1 ($log)"
  grep -v 'HttpServerConnection\|ApiListener: New client connection' "$log" | tail -n 60
}

i2_api() {
  local name=$1 method=$2 path=$3 port
  shift 3
  port=$(cat "$ENGINE_WORK/$name/api_port")
  # The node's certificate is checked against the CA for its name.
  curl -sS --fail --max-time 10 --netrc-file "$ENGINE_WORK/netrc" \
    --cacert "$ENGINE_WORK/$name/lib/certs/ca.crt" --resolve "$name:$port:127.0.0.1" \
    -H 'Accept: application/json' -X "$method" "$@" "https://$name:$port$path"
}

_i2_api_up() {
  i2_api "$1" GET /v1/status/IcingaApplication -o /dev/null 2> /dev/null
}

# Succeeds, leaving it in $ENGINE_WORK/result.json, when the last result of
# the service in node NAME's API was taken after TIME (epoch seconds).
_i2_result_after() {
  i2_api "$1" GET "/v1/objects/services/$I2_SERVICE?attrs=last_check_result" |
    jq -c '.results[0].attrs.last_check_result' > "$ENGINE_WORK/result.json" || return 1
  jq -e --argjson t "$2" '. != null and .execution_start >= $t' "$ENGINE_WORK/result.json" > /dev/null
}

# Forces a check of the service through node FORCE and waits for its result
# in the API of node READER.
_i2_check_now() {
  local force=$1 reader=$2 since
  since=$(date +%s.%N)
  i2_api "$force" POST /v1/actions/reschedule-check -o /dev/null \
    --data "{\"type\": \"Service\", \"filter\": \"service.__name == \\\"$I2_SERVICE\\\"\", \"force\": true}"
  wait_for 60 "result of $I2_SERVICE in the API of $reader" _i2_result_after "$reader" "$since"
}

_i2_result() {
  jq -r ".$1" "$ENGINE_WORK/result.json"
}

# The emulated switch and its check, as configuration. Checks run only
# when the test forces them, so each result it reads is the one it asked for.
i2_switch_objects() {  # FILES CREDENTIALS
  local files=$1 credentials=$2
  cat << EOF
object Host "sw1" {
  check_command = "dummy"
  address = "127.0.0.1"
  enable_active_checks = false
}
object Service "configuration" {
  host_name = "sw1"
  check_command = "comvorlix"
  enable_active_checks = false
  max_check_attempts = 1
  vars.comvorlix_params = "$files/sw1.params"
  vars.comvorlix_credentials = "$credentials"
  vars.comvorlix_known_hosts = "$files/known_hosts"
  vars.comvorlix_host_key_policy = "strict"
  vars.comvorlix_timeout = 20
}
EOF
}

# check_ok_then_critical FORCE READER SOURCE SWITCH_DIR PARAMS: forces the
# first check through FORCE: OK, run by the endpoint SOURCE, with
# performance data that Icinga parsed, as READER's API shows. Then renames
# the emulated switch and checks again: CRITICAL with the diff in the long
# output (Icinga keeps the lines after the first in `output`). After each
# the parameter file PARAMS is still the service user's, mode 0600.
check_ok_then_critical() {
  local force=$1 reader=$2 source=$3 switch_dir=$4 params=$5
  _i2_check_now "$force" "$reader"
  [ "$(_i2_result check_source)" = "$source" ] || engine_fail "not checked by $source: $(cat "$ENGINE_WORK/result.json")"
  [ "$(_i2_result state)" = 0 ] || engine_fail "first check: $(cat "$ENGINE_WORK/result.json")"
  _i2_result output | grep -q '^CONFIG OK - Setting initial CRC' || engine_fail "first check: $(_i2_result output)"
  jq -e '.performance_data | type == "array" and length > 0' "$ENGINE_WORK/result.json" > /dev/null ||
    engine_fail "Icinga parsed no performance data: $(cat "$ENGINE_WORK/result.json")"
  assert_params_private "$params"

  switch_set_hostname "$switch_dir" Switch-renamed
  _i2_check_now "$force" "$reader"
  [ "$(_i2_result check_source)" = "$source" ] || engine_fail "not checked by $source: $(cat "$ENGINE_WORK/result.json")"
  [ "$(_i2_result state)" = 2 ] || engine_fail "check after the rename: $(cat "$ENGINE_WORK/result.json")"
  _i2_result output | grep -q '^CONFIG CRITICAL - Configuration changed' ||
    engine_fail "check after the rename: $(_i2_result output)"
  if ! engine_skip_diff; then
    _i2_result output | grep -qx '+ hostname Switch-renamed' ||
      engine_fail "the long output does not show the new hostname: $(_i2_result output)"
  fi
  assert_params_private "$params"
}
