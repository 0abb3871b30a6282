#include "CliHelp.h"

#include "CommandTable.h"

namespace {

const char* const kToolHelp = R"(Usage: vantix-cli [OPTIONS] COMMAND [ARGS]

Programs the flash of Motorola DSP56F801/803/805/807 controllers through the USB
programming pod, for scripts and production lines.

Commands:
  info FILE --cpu CPU        list the flash regions the file fills
  dump FILE --cpu CPU        print one region's words as the hex view shows them
  write FILE --cpu CPU       Target Write: erase and program the regions
  write-verify FILE --cpu CPU
                             Target Write & Verify: program, then compare each piece
  verify FILE --cpu CPU      Target Verify: compare the regions with the target
  reset                      Target Reset: reset the target board
  pod-write FILE --cpu CPU   POD Write: store the whole image in the pod's EEPROM
  pod-verify FILE --cpu CPU  POD Verify: compare the pod's stored image with the file
  pod-info                   print the pod's record of its stored image
  list                       list the attached FTDI devices
  help [COMMAND]             this text, or the text of COMMAND

Options (before or after COMMAND):
  --simulate         use the simulated pod, at instant pace, instead of a real one
  --sim-realtime     pace the simulated pod by its timing model on the real clock
                     (implies --simulate)
  --sim-state PATH   keep the simulated target memory and pod EEPROM in PATH between
                     runs (created when absent; implies --simulate)
  --sim-fill FILL    what a new simulated target holds: random (old firmware, the
                     default), erased, or four hex digits (that word in every cell);
                     unless erased, the new pod's EEPROM holds a stale image of
                     another CPU. Ignored when --sim-state names an existing file
                     (implies --simulate)
  --trace PATH       write every transfer on the wire to PATH, one line each:
                     "> 02 49 03" sent, "< 21" received
  -q, --quiet        print errors only
  -v, --verbose      also print the transfers on stderr
  -h, --help         show this text; "COMMAND --help" shows the command's
  --version          print the version
  --udev-rule        print the udev rule that gives users access to the pod

CPU is DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803, 805, 807, in any
letter case. Messages and progress go to stderr, data (info, dump, list, pod-info)
to stdout.

Exit status:
  0    success
  1    the operation ran and failed (an error result, a failed reset)
  2    command-line or input error (unknown option, unreadable file, no data,
       a DSP56F801 image for the pod, an unknown region, --strict findings)
  3    the pod cannot be reached (no driver library, no pod, open failure)
  130  interrupted (Ctrl+C); the pod is closed first

Example:
  vantix-cli write firmware.s --cpu 807 --reset-after
)";

const char* const kInfoHelp = R"(Usage: vantix-cli info FILE --cpu CPU [--json] [--strict]

Reads FILE for CPU and lists the flash regions it fills, as the buffer window does:
name, start address ("0x%04X") and size ("0x%X Words"), in the order PFLASH, P2FLASH
(DSP56F807 only), BFLASH, DFLASH. Warnings about the file go to stderr.

  --json     print one JSON object instead:
             {"cpu":"DSP56F807","regions":[{"name":"PFLASH","start":4,"end":2291,
             "words":2288},...],"badChecksums":0,"nonHexRecords":0,
             "truncatedRecords":0,"droppedWords":0}
             start and end are the lowest and highest address loaded (data-space
             addresses for DFLASH), words the span end - start + 1
  --strict   treat bad checksums, non-hexadecimal or truncated records and words
             outside the CPU's flash as an input error (exit 2)

A file that fills no region is listed empty and exits with 2.

Example:
  vantix-cli info examples/dsp56f807.s --cpu DSP56F807 --json
)";

const char* const kDumpHelp = R"(Usage: vantix-cli dump FILE --cpu CPU [--region NAME]

Prints one region of FILE as the hex view shows it: the whole region as the CPU's
memory map lays it out, from the region's start for its full size, unloaded words
as FFFF. One row per 8 words:

  AAAA: wwww wwww wwww wwww wwww wwww wwww wwww

AAAA is the address of the row's first word and wwww each word's value, all in
upper-case hexadecimal with 4 digits, separated by single blanks; DFLASH rows carry
data-space addresses.

  --region NAME   PFLASH, P2FLASH, BFLASH or DFLASH (a region the file fills);
                  default: the first region info lists

Example:
  vantix-cli dump examples/dsp56f805.s --cpu 805 --region DFLASH
)";

const char* const kTargetOptions =
    R"(  --regions LIST        comma-separated region names to process (PFLASH, P2FLASH,
                        BFLASH, DFLASH, any letter case); default: every region the
                        file fills. The regions always go in the order DFLASH, PFLASH,
                        P2FLASH, BFLASH.
)";

const char* const kEraseOptions =
    R"(  --erase-all-boot      erase the whole boot flash before writing BFLASH (default)
  --no-erase-all-boot   erase only the boot flash pages the image touches
)";

const char* const kStrictOption =
    R"(  --strict              refuse a file with reader warnings (exit 2) before the pod
                        is touched
)";

std::string TargetHelp(const char* usage, const char* what, bool erase, const char* example) {
    std::string text = std::string("Usage: vantix-cli ") + usage + "\n\n" + what + "\n\n";
    text += kTargetOptions;
    if (erase) {
        text += kEraseOptions;
    }
    text += "  --reset-after         reset the target board after success\n";
    text += kStrictOption;
    text += std::string("\nExample:\n  ") + example + "\n";
    return text;
}

const char* const kResetHelp = R"(Usage: vantix-cli reset

Resets the target board through the pod ("Target Reset"). Exits with 1 when the pod
does not acknowledge the reset.

Example:
  vantix-cli reset
)";

const char* const kPodWriteHelp =
    R"(Usage: vantix-cli pod-write FILE --cpu CPU [--erase-all-boot | --no-erase-all-boot]
                          [--reset-after] [--strict]

Stores the whole image of FILE in the pod's serial EEPROM ("POD Write"), with the CPU
and the two options, so that the pod can later program boards on its own. Every
region the file fills is stored.

  --erase-all-boot      the pod erases the whole boot flash when it programs (default)
  --no-erase-all-boot   the pod erases only the boot flash pages the image touches
  --reset-after         the pod resets the board after programming it
  --strict              refuse a file with reader warnings (exit 2)

Example:
  vantix-cli pod-write firmware.s --cpu 805 --reset-after
)";

const char* const kPodVerifyHelp = R"(Usage: vantix-cli pod-verify FILE --cpu CPU [--strict]

Reads the pod's record of its stored image, prints it, and has the pod compare every
stored block with FILE ("POD Verify").

  --strict   refuse a file with reader warnings (exit 2)

Example:
  vantix-cli pod-verify firmware.s --cpu 805
)";

const char* const kPodInfoHelp = R"(Usage: vantix-cli pod-info

Reads the pod's record of the image stored in its EEPROM and prints it on stdout as
POD Verify does ("[CPU] : ...", "[Option] : ...", one "[... Info]" line per region),
without comparing anything. Exits with 1 when the pod holds no image.

Example:
  vantix-cli pod-info
)";

const char* const kListHelp = R"(Usage: vantix-cli list

Lists the attached FTDI devices on stdout, one line each: index, description and
serial number separated by tabs, and a fourth field saying why when a device's
strings could not be read (often a permission problem: see --udev-rule). The pod
is the device described "USB POD". With --simulate, the simulated pod is listed.

Example:
  vantix-cli list
)";

const char* const kHelpHelp = R"(Usage: vantix-cli help [COMMAND]

Shows the tool's usage, or the usage of COMMAND.

Example:
  vantix-cli help write
)";

}  // namespace

std::string ToolHelp() {
    return kToolHelp;
}

std::string CommandHelp(CliCommand command) {
    switch (command) {
        case CliCommand::Info:
            return kInfoHelp;
        case CliCommand::Dump:
            return kDumpHelp;
        case CliCommand::Write:
            return TargetHelp(
                "write FILE --cpu CPU [--regions LIST] [--erase-all-boot | --no-erase-all-boot]\n"
                "                      [--reset-after] [--strict]",
                "Erases and programs the regions of FILE on the target board (\"Target "
                "Write\").",
                true,
                "vantix-cli write firmware.s --cpu 807 --regions PFLASH,BFLASH --reset-after");
        case CliCommand::WriteVerify:
            return TargetHelp(
                "write-verify FILE --cpu CPU [--regions LIST]\n"
                "                      [--erase-all-boot | --no-erase-all-boot] "
                "[--reset-after] [--strict]",
                "Erases, programs and compares the regions of FILE on the target board\n"
                "(\"Target Write & Verify\").",
                true, "vantix-cli write-verify firmware.s --cpu 805 --no-erase-all-boot");
        case CliCommand::Verify:
            return TargetHelp(
                "verify FILE --cpu CPU [--regions LIST] [--reset-after] [--strict]",
                "Compares the regions of FILE with the target board's flash (\"Target "
                "Verify\").",
                false, "vantix-cli verify firmware.s --cpu 803");
        case CliCommand::Reset:
            return kResetHelp;
        case CliCommand::PodWrite:
            return kPodWriteHelp;
        case CliCommand::PodVerify:
            return kPodVerifyHelp;
        case CliCommand::PodInfo:
            return kPodInfoHelp;
        case CliCommand::List:
            return kListHelp;
        case CliCommand::Help:
            return kHelpHelp;
        case CliCommand::None:
            break;
    }
    return kToolHelp;
}

std::string UdevRule() {
    return "# Vantix: let the logged-in user open the USB programming pod.\n"
           "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0403\", ATTRS{product}==\"USB POD\", "
           "MODE=\"0660\", TAG+=\"uaccess\"\n";
}
