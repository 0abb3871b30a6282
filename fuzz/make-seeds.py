#!/usr/bin/env python3
"""Writes the seed inputs of the fuzzers into fuzz/seeds/.

srecord_fuzzer: a few records each, small so the fuzzer spends its time on variations rather
than on long files: one S3 record per region, data-space words, a bad checksum, a short
record, other record types.

sim_pod_fuzzer: host byte streams cut at 0xFF, where the byte after each cut picks an action
(0 reads a byte); a whole Target Write && Verify and a POD Write then POD Verify of a few
words, as the host sends them.
host_fuzzer: a command byte, an image and selection byte, then the pod's decisions; a
well-behaved pod for every command, and a few single faults.
host_sim_fuzzer: a command byte, an image and selection byte, a start byte (bit 0: the pod
already holds the image, bit 1: with one word changed), then three bytes per fault (kind,
command letter, occurrence); a clean run of every command and one of each fault kind.
Inputs a fuzzer once stopped
on are kept in the same folders beside these (not written by this script).
"""
import os

STX, ETX = b"\x02", b"\x03"
READ = b"\xff\x00"


def frame(body):
    return STX + body.encode() + ETX


def command(body):
    return frame(body) + READ


def target_write():
    words = [0x1234, 0xABCD, 0x0F0F, 0xFFFF, 0x0000]
    checksum = sum(words) & 0xFFFF
    out = command("I") + command("G1") + command("M3F000") + command("X040000F000")
    out += frame("S") + b"\xff\x02" + b"".join(frame(f"T{w:04X}") for w in words) + b"\xff\x02"
    out += command(f"W050004{len(words):04X}F000{checksum:04X}0400") + command("P0004")
    out += command("R")
    return out


def pod_store():
    words = [0x1111, 0x2222, 0x3333]
    out = command("I") + frame("K") + b"\xff\x02" + frame("S") + b"\xff\x02"
    out += b"".join(frame(f"T{w:04X}") for w in words) + b"\xff\x02"
    out += command(f"N00000{len(words):04X}") + frame("S") + b"\xff\x02"
    out += command(f"Y0000400060003") + command("Y100000000000") + command("Y200000000000")
    out += command("Y300000000000") + command("Z31")
    out += frame("O") + b"\xff\x01" + frame("K") + b"\xff\x02" + frame("S") + b"\xff\x02"
    out += b"".join(frame(f"T{w:04X}") for w in words) + b"\xff\x02"
    out += command(f"Q00000{len(words):04X}") + frame("L")
    return out


def babble():
    return frame("S") + frame("T12") + frame("T1234") + b"\x02\x02W\x03garbage" + frame("P12345")


def s3(address, words):
    body = bytes([len(words) * 2 + 5]) + address.to_bytes(4, "big")
    body += b"".join(w.to_bytes(2, "little") for w in words)
    return "S3" + body.hex().upper() + "%02X" % (~sum(body) & 0xFF) + "\n"


def srecords():
    return {
        "pflash": s3(0x0004, [0x1234, 0xABCD]),
        "bflash": "S0030000FC\n" + s3(0xF800, [0x0F0F, 0xF0F0, 0x5555]),
        "dflash": s3(0x200000 + 0x2000, [0x0001, 0x0002]) + "S70500000000FA\n",
        "two-pages": s3(0x00FE, [1, 2, 3, 4]) + s3(0x0200, [5]),
        "bad-checksum": s3(0x0010, [0x1111])[:-3] + "00\n",
        "short": "S30900000100\n",
        "s1-beside-s3": "S1050010ABCD72\n" + s3(0x0010, [0x1111]),
        "past-the-last-address": s3(0xFFFFFFFE, [1, 2, 3, 4]),
        "text-and-intel-hex": "made by hand\n:10010000214601360121470136007EFE09D2190140\n"
                              + s3(0x0010, [0x1111]).rstrip() + " ; note\n",
        "after-the-checksum": s3(0x0010, [0x1111]).rstrip() + "ABCD\n",
        "after-the-end": s3(0x0010, [1]) + "S9030000FC\n" + s3(0x0020, [2]),
        "odd-data-byte": "S308000000303412562B\n",
        "written-again": s3(0x0010, [2]) + s3(0x0010, [3]) + s3(0x0010, [4]),
    }


def main():
    top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "seeds")
    records = os.path.join(top, "srecord_fuzzer")
    os.makedirs(records, exist_ok=True)
    for name, text in srecords().items():
        with open(os.path.join(records, name + ".s"), "w") as f:
            f.write(text)
    strict = os.path.join(top, "host_sim_fuzzer")
    os.makedirs(strict, exist_ok=True)
    for cmd in range(6):
        for start in (0, 1, 3):
            with open(os.path.join(strict, f"clean-{cmd}-{start}"), "wb") as f:
                f.write(bytes([cmd | 0x40, 0xF0 | cmd, start]))
    # Faults: kind 0 silence, 1 wrong byte, 2 late, 3 twice, 4 stray, 5 cut, 6 objection,
    # 7 unplug; the letter is an index into "IRGMXWPVNQYZO".
    for kind in range(8):
        with open(os.path.join(strict, f"fault-{kind}"), "wb") as f:
            f.write(bytes([1 | 0x40, 0xF1, 0, kind, 4, 1]))
    sim = os.path.join(top, "sim_pod_fuzzer")
    host = os.path.join(top, "host_fuzzer")
    os.makedirs(sim, exist_ok=True)
    os.makedirs(host, exist_ok=True)
    for name, data in (("target-write", target_write()), ("pod-store", pod_store()),
                       ("babble", babble())):
        with open(os.path.join(sim, name), "wb") as f:
            f.write(data)
    # First byte: command 0-5 (+0x40 erase all boot flash, +0x80 reset after write);
    # second: image 0-5, selection bits 4-7; then the pod's decisions (0xFF: write goes out).
    for cmd in range(6):
        for image in range(6):
            with open(os.path.join(host, f"good-{cmd}-{image}"), "wb") as f:
                f.write(bytes([cmd | 0x40, 0xF0 | image, 0xFF]))
    faults = {
        "silent-identify": bytes([0, 0xF0, 0xFF, 0xFF, 200]),
        "objection": bytes([1, 0xF0, 0xFF] + [0xFF, 0] * 8 + [0xFF, 230]),
        "late-erase": bytes([0, 0xF0, 0xFF] + [0xFF, 0] * 3 + [0xFF, 235, 250]),
        "babbling-info": bytes([5, 0xF1, 0xFF, 0xFF, 0, 0xFF, 220, 5, 1, 2, 3, 4, 5]),
        "stuck-transmit": bytes([4, 0xF2, 0xFF, 0xFF, 0, 3]),
    }
    for name, data in faults.items():
        with open(os.path.join(host, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
