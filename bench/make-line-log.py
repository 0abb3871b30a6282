#!/usr/bin/env python3
"""Writes a production line's JSON Lines log as vantix-cli --log writes it, for the report's
benchmark: RECORDS records from STATIONS stations, each with its own pod, one board a record
about every 12 seconds a station; one board in ten fails its first write-verify
("PFLASH Verify Error" or "Fail to initialize USB Programmer") and is programmed again, one
in a hundred is interrupted, and every board takes the next serial number.

Usage: bench/make-line-log.py OUT RECORDS [STATIONS]
"""
import json
import random
import sys

REGIONS = [
    {"name": "PFLASH", "start": 4, "end": 32639, "words": 32636, "crc32": "899af126"},
    {"name": "P2FLASH", "start": 32768, "end": 33695, "words": 928, "crc32": "b7c1a312"},
    {"name": "BFLASH", "start": 63488, "end": 64515, "words": 1028, "crc32": "63b5468e"},
    {"name": "DFLASH", "start": 8192, "end": 8767, "words": 576, "crc32": "e2e0b125"},
]
SHA256 = "68f6a56e63950078e6e72b9e6d84b13b2b0555255aebc7fc818507c68c64bda9"
START = 1796630400  # 2026-12-07T08:00:00Z


def record(when, station, board, serial, outcome, seconds):
    status, code = {
        "pass": ("Flash Write && Verify Completed - %.2f sec" % seconds, 0),
        "verify": ("PFLASH Verify Error", 1),
        "usb": ("Fail to initialize USB Programmer", 3),
        "interrupted": ("interrupted", 130),
    }[outcome]
    return {
        "time": "%04d-%02d-%02dT%02d:%02d:%02dZ" % time_parts(when), "host": "station-%d" % station,
        "command": "write-verify", "file": "/srv/line/release-7.s", "sha256": SHA256,
        "warnings": 0, "cpu": "DSP56F807", "regions": REGIONS, "pod": "FT4A%04X" % (0x1B2C + station),
        "board": "B%07d" % board, "serial": serial, "serial_at": "PFLASH:0x7FF0",
        "result": 0 if code == 0 else None if outcome != "verify" else 2,
        "status": status, "seconds": round(seconds, 3), "exit": code,
    }


def time_parts(when):
    import time
    t = time.gmtime(when)
    return t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec


def main():
    out, count = sys.argv[1], int(sys.argv[2])
    stations = int(sys.argv[3]) if len(sys.argv) > 3 else 4
    rng = random.Random(7)
    clocks = [START] * stations
    serial = 1000
    board = 0
    written = 0
    with open(out, "w") as f:
        while written < count:
            station = written % stations
            board += 1
            tries = ["pass"]
            roll = rng.random()
            if roll < 0.1:
                tries = [rng.choice(["verify", "verify", "usb"]), "pass"]
            elif roll < 0.11:
                tries = ["interrupted", "pass"]
            for outcome in tries:
                if written == count:
                    break
                seconds = rng.gauss(7.8, 0.4) if outcome != "usb" else rng.uniform(0.05, 0.2)
                clocks[station] += int(seconds) + rng.randint(3, 6)
                f.write(json.dumps(record(clocks[station], station + 1, board, serial, outcome,
                                          max(seconds, 0.01)), separators=(",", ":")) + "\n")
                serial += 1
                written += 1


if __name__ == "__main__":
    main()
