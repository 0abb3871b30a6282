#!/usr/bin/env python3
"""Writes the example S-record files in examples/, one per CPU.

Each image looks like a small real program: the reset vectors at P:0000-0003 (which the
programmer stores into the boot flash image), code in program flash that crosses page
boundaries, a boot loader in the boot flash, constants in data flash (written at their
data-space address plus 0x200000) and, on the DSP56F807, a block in the second program flash.
The words are pseudo-random but fixed, so the files never change unless this script does.

Usage: scripts/make-examples.py [output-folder]
"""
import os
import sys

DATA_OFFSET = 0x200000

# (name, [(address, word count)], boot flash start, data flash start, program flash 2)
CPUS = {
    "dsp56f801": dict(pflash=[(0x0004, 0x2F0), (0x1C80, 0x100)], bflash=(0x8000, 0x120),
                      dflash=(0x1000, 0x90), p2flash=None),
    "dsp56f803": dict(pflash=[(0x0004, 0x4F0), (0x7A00, 0x180)], bflash=(0x8000, 0x200),
                      dflash=(0x1000, 0x140), p2flash=None),
    "dsp56f805": dict(pflash=[(0x0004, 0x6F0), (0x7C00, 0x180)], bflash=(0x8000, 0x300),
                      dflash=(0x1000, 0x1C0), p2flash=None),
    "dsp56f807": dict(pflash=[(0x0004, 0x8F0), (0x7E00, 0x180)], bflash=(0xF800, 0x400),
                      dflash=(0x2000, 0x240), p2flash=(0x8000, 0x3A0)),
}

WORDS_PER_RECORD = 16


def words(seed, count):
    """A fixed pseudo-random word sequence (a small linear congruential generator)."""
    state = seed & 0xFFFFFFFF
    for _ in range(count):
        state = (1103515245 * state + 12345) & 0xFFFFFFFF
        yield (state >> 8) & 0xFFFF


def s3(address, data_words):
    data = b"".join(w.to_bytes(2, "little") for w in data_words)
    body = bytes([len(data) + 5]) + address.to_bytes(4, "big") + data
    checksum = (~sum(body)) & 0xFF
    return "S3" + body.hex().upper() + f"{checksum:02X}"


def block(address, count, seed):
    lines = []
    values = list(words(seed, count))
    for i in range(0, count, WORDS_PER_RECORD):
        lines.append(s3(address + i, values[i:i + WORDS_PER_RECORD]))
    return lines


def image(name, layout):
    header = name.upper().encode() + b" example"
    body = bytes([len(header) + 3]) + b"\x00\x00" + header
    lines = ["S0" + body.hex().upper() + f"{(~sum(body)) & 0xFF:02X}"]
    seed = sum(name.encode())
    # Reset vector: JMP to the boot loader, then the COP vector.
    boot = layout["bflash"][0]
    lines.append(s3(0x0000, [0xE984, boot, 0xE984, boot + 2]))
    for address, count in layout["pflash"]:
        lines += block(address, count, seed + address)
    if layout["p2flash"]:
        lines += block(*layout["p2flash"], seed + 2)
    lines += block(layout["bflash"][0] + 4, layout["bflash"][1], seed + 3)
    data_start, data_count = layout["dflash"]
    lines += block(DATA_OFFSET + data_start, data_count, seed + 4)
    lines.append("S70500000000FA")
    return "\n".join(lines) + "\n"


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "examples")
    os.makedirs(out, exist_ok=True)
    for name, layout in CPUS.items():
        with open(os.path.join(out, name + ".s"), "w", newline="\n") as f:
            f.write(image(name, layout))


if __name__ == "__main__":
    main()
