#!/usr/bin/env bash
# Icinga 2 runs the installed check: one daemon as nagios with a private
# configuration that finds the CheckCommand "comvorlix" through
# `include <plugins-contrib>`, its checks forced and read through the REST
# API. The first check is OK with performance data that Icinga parsed; after
# the emulated switch's hostname changed it is CRITICAL, with the diff in
# the long output. The parameter file stays nagios's, mode 0600.
set -euo pipefail
# shellcheck source=tests/engines/lib.sh
source "$(dirname "$0")/lib.sh"
# shellcheck source=tests/engines/icinga2_lib.sh
source "$(dirname "$0")/icinga2_lib.sh"

i2_setup
switch_start "$ENGINE_WORK/switch"
i2_node icinga
files=$ENGINE_WORK/icinga/comvorlix
mkdir "$files"
switch_known_hosts "$files/known_hosts" "$SWITCH_PORT"
mkdir "$ENGINE_WORK/etc"
switch_credentials "$ENGINE_WORK/etc/fleet.credentials" "$ENGINE_WORK/switch"
switch_params "$files/sw1.params" "$ENGINE_WORK/switch" "$SWITCH_PORT"

i2_pki_ca icinga
i2_pki_cert icinga icinga
i2_base_config icinga
cat >> "$ENGINE_WORK/icinga/etc/icinga2.conf" << EOF
object Endpoint NodeName { }
object Zone "master" { endpoints = [ NodeName ] }

EOF
i2_switch_objects "$files" "$ENGINE_WORK/etc/fleet.credentials" >> "$ENGINE_WORK/icinga/etc/icinga2.conf"
i2_start icinga

check_ok_then_critical icinga icinga icinga "$ENGINE_WORK/switch" "$files/sw1.params"
echo "icinga2: OK with performance data, then CRITICAL with the new hostname; parameter file nagios's, 0600"
