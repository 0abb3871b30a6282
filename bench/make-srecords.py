#!/usr/bin/env python3
"""Writes a large S-record file for the reading benchmarks.

One pass is a full DSP56F807 image: every word of PFLASH from 0x0004, P2FLASH, BFLASH and
DFLASH (at its data-space address plus 0x200000), 71,676 words in S3 records of 16 words,
each record with its byte count and a correct checksum. The pass is repeated, unchanged,
until the file reaches the requested size, so a reader stores every word many times and
the last pass decides the image (the same image as the first).

Addresses are word addresses, as the programmer reads them: a record of 16 words at A is
followed by the record at A + 16.

Usage: bench/make-srecords.py OUTPUT SIZE_MB
"""
import sys

DATA_OFFSET = 0x200000
WORDS_PER_RECORD = 16

# (first address, last address) in file addresses.
REGIONS = [
    (0x0004, 0x7FFF),                                # PFLASH, without the four vector words
    (0x8000, 0xEFFF),                                # P2FLASH
    (0xF800, 0xFFFF),                                # BFLASH
    (DATA_OFFSET + 0x2000, DATA_OFFSET + 0x3FFF),    # DFLASH
]


def word_at(address):
    """A fixed, address-derived word, so every pass carries the same image."""
    x = (address * 2654435761) & 0xFFFFFFFF
    return (x >> 11) & 0xFFFF


def record(kind, address, address_bytes, data):
    body = bytes((address_bytes + len(data) + 1,)) + address.to_bytes(address_bytes, "big") + data
    checksum = (~sum(body)) & 0xFF
    return f"S{kind}" + body.hex().upper() + f"{checksum:02X}\n"


def s3(address, words):
    data = bytearray()
    for w in words:
        data += bytes((w & 0xFF, w >> 8))  # low byte first, as the programmer reads words
    return record(3, address, 4, data)


def one_pass():
    lines = []
    for first, last in REGIONS:
        address = first
        while address <= last:
            count = min(WORDS_PER_RECORD, last - address + 1)
            lines.append(s3(address, [word_at(address + i) for i in range(count)]))
            address += count
    return "".join(lines).encode("ascii")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    path, size_mb = sys.argv[1], float(sys.argv[2])
    target = int(size_mb * 1024 * 1024)
    chunk = one_pass()
    written = 0
    with open(path, "wb") as out:
        out.write(record(0, 0, 2, b"bench-image").encode("ascii"))
        while written < target:
            out.write(chunk)
            written += len(chunk)
        out.write(record(7, 0, 4, b"").encode("ascii"))
    passes = written // len(chunk)
    print(f"{path}: {written} bytes, {passes} passes of {len(chunk)} bytes")


if __name__ == "__main__":
    main()
