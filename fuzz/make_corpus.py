#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets to fuzz/corpus/<target>/.

The seeds are small valid inputs in each target's input format (see the
comment at the top of each *_fuzz.cpp), so that fuzzing starts from the
shapes real use produces. Run from anywhere; existing seeds of the same
name are overwritten, other files in the folders are left alone.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK_DATA = os.path.join(HERE, "..", "tests", "check", "data")


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def parameter_string():
    full = ("#ENC=T#USR=admin#PWD=E4BDD313B5141D72DB413C57BDD5F80B54F4D6541ED4A0D3CE1CC9F4F51F9818"
            "#PROTO=A#PORT=22#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#UCF=F#DBG=F#DBF=#")
    seeds = {
        "full-new-key": [full, "CRC", "3735928559", "DEV"],
        "full-replace": [full, "cfg", "COMPARE", "usr"],
        "blanks-in-key": [full, " port ", "2222", "PROTO"],
        "value-with-equals": ["#A=1#B=x=y#", "B", "p=q", "A"],
        "key-with-hash": ["#A#B=1#C=2#", "A#B", "3", "C"],
        "repeated-key": ["#K=first#K=second#", "k", "third", "K"],
        "leading-text": ["junk#K=v", "K", "w", "junk"],
        "empty": ["", "", "", ""],
        "latin1-case": ["#CLÉ=été#", "clé", "hiver", "CLE"],
        "empty-key": ["#=a#X=b#", "", "c", "X"],
    }
    for name, fields in seeds.items():
        write("parameter_string", name, "\n".join(fields))


def base64():
    seeds = {
        "empty": "", "one": "QQ==", "two": "QUI=", "three": "QUJD", "pad-only": "=", "short": "A",
        "short-two": "AB", "pad-inside": "QQ=x", "hello": "SGVsbG8sIFdvcmxkIQ==",
        "foreign": "@@@@", "pad-second-group": "QUJD=AAA", "line-break": "QUJD\nQUJD",
        "latin1": "6eDn", "padded-many": "QUI=QUI=QQ==",
    }
    for name, text in seeds.items():
        write("base64", name, text)
    write("base64", "bytes", bytes(range(256)))


def envelope(length, payload, key=b"key"):
    plain = struct.pack("<i", length) + payload
    return b"2" + bytes([len(key)]) + key + plain


def secret_field():
    write("secret_field", "stored-secret", "0E4BDD313B5141D72DB413C57BDD5F80B54F4D6541ED4A0D3CE1CC9F4F51F9818")
    write("secret_field", "stored-lower",
          "0441d6f1ece8a4c93cc943264d33fdd58da64a7ee706eeb3bb3bbf8eba5bf6275")
    write("secret_field", "stored-base64", "4c2VjcmV0")
    write("secret_field", "base64-invalid", "0=")
    write("secret_field", "hex-odd", "0ABC")
    write("secret_field", "round-trip", "1Pässwörd €")
    write("secret_field", "round-trip-long", "1" + "x" * 40)
    write("secret_field", "envelope-ok", envelope(12, "secret".encode("utf-16-le")))
    write("secret_field", "envelope-odd", envelope(3, b"abc"))
    write("secret_field", "envelope-too-long", envelope(29, b"x" * 27))
    write("secret_field", "envelope-exact", envelope(28, b"y" * 28))
    write("secret_field", "envelope-negative", envelope(-1, b"z" * 10))
    write("secret_field", "envelope-two-blocks", envelope(40, b"w" * 40, key=b"0123456789abcdefXYZ"))
    write("secret_field", "decrypt-anything", "3key\n" + "00" * 32)


def output_adaptation():
    shape = "show running-config|Building|end"
    sessions = {
        "cisco-run": ("CSCSW", "RUN", "cisco-run.session"),
        "cisco-start": ("CSCSW", "START", "cisco-start.session"),
        "cisco-dropped": ("CSCSW", "RUN", "cisco-dropped.session"),
        "cisco-no-echo": ("CSCSW", "RUN", "cisco-no-echo.session"),
        "aruba-run": ("ARUSW", "RUN", "aruba-run.session"),
        "aruba-operator": ("ARUSW", "RUN", "aruba-operator.session"),
        "hp1920-run": ("HP1920SW", "RUN", "hp1920-run.session"),
        "hp2510-other": ("HP2510SW", "OTHER", "hp1920-run.session"),
        "unknown-device": ("XYZ", "RUN", "cisco-run.session"),
    }
    for name, (device, configuration, session) in sessions.items():
        with open(os.path.join(CHECK_DATA, session), "rb") as f:
            output = f.read()
        header = f"{device}\n{configuration}\n\n{shape}\n".encode()
        write("output_adaptation", name, header + output)
    # Found by fuzzing: a NUL in an error's quoted text cut its description.
    write("output_adaptation", "regression-nul-device", b"\0\0\0\x04")
    write("output_adaptation", "regression-nul-last-line", b"CSCSW\nRUN\n\n|\nSwitch>\0\r\n")
    write("output_adaptation", "cisco-fault",
          b"CSCSW\nRUN\ntime-out\n|\n" + open(os.path.join(CHECK_DATA, "cisco-run.session"), "rb").read())

    cisco_compare = ("Switch#show startup-config\r\nUsing 120 out of 524288 bytes\r\n!\r\nversion 17.9\r\n"
                     "hostname Switch\r\n!\r\nend\r\n\r\nSwitch#show running-config\r\nBuilding configuration...\r\n"
                     "\r\nCurrent configuration : 90 bytes\r\n!\r\nversion 17.9\r\nhostname Switch\r\n!\r\nend\r\n"
                     "\r\nSwitch#exit\r\n")
    write("output_adaptation", "cisco-compare", "CSCSW\nCOMPARE\n\n|\n" + cisco_compare)
    aruba_compare = ("HP-2530# show config\r\n\r\nStartup configuration:\r\n\r\nhostname \"A\"\r\n\r\n"
                     "HP-2530# show running\r\n\r\nRunning configuration:\r\n\r\nhostname \"A\"\r\n\r\n"
                     "HP-2530# exit\r\n")
    write("output_adaptation", "aruba-compare", "ARUSW\nCOMPARE\n\n|\n" + aruba_compare)
    hp_compare = ("<HP>display saved-configuration \r\n#\r\n sysname HP\r\n#\r\nreturn\r\n"
                  "<HP>display current-configuration \r\n#\r\n sysname HP\r\n#\r\nreturn\r\n<HP>quit\r\n")
    write("output_adaptation", "hp1920-compare", "HP1920SW\nCOMPARE\n\n|\n" + hp_compare)
    write("output_adaptation", "hp2510-start", "HP2510SW\nSTART\n\n|\n" + hp_compare)


# Dialog engine programs.
def state(s):
    return bytes([0, s & 0xFF])


def receive(text):
    data = text.encode("utf-8") if isinstance(text, str) else text
    out = b""
    while data:
        piece, data = data[:255], data[255:]
        out += bytes([1, len(piece)]) + piece
    return out


def announce(text, announced):
    data = text.encode("utf-8")[:255]
    return bytes([2, len(data), announced & 0xFF]) + data


def repeat(text, times):
    data = text.encode("utf-8")[:255]
    return bytes([3, len(data), times]) + data


def settings(device, configuration, timeout):
    return bytes([6, device, configuration, timeout & 0xFF])


def conversation():
    cisco = (settings(0, 0, 5) + state(1) + state(3) + receive("\r\nUser Access Verification\r\n\r\nSwitch>")
             + receive("en\r\nPassword: \r\nSwitch#terminal length 0 \r\nSwitch#show running-config\r\n")
             + receive("Building configuration...\r\n\r\nCurrent configuration : 210 bytes\r\n!\r\nend\r\n")
             + receive("\r\nSwitch#exit\r\n") + bytes([5, 2]) + receive("Switch#exit\r\n") + state(4))
    write("conversation", "cisco-run", cisco)
    write("conversation", "cisco-compare",
          settings(0, 2, 5) + state(3) + receive("Switch>") + receive("show startup-config\r\n" + "!\r\n" * 20)
          + receive("Switch#show running-config\r\n" + "x\r\n" * 30) + bytes([5, 10]) + receive("exit") + state(4))
    write("conversation", "aruba-start",
          settings(1, 1, 3) + state(3) + receive("Press any key to continue\r\n") + receive("HP# show config\r\n" * 3)
          + receive("Startup configuration:\r\n" * 4) + bytes([5, 4]) + receive("Do you want to log out [y/n]?"))
    write("conversation", "hp1920-run",
          settings(2, 0, 0) + state(3) + receive("<HP 1920G Switch>") + receive("_cmdline-mode on\r\n" * 4)
          + repeat("#\r\n sysname HP1920\r\n", 10) + bytes([5, 31]) + receive("<HP 1920G Switch>quit\r\n"))
    write("conversation", "hp2510-other",
          settings(3, 3, -1) + state(3) + receive("<HP>" * 20) + receive("return\r\n<HP>") + state(2))
    write("conversation", "other-device",
          settings(4, 0, 5) + state(3) + receive("prompt> " * 10) + receive("more") + bytes([4]) + state(3)
          + receive("again"))
    write("conversation", "failures",
          settings(0, 0, 5) + bytes([7, 1, 0]) + state(3) + receive("Switch>") + bytes([7, 2, 0]) + receive("x")
          + receive("Switch>") + announce("negative", -5))
    write("conversation", "capture-limit",
          settings(0, 0, 5) + state(3) + receive("Switch>") + bytes([7, 4, 10]) + receive("x" * 40)
          + receive("more") + bytes([4]) + receive("after a new start"))
    write("conversation", "not-established",
          settings(0, 0, 5) + receive("banner before the shell") + state(2) + receive("still not") + state(3)
          + receive("now"))


def main():
    parameter_string()
    base64()
    secret_field()
    output_adaptation()
    conversation()


if __name__ == "__main__":
    main()
