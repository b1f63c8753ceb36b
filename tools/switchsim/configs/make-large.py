#!/usr/bin/env python3
"""Writes cisco-large.cfg: the running configuration of a large Cisco
access stack (9 members x 48 ports, 1000 VLANs, long access lists), more
than 20 000 lines, for testing listings that span many reads and pages.

The output is deterministic: running the script again gives the same file.
Usage: make-large.py [OUTPUT]   (default: cisco-large.cfg next to the script)
"""

import os
import sys


def build():
    out = [
        "!",
        "! Last configuration change at 11:05:12 CET Wed Feb 12 2025 by netops",
        "! NVRAM config last updated at 11:05:20 CET Wed Feb 12 2025 by netops",
        "!",
        "version 17.9",
        "service timestamps debug datetime msec localtime show-timezone",
        "service timestamps log datetime msec localtime show-timezone",
        "service password-encryption",
        "no platform punt-keepalive disable-kernel-core",
        "!",
        "hostname Switch",
        "!",
        "logging buffered 128000 informational",
        "enable secret 9 $9$Xc3vB6nM9qW2eR$tY5uI8oP1aS4dF7gH0jK3lZ6xC9vB2nM5qW8eR1tY4u",
        "!",
        "aaa new-model",
        "aaa authentication login default local",
        "aaa authorization exec default local",
        "aaa session-id common",
        "clock timezone CET 1 0",
        "clock summer-time CEST recurring last Sun Mar 2:00 last Sun Oct 3:00",
    ]
    for member in range(1, 10):
        out.append(f"switch {member} provision c9300-48p")
    out += ["!", "ip routing", "!", "no ip domain lookup", "ip domain name example.net", "!",
            "spanning-tree mode rapid-pvst", "spanning-tree extend system-id", "!",
            "username netops privilege 15 secret 9 $9$Qw8eR5tY2uI9oP$aS6dF3gH0jK7lZ4xC1vB8nM5qW2eR9tY6uI3oP0aS7d",
            "!", "redundancy", " mode sso", "!"]
    for vlan in range(100, 1100):
        out += [f"vlan {vlan}", f" name SEG-{vlan:04d}-FLOOR{(vlan % 12) + 1:02d}", "!"]
    for member in range(1, 10):
        for port in range(1, 49):
            vlan = 100 + (member * 48 + port) % 1000
            out.append(f"interface GigabitEthernet{member}/0/{port}")
            out.append(f" description Stack {member} port {port:02d} patch {member}{port:03d}")
            out.append(f" switchport access vlan {vlan}")
            out.append(" switchport mode access")
            out.append(" switchport voice vlan 20")
            out.append(" spanning-tree portfast")
            out.append(" spanning-tree bpduguard enable")
            out.append("!")
        for port in range(1, 9):
            out.append(f"interface TenGigabitEthernet{member}/1/{port}")
            if port <= 2:
                out.append(f" description Uplink member {member} to core-sw0{port}")
                out.append(" switchport mode trunk")
            else:
                out.append(" shutdown")
            out.append("!")
    for vlan in range(100, 1100, 10):
        third = vlan // 256
        fourth = vlan % 256
        out += [f"interface Vlan{vlan}", f" description Gateway SEG-{vlan:04d}",
                f" ip address 10.{100 + third}.{fourth}.1 255.255.255.0",
                " ip helper-address 10.99.0.10", "!"]
    out.append("ip access-list extended SEGMENT-FILTER")
    sequence = 10
    for vlan in range(100, 1100):
        third = vlan // 256
        fourth = vlan % 256
        out.append(f" {sequence} permit tcp 10.{100 + third}.{fourth}.0 0.0.0.255 host 10.99.0.20 eq 443")
        sequence += 10
        out.append(f" {sequence} permit udp 10.{100 + third}.{fourth}.0 0.0.0.255 host 10.99.0.53 eq domain")
        sequence += 10
    out.append(f" {sequence} deny   ip any any log")
    out.append("!")
    out.append("ip access-list extended GUEST-ISOLATION")
    sequence = 10
    for host in range(1, 12001):
        out.append(f" {sequence} deny   ip host 10.200.{host // 250}.{host % 250 + 1} 10.0.0.0 0.255.255.255")
        sequence += 10
    out += [f" {sequence} permit ip any any", "!"]
    out += ["ip ssh version 2", "!", "line con 0", " exec-timeout 15 0", "line vty 0 15",
            " exec-timeout 15 0", " transport input ssh", "!", "ntp server 10.99.0.5", "!", "end"]
    return out


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "cisco-large.cfg")
    lines = build()
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    print(f"{path}: {len(lines)} lines")


if __name__ == "__main__":
    main()
