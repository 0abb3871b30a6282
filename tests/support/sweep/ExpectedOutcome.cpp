#include "ExpectedOutcome.h"

#include <cstdio>

#include "PodDisplays.h"
#include "SFileImage.h"

namespace {

using Kind = CommandOutcome::Kind;
using Line = ExpectedOutcome::Line;

const char* const kTargetErrors[] = {
    "",
    "Enter Debug Mode Error",
    "Firmware Download Error",
    "PFLASH Erase Error",
    "PFLASH Write Error",
    "PFLASH Verify Error",
    "P2FLASH Erase Error",
    "P2FLASH Write Error",
    "P2FLASH Verify Error",
    "BFLASH Erase Error",
    "BFLASH Write Error",
    "BFLASH Verify Error",
    "DFLASH Erase Error",
    "DFLASH Write Error",
    "DFLASH Verify Error",
};

const char* PodWriteError(std::uint16_t result) {
    switch (result) {
        case 1:
            return "PFLASH EEPROM Write Error";
        case 3:
            return "P2FLASH EEPROM Write Error";
        case 5:
            return "BFLASH EEPROM Write Error";
        case 7:
            return "DFLASH EEPROM Write Error";
        default:
            return "EEPROM Write Error";
    }
}

const char* PodVerifyError(std::uint16_t result) {
    switch (result) {
        case 2:
            return "PFLASH EEPROM Verify Error";
        case 4:
            return "P2FLASH EEPROM Verify Error";
        case 6:
            return "BFLASH EEPROM Verify Error";
        case 8:
            return "DFLASH EEPROM Verify Error";
        case 11:
            return "Fail to Get EEPROM Info.";
        case 12:
            return "EEPROM Info. is not sameness";
        default:
            return "EEPROM Verify Error";
    }
}

// Target result codes: 3 (PFLASH), 6 (P2FLASH), 9 (BFLASH), 12 (DFLASH) plus the step.
std::uint16_t TargetError(MemoryRegion region, int step) {
    return static_cast<std::uint16_t>(3 * RegionIndex(region) + 3 + step);
}

// EEPROM codes in MemoryRegion order: store 1, 3, 5, 7; compare 2, 4, 6, 8.
std::uint16_t EepromError(MemoryRegion region, bool verify) {
    return static_cast<std::uint16_t>(2 * RegionIndex(region) + (verify ? 2 : 1));
}

bool Is807(const SweepScenario& s) {
    return s.image->cpu == CpuType::DSP56F807;
}

// The LED step of a region: target sequences count the present regions in the order DFLASH,
// PFLASH, P2FLASH (DSP56F807), BFLASH; POD Write uses fixed steps; POD Verify skips P2FLASH
// on the smaller CPUs.
int LedStep(const SweepScenario& s, MemoryRegion region) {
    const MemoryRegion order[] = {MemoryRegion::DFLASH, MemoryRegion::PFLASH, MemoryRegion::P2FLASH,
                                  MemoryRegion::BFLASH};
    int step = 0;
    for (const MemoryRegion r : order) {
        const bool counts =
            s.command == SweepCommand::PodWrite ||
            (s.command == SweepCommand::PodVerify ? r != MemoryRegion::P2FLASH || Is807(s)
                                                  : s.image->IsPresent(r));
        step += counts ? 1 : 0;
        if (r == region) {
            return step;
        }
    }
    return step;
}

std::string LedsFailedAt(int step) {
    std::string leds = "0000";
    for (int i = 0; i < step - 1; ++i) {
        leds[static_cast<std::size_t>(i)] = '1';
    }
    leds[static_cast<std::size_t>(step - 1)] = 'R';
    return leds;
}

std::string LedsLitUpTo(int step) {
    std::string leds = "0000";
    for (int i = 0; i < step; ++i) {
        leds[static_cast<std::size_t>(i)] = '1';
    }
    return leds;
}

// What POD Verify prints once it holds the record: the record of this image.
std::vector<Line> InfoLines(const SweepScenario& s) {
    static const char* const kOptions[] = {
        "[Option] : Not Erase All BFLASH, No Target Reset After Flash Writing",
        "[Option] : Erase All BFLASH, No Target Reset After Flash Writing",
        "[Option] : Not Erase All BFLASH, Target Reset After Flash Writing",
        "[Option] : Erase All BFLASH, Target Reset After Flash Writing",
    };
    static const char* const kCpus[] = {"[CPU] : DSP56F801", "[CPU] : DSP56F803",
                                        "[CPU] : DSP56F805", "[CPU] : DSP56F807"};
    std::vector<Line> lines = {
        {"[Current SFile Info. in Serial EEPROM of USB POD]", kColourBlue},
        {kCpus[static_cast<int>(s.image->cpu)], kColourGreen},
        {kOptions[(s.eraseAllBoot ? 1 : 0) + (s.resetAfterWrite ? 2 : 0)], kColourGreen}};
    for (const MemoryRegion region : kAllRegions) {
        if (region == MemoryRegion::P2FLASH && !Is807(s)) {
            continue;
        }
        const RegionImage& words = s.image->Region(region);
        char text[128];
        std::snprintf(text, sizeof text,
                      "[%s Info] Start Address : 0x%04X, End Address : 0x%04X, Length : 0x%04X",
                      RegionName(region), static_cast<unsigned>(words.minAddress),
                      static_cast<unsigned>(words.maxAddress),
                      static_cast<unsigned>(words.wordCount));
        lines.emplace_back(text, kColourGreen);
    }
    return lines;
}

ExpectedOutcome Failed(const SweepScenario& s, std::uint16_t result, std::string leds) {
    ExpectedOutcome e;
    e.kind = Kind::Failed;
    e.result = result;
    e.leds = std::move(leds);
    e.failsAtPosition = true;
    switch (s.command) {
        case SweepCommand::PodWrite:
            e.status = PodWriteError(result);
            break;
        case SweepCommand::PodVerify:
            e.status = PodVerifyError(result);
            if (result != 11) {
                e.messages = InfoLines(s);
            }
            break;
        default:
            e.status = kTargetErrors[result];
            break;
    }
    return e;
}

ExpectedOutcome TargetFailure(const SweepScenario& s, const CommandPosition& p) {
    const bool verifyOnly = s.command == SweepCommand::TargetVerify;
    switch (p.letter) {
        case 'G':
            return Failed(s, 1, "0000");
        case 'M':
            return Failed(s, 2, "0000");
        default:
            break;
    }
    const MemoryRegion region = p.region.value();
    int step = 1;  // write
    if (p.letter == 'X') {
        step = 0;
    } else if (verifyOnly || p.letter == 'P' || p.letter == 'V') {
        step = 2;
    }
    return Failed(s, TargetError(region, step), LedsFailedAt(LedStep(s, region)));
}

ExpectedOutcome PodFailure(const SweepScenario& s, const CommandPosition& p) {
    const bool verify = s.command == SweepCommand::PodVerify;
    switch (p.letter) {
        case 'K':
            return Failed(s, verify ? 10 : 9, "0000");
        case 'Z':
            return Failed(s, 9, "1111");
        case 'O':
            return Failed(s, 11, "0000");
        case 'L':
            return Failed(s, 10, LedsLitUpTo(LedStep(s, MemoryRegion::BFLASH)));
        default:
            break;
    }
    const MemoryRegion region = p.region.value();
    return Failed(s, EepromError(region, verify), LedsFailedAt(LedStep(s, region)));
}

}  // namespace

ExpectedOutcome ExpectedOutcome::Clean(const SweepScenario& s) {
    ExpectedOutcome e;
    e.kind = Kind::Succeeded;
    e.leds = "1111";
    e.statusIsPrefix = true;
    switch (s.command) {
        case SweepCommand::TargetWrite:
            e.status = "Flash Write Completed - ";
            e.messages = {{"Flash Writing is OK !!!", kColourGreen}};
            break;
        case SweepCommand::TargetWriteVerify:
            e.status = "Flash Write && Verify Completed - ";
            e.messages = {{"Flash Writing && Verifying is OK !!!", kColourGreen}};
            break;
        case SweepCommand::TargetVerify:
            e.status = "Flash Verify Completed - ";
            e.messages = {{"Flash Verifying is OK !!!", kColourGreen}};
            break;
        case SweepCommand::PodWrite:
            e.status = "EEPROM Write Completed - ";
            e.messages = {{"EEPROM Writing is OK !!!", kColourGreen}};
            break;
        case SweepCommand::PodVerify:
            e.status = "EEPROM Verify Completed - ";
            e.messages = InfoLines(s);
            e.messages.emplace_back("EEPROM Verifying is OK !!!", kColourGreen);
            break;
        case SweepCommand::TargetReset:
            // No lamps, no status: one line in the message window.
            e.leds = "0000";
            e.statusIsPrefix = false;
            e.status = "Current Status";
            e.messages = {{"Target board reset is OK !!!", kColourGreen}};
            break;
    }
    return e;
}

ExpectedOutcome ExpectedOutcome::For(const SweepScenario& s, const CommandPosition& p,
                                     SweepFault::Kind fault) {
    if (p.letter == 'I') {
        // The first identify may fail once: Open asks again. A pulled plug fails both.
        if (fault != SweepFault::Kind::Unplug) {
            return Clean(s);
        }
        ExpectedOutcome e;
        e.kind = Kind::Unreachable;
        e.status = "Current Status";
        e.messages = {{"Fail to initialize USB Programmer", kColourRed}};
        e.failsAtPosition = true;
        return e;
    }
    if (p.letter == 'R') {
        ExpectedOutcome e = Clean(s);
        e.failsAtPosition = true;
        if (s.command == SweepCommand::TargetReset) {
            e.kind = Kind::Failed;
            e.messages = {{"Fail to reset target board", kColourRed}};
        } else {
            // The write stands; the reset after it is reported after the success line.
            e.kind = Kind::ResetFailed;
            e.messages.emplace_back("Fail to reset target board", kColourRed);
        }
        return e;
    }
    switch (s.command) {
        case SweepCommand::PodWrite:
        case SweepCommand::PodVerify:
            return PodFailure(s, p);
        default:
            return TargetFailure(s, p);
    }
}

ExpectedOutcome ExpectedOutcome::ForOpenCall(const std::string& callName) {
    ExpectedOutcome e;
    e.kind = Kind::Unreachable;
    e.status = "Current Status";
    e.failsAtPosition = true;
    // The look at the receive queue belongs to the identify: an identify that cannot be
    // sent is one the pod did not answer.
    e.messages = {{callName == "FT_ListDevices"      ? "Not connect to USB Programmer"
                   : callName == "FT_GetQueueStatus" ? "Fail to initialize USB Programmer"
                                                     : "Fail to open USB communication port",
                   kColourRed}};
    return e;
}
