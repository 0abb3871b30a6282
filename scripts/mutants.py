#!/usr/bin/env python3
"""Plants small host faults in pod/ and image/, one at a time, and runs the suite on each.

Every planted fault must make at least one test fail (a test that hangs past the per-test
time-out fails too). The work happens on a copy of the tree in BUILD/src, so the sources you
edit are never touched, whatever happens to this script. Each fault is a text substitution
that must match exactly once; a pattern that no longer matches stops the script, so a
refactoring cannot quietly turn a fault into a no-op.

Usage: scripts/mutants.py [--build build-mutants] [--jobs 2] [--timeout 120] [--only NAME]
Prints "N of M planted faults caught" and the faults that survived; exits 1 if any did.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# name, file, text as it stands, text with the fault.
MUTANTS = [
    ("erase loop skips the last page", "pod/RegionProgrammer.cpp",
     "for (std::uint32_t erased = 0; erased < count; ++erased) {",
     "for (std::uint32_t erased = 0; erased + 1 < count; ++erased) {"),
    ("no erase for DFLASH", "pod/RegionProgrammer.cpp",
     "if (!EraseRegionPages(region, pieces, eraseAllBoot)) {",
     "if (region != MemoryRegion::DFLASH && !EraseRegionPages(region, pieces, eraseAllBoot)) {"),
    ("page mask 0xFF instead of 0x7F", "pod/RegionProgrammer.cpp",
     "static_cast<unsigned>(page & 0x7F)",
     "static_cast<unsigned>(page & 0xFF)"),
    ("Y length one too large", "pod/PodImageStore.cpp",
     "return verify || SendStoredExtent(region, start, end, length);",
     "return verify || SendStoredExtent(region, start, end, length + 1);"),
    ("verify skips the last piece", "pod/RegionProgrammer.cpp",
     "if (VerifyBlock(region, piece.first, piece.last, done) != kBlockOk) {",
     "if (piece.last != end && VerifyBlock(region, piece.first, piece.last, done) != kBlockOk) {"),
    ("checksum leaves out the last word", "pod/RegionProgrammer.cpp",
     "for (std::uint32_t address = first; address <= last; ++address) {\n"
     "        checksum =",
     "for (std::uint32_t address = first; address < last; ++address) {\n"
     "        checksum ="),
    ("batch flushed at 51 frames", "pod/PodFrames.h",
     "kBatchFlushSize = 350;",
     "kBatchFlushSize = 357;"),
    ("reply accepted when it is not \"!\"", "pod/PodProtocol.cpp",
     "link_.ReadReplyBytes(replyBuffer_, count, replyTimeoutMs, true);\n"
     "    if (read.complete && replyBuffer_[0] == kAck) {",
     "link_.ReadReplyBytes(replyBuffer_, count, replyTimeoutMs, false);\n"
     "    if (read.complete) {"),
    ("flash time-out one tenth as long", "pod/PodFrames.h",
     "kFlashReplyMs = 3000;",
     "kFlashReplyMs = 300;"),
    ("retry of I dropped", "pod/CUsbPod.cpp",
     "if (!Identify() && (!DiscardReceived() || !Identify())) {",
     "if (!Identify()) {"),
    ("word of address 3 stored in PFLASH", "image/SFileImage.cpp",
     "if (address >= pflash.start + 4 && address <= pflash.end) {",
     "if (address >= pflash.start + 3 && address <= pflash.end) {"),
    ("DFLASH offset 0x20000", "image/SFileImage.h",
     "DataSpaceOffset = 0x200000;",
     "DataSpaceOffset = 0x20000;"),
    ("no discard before the second identify", "pod/CUsbPod.cpp",
     "if (!Identify() && (!DiscardReceived() || !Identify())) {",
     "if (!Identify() && !Identify()) {"),
    ("no queue check before an answered command", "pod/PodProtocol.cpp",
     "if (length > 1 && ExpectsReply(frameBuffer_[1]) && !NothingWaitingBefore(frameBuffer_[1])) {",
     "if (false) {"),
    ("page pieces run to the next page", "pod/PagePieces.cpp",
     "const std::uint32_t pageLast = (page << 8) + 0xFF;",
     "const std::uint32_t pageLast = (page << 8) + 0x1FF;"),
    ("EEPROM block of 133 words", "pod/PodImageStore.cpp",
     "constexpr std::uint32_t kEepromBlockWords = 132;",
     "constexpr std::uint32_t kEepromBlockWords = 133;"),
    # Writing only the changed pages.
    ("only-changed: a differing first page taken as equal", "pod/RegionProgrammer.cpp",
     "if (answer == PodAnswer::Refused) {\n            differing.push_back(pieces[i]);",
     "if (answer == PodAnswer::Refused && i != 0) {\n            differing.push_back(pieces[i]);"),
    ("only-changed: the differing page's neighbour written instead", "pod/RegionProgrammer.cpp",
     "differing.push_back(pieces[i]);",
     "differing.push_back(pieces[i + 1 < pieces.size() ? i + 1 : i]);"),
    # The libusb/libftdi1 backend, caught by the EmulatedUsbPod suite.
    ("libftdi: receive and transmit purges swapped", "pod/backends/LibFtdiPort.cpp",
     "result = rx ? ftdi_tciflush(context_) : ftdi_tcoflush(context_);",
     "result = rx ? ftdi_tcoflush(context_) : ftdi_tciflush(context_);"),
    ("libftdi: the chip's status bytes passed on as data", "pod/backends/LibFtdiPort.cpp",
     "constexpr int kStatusBytes = 2;",
     "constexpr int kStatusBytes = 0;"),
    ("libftdi: serial number read as the product string", "pod/backends/LibFtdiBus.cpp",
     "entry.description = ReadString(handle, descriptor.iProduct, error);",
     "entry.description = ReadString(handle, descriptor.iSerialNumber, error);"),
    ("libftdi: latency timer one too long", "pod/backends/LibFtdiPort.cpp",
     "return ftdi_set_latency_timer(context_, ms);",
     "return ftdi_set_latency_timer(context_, ms + 1);"),
    ("libftdi: half the baud rate", "pod/backends/LibFtdiPort.cpp",
     "return ftdi_set_baudrate(context_, baud);",
     "return ftdi_set_baudrate(context_, baud / 2);"),
    ("libftdi: seven data bits", "pod/backends/LibFtdiPort.cpp",
     "return ftdi_set_line_property(context_, static_cast<ftdi_bits_type>(bits),",
     "return ftdi_set_line_property(context_, BITS_7,"),
    ("libftdi: hardware flow control left on", "pod/backends/LibFtdiPort.cpp",
     "return ftdi_setflowctrl(context_, static_cast<int>(flow));",
     "return ftdi_setflowctrl(context_, SIO_RTS_CTS_HS);"),
    ("libftdi: kernel driver not given back", "pod/backends/LibFtdiBus.cpp",
     "context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;",
     "context->module_detach_mode = AUTO_DETACH_SIO_MODULE;"),
    ("libftdi: a purge leaves the pending transfers alone", "pod/backends/LibFtdiPort.cpp",
     "result = static_cast<int>(DropReceived());",
     "received_.clear();"),
    ("libftdi: status bytes read without their overrun bit", "pod/backends/LibFtdiPort.cpp",
     "constexpr std::uint8_t kOverrunBit = 0x02;",
     "constexpr std::uint8_t kOverrunBit = 0x00;"),
]

# Everything the build without the window makes: each test program the suite runs (a list
# here fell behind when a test program was added, and its placeholder test failed the suite).
TARGETS = ["all"]


def run(args, cwd=None, log=None):
    return subprocess.run(args, cwd=cwd, stdout=log, stderr=subprocess.STDOUT).returncode


def copy_tree(src):
    """The tracked files as they stand in the working tree, with uncommitted edits."""
    files = subprocess.run(["git", "ls-files", "-z"], cwd=TOP, check=True,
                           stdout=subprocess.PIPE).stdout.split(b"\0")
    tracked = {name.decode() for name in files if name}
    # A file renamed or deleted since the last copy goes too: the build globs some folders.
    for folder, _, names in os.walk(src):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.relpath(path, src) not in tracked:
                os.remove(path)
    for name in files:
        if not name:
            continue
        path = name.decode()
        source = os.path.join(TOP, path)
        if not os.path.isfile(source):
            continue
        target = os.path.join(src, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if not os.path.exists(target) or not same_file(source, target):
            # A fresh time stamp, so that the build sees every change.
            shutil.copy(source, target)


def same_file(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def build_and_test(build, jobs, timeout, log):
    if run(["cmake", "--build", build, "-j", str(jobs), "--target"] + TARGETS, log=log) != 0:
        return "build failed"
    env_args = ["ctest", "-j", str(jobs), "--timeout", str(timeout), "--stop-on-failure",
                "--output-on-failure"]
    if run(env_args, cwd=build, log=log) != 0:
        return "failed"
    return "passed"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(TOP, "build-mutants"))
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=120, help="seconds per test")
    parser.add_argument("--only", help="plant only the faults whose name contains this")
    options = parser.parse_args()

    src = os.path.join(options.build, "src")
    build = os.path.join(options.build, "build")
    os.makedirs(src, exist_ok=True)
    copy_tree(src)

    # Every pattern must stand exactly once before anything is planted.
    originals = {}
    for name, path, old, new in MUTANTS:
        with open(os.path.join(src, path)) as f:
            text = f.read()
        found = text.count(old)
        if found != 1:
            sys.exit(f"mutants: '{name}': the text to replace occurs {found} times in {path}, "
                     f"not once; update scripts/mutants.py")
        originals[path] = text

    log_path = os.path.join(options.build, "mutants.log")
    with open(log_path, "w") as log:
        configure = ["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                     "-DVANTIX_GUI=OFF", "-DVANTIX_BENCH=OFF", "-DVANTIX_TESTS=ON"]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
        if run(configure, log=log) != 0:
            sys.exit(f"mutants: configuring failed, see {log_path}")
        print("mutants: the suite as it stands ...", flush=True)
        if build_and_test(build, options.jobs, options.timeout, log) != "passed":
            sys.exit(f"mutants: the suite fails without any planted fault, see {log_path}")

        chosen = [m for m in MUTANTS if not options.only or options.only in m[0]]
        caught, survivors, broken = 0, [], []
        for name, path, old, new in chosen:
            target = os.path.join(src, path)
            began = time.monotonic()
            log.write(f"\n===== {name} ({path})\n")
            log.flush()
            try:
                with open(target, "w") as f:
                    f.write(originals[path].replace(old, new, 1))
                outcome = build_and_test(build, options.jobs, options.timeout, log)
            finally:
                with open(target, "w") as f:
                    f.write(originals[path])
            if outcome == "failed":
                caught += 1
                verdict = "caught"
            elif outcome == "passed":
                survivors.append(name)
                verdict = "SURVIVED"
            else:
                broken.append(name)
                verdict = "did not build"
            print(f"  {verdict:13} {name} ({time.monotonic() - began:.0f} s)", flush=True)
        # Leave the copy's build matching its sources.
        run(["cmake", "--build", build, "-j", str(options.jobs), "--target"] + TARGETS, log=log)

    print(f"{caught} of {len(chosen)} planted faults caught")
    for name in survivors:
        print(f"survived: {name}")
    for name in broken:
        print(f"did not build: {name}")
    return 0 if not survivors and not broken else 1


if __name__ == "__main__":
    sys.exit(main())
