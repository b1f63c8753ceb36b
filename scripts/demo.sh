#!/usr/bin/env bash
# Sets everything up, starts the switch emulator on loopback with a sample
# Cisco configuration, writes a parameter file for it and runs three checks:
# the initial checksum, unchanged, and changed after the emulated switch's
# configuration was edited. Then stops the emulator. Installs and builds
# only these two programs (into build-demo/); scripts/test.sh sets up the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --demo
scripts/build.sh --demo

comvorlix=build-demo/src/comvorlix
switchsim=build-demo/tools/switchsim/switchsim
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

cp tools/switchsim/configs/cisco-running.cfg "$work/running.cfg"
printf 'demo-password\n' > "$work/password"
printf 'demo-enable\n' > "$work/enable"
chmod 600 "$work/password" "$work/enable"

# A random free port for the emulator (another is tried when one is taken).
for attempt in 1 2 3 4 5 6 7 8 9 10; do
  port=$((20000 + RANDOM % 12000))
  "$switchsim" --port "$port" --device cisco --running "$work/running.cfg" --user admin \
      --password-file "$work/password" --enable-password-file "$work/enable" \
      --host-key tools/switchsim/keys/test_host_ed25519 > "$work/switchsim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do grep -q listening "$work/switchsim.out" && break; kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
  grep -q listening "$work/switchsim.out" && break
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
done
[ -n "$sim_pid" ] || { echo "switchsim did not start"; cat "$work/switchsim.out"; exit 1; }
echo "== $(cat "$work/switchsim.out")"

params="$work/switch1.params"
"$comvorlix" configure --params "$params" --no-gui --user admin --password-file "$work/password" \
    --enable-password-file "$work/enable" --port "$port" --device CSCSW --configuration RUN
echo "== parameter file: $(cat "$params")"

run_check() {
  echo "== $1"
  # A known hosts file of the demo's own: the fixed test key never reaches ~/.ssh.
  echo "\$ comvorlix check --host 127.0.0.1 --params $params --known-hosts $work/known_hosts"
  set +e
  "$comvorlix" check --host 127.0.0.1 --params "$params" --known-hosts "$work/known_hosts"
  echo "(exit status $?)"
  set -e
}
run_check "first check: the checksum is remembered"
run_check "second check: nothing changed"
sed -i 's/^hostname .*/hostname core-sw01-renamed/' "$work/running.cfg"
echo "== the switch's hostname was changed"
run_check "third check: the change is reported"
