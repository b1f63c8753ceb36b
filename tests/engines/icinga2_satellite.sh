#!/usr/bin/env bash
# Icinga 2 with a master and one satellite zone: two daemons on loopback,
# each with its own folders, configuration, API port and certificate (the
# CA is the master's). The switch's Host and Service are defined on the
# master in zones.d/satellite and reach the satellite by config sync; the
# satellite runs the check with the parameter file of its own folder, and
# the master's API shows each result with the satellite as its source: OK
# with performance data first, CRITICAL with the diff in the long output
# after the emulated switch's hostname changed.
set -euo pipefail
# shellcheck source=tests/engines/lib.sh
source "$(dirname "$0")/lib.sh"
# shellcheck source=tests/engines/icinga2_lib.sh
source "$(dirname "$0")/icinga2_lib.sh"

i2_setup
switch_start "$ENGINE_WORK/switch"
i2_node master
i2_node satellite
# The switch's files exist on the satellite only: a check run on the master
# would end UNKNOWN.
files=$ENGINE_WORK/satellite/comvorlix
mkdir "$files"
switch_known_hosts "$files/known_hosts" "$SWITCH_PORT"
mkdir "$ENGINE_WORK/etc"
switch_credentials "$ENGINE_WORK/etc/fleet.credentials" "$ENGINE_WORK/switch"
switch_params "$files/sw1.params" "$ENGINE_WORK/switch" "$SWITCH_PORT"

i2_pki_ca master
i2_pki_cert master master
i2_pki_cert master satellite
i2_base_config master
i2_base_config satellite true

# The same zones on both nodes; the satellite connects to the master.
for node in master satellite; do
  master_address=""
  [ "$node" = satellite ] && master_address="host = \"127.0.0.1\"; port = $(cat "$ENGINE_WORK/master/api_port")"
  cat >> "$ENGINE_WORK/$node/etc/icinga2.conf" << EOF
object Endpoint "master" { $master_address }
object Endpoint "satellite" { }
object Zone "master" { endpoints = [ "master" ] }
object Zone "satellite" { endpoints = [ "satellite" ]; parent = "master" }
EOF
done

mkdir "$ENGINE_WORK/master/etc/zones.d/satellite"
i2_switch_objects "$files" "$ENGINE_WORK/etc/fleet.credentials" > "$ENGINE_WORK/master/etc/zones.d/satellite/switches.conf"
chown -R "$ENGINE_USER:" "$ENGINE_WORK/master/etc"

i2_start master
i2_start satellite

# The satellite restarts once it has the zone's configuration; results
# reach the master over the connection of the new process, the one that
# knows the service.
synced() {
  i2_api satellite GET "/v1/objects/services/$I2_SERVICE" -o /dev/null 2> /dev/null &&
    i2_api satellite GET /v1/objects/endpoints/master?attrs=connected 2> /dev/null |
    jq -e '.results[0].attrs.connected' > /dev/null
}
wait_for 60 "service synced to the satellite, connected to the master" synced

# Forced on the satellite, the node that runs the check, and read on the
# master. A satellite takes next-check times from its parent only from a
# minute after its start (earlier ones could be replays), and this one has
# just restarted.
check_ok_then_critical satellite master satellite "$ENGINE_WORK/switch" "$files/sw1.params"
echo "icinga2 satellite: checked on the satellite, OK then CRITICAL in the master's API; parameter file nagios's, 0600"
