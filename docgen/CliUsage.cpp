// vantix-cli as its option and command tables describe it; only the files, the environment
// and the examples are told here.
#include "OptionTable.h"
#include "ProgramUsage.h"
#include "commandline/CommandTable.h"
#include "commandline/GlobalOptions.h"
#include "commandline/ToolHelpText.h"
#include "commands/CommandList.h"

namespace {

std::vector<UsageEntry> Files() {
    return {
        {"FILE",
         "Motorola S-record file; only S3 records are read. Names usually end in .s or .S.\n"
         "Every other line is named in a warning: S1/S2 records, records after the end\n"
         "record, Intel HEX and other text; --strict refuses such a file."},
        {"job file (--config FILE)",
         "TOML 1.0 when the name ends in .toml (text in quotes, arrays for lists), INI\n"
         "otherwise (a value with a blank in quotes): \"name = value\" lines, at the top\n"
         "for every command and under [COMMAND] for one command. Several are read in\n"
         "order, a later file's key overriding an earlier one's. The command line\n"
         "overrides them all."},
        {"log (--log FILE)",
         "JSON Lines, one record per board, appended with a single write and fsync,\n"
         "so that stations may share one log."},
        {"/tmp/vantix-UID/vantix-pod-SERIAL.lock",
         "the lock a pod command holds on its pod, whatever the environment; removed\n"
         "with the lock. A folder there that belongs to another user, or that others may\n"
         "write, is refused. The system drops the lock when the process ends."},
        {"state file (--sim-state PATH)",
         "the simulated target's flash and the simulated pod's EEPROM, kept between runs;\n"
         "with --sim-pods, one file PATH.SERIAL per pod."},
        {"trace (--trace PATH)", "every transfer on the wire, one line each."},
        {"serial counter (--serial-counter FILE)",
         "a text file holding the next serial number, shared by the stations; each number\n"
         "is taken under a lock on FILE.lock and written back before the board is touched."},
        {"$XDG_STATE_HOME/vantix/station-db-HASH.jsonl",
         "records the station database (--station-db) could not store, one JSON line each,\n"
         "sent by the next run with the same database; ~/.local/state/vantix without\n"
         "XDG_STATE_HOME."},
        {"/usr/lib/udev/rules.d/60-vantix-pod.rules",
         "the udev rule that lets the logged-in user open the pod; --udev-rule prints it.\n"
         "A copy in /etc/udev/rules.d takes its place."},
        {"libftd2xx.so", "FTDI's D2XX library, used when installed; otherwise libftdi1."},
        {"/usr/share/javascript/chart.js/chart.min.js",
         "Chart.js (libjs-chart.js), put whole into the pages report writes; without it\n"
         "they have their tables and no charts."},
    };
}

std::vector<UsageEntry> Examples() {
    return {
        {"Find the serial numbers of the attached pods:", "vantix-cli list"},
        {"Check a release file: its SHA-256 and the CRC-32 of each region:",
         "vantix-cli info release-7.s --cpu 807 --json"},
        {"A production run: two stations on one computer, each with its own pod, board after "
         "board, every board recorded in one shared log:",
         "vantix-cli --pod FT4A1B2C --log /srv/line/boards.jsonl write-verify release-7.s --cpu "
         "807 "
         "--repeat\n"
         "vantix-cli --pod FT4A1B3D --log /srv/line/boards.jsonl write-verify release-7.s --cpu "
         "807 "
         "--repeat"},
        {"A serialised production run: every board gets the next number of a counter the "
         "stations share, in PFLASH at 0x7FF0:",
         "vantix-cli --log /srv/line/boards.jsonl write-verify release-7.s --cpu 807 "
         "--serial-at PFLASH:7FF0 --serial-counter /srv/line/serial.txt --repeat"},
        {"A line of several hosts: the serial series and the records in a PostgreSQL database "
         "that every station reaches, set up once by its owner, who gives each station's login "
         "the station's role, then used by each station:",
         "vantix-cli station-db init --station-db postgresql://line_owner@db1/line\n"
         "vantix-cli station-db series line-7 --start 1000 --station-db "
         "postgresql://line_owner@db1/line\n"
         "vantix-cli station-db grant station station3 --station-db "
         "postgresql://line_owner@db1/line\n"
         "vantix-cli --station-db postgresql://station3@db1/line write-verify release-7.s --cpu 807 "
         "--serial-at PFLASH:7FF0 --serial-series line-7 --repeat"},
        {"The line's yield report from its logs, one HTML page to open in any browser, and a "
         "row per board for a spreadsheet:",
         "vantix-cli report --log /srv/line/*.jsonl --html yield.html --csv boards.csv"},
        {"Erase a board, then check that it is blank:",
         "vantix-cli erase --cpu 807\nvantix-cli blank-check --cpu 807"},
        {"Program only PFLASH and BFLASH, then reset the board:",
         "vantix-cli write firmware.s --cpu 805 --regions PFLASH,BFLASH --reset-after"},
        {"Store the image in the pod, which then programs boards on its own, and check it:",
         "vantix-cli pod-write firmware.s --cpu 805\nvantix-cli pod-verify firmware.s --cpu 805"},
        {"Try it without hardware: two simulated pods that keep their boards between runs:",
         "vantix-cli --sim-pods 2 --sim-state line.state --pod VSIM0002 write-verify "
         "release-7.s --cpu 807"},
    };
}

UsageCommand CommandUsage(const std::string& program, const CommandInfo& info) {
    UsageCommand command;
    command.name = info.name;
    command.summary = info.summary;
    command.usage = program + " " + info.name + UsageArguments(info);
    command.description = info.description;
    command.example = info.example;
    command.operand = info.needsFile ? "FILE" : info.manOperand;
    command.actions.assign(info.actions.begin(), info.actions.end());
    for (const OptionUse& use : info.options) {
        command.options.push_back(UsageOf(*use.row, DescriptionOf(use)));
    }
    return command;
}

}  // namespace

ProgramUsage CliUsage() {
    ProgramUsage usage;
    usage.name = "vantix-cli";
    usage.summary = "flash DSP56F801/803/805/807 controllers from the command line";
    usage.synopsis = "[OPTIONS] COMMAND [ARGS]";
    usage.description = {kToolDescription, kToolNotes, kToolSerialRun};
    usage.optionsHeading = "OPTIONS";
    for (const OptionInfo* option : GlobalOptionRows()) {
        usage.options.push_back(UsageOf(*option, option->description));
    }
    for (const CommandInfo& info : CliCommands()) {
        usage.commands.push_back(CommandUsage(usage.name, info));
    }
    usage.exitStatuses = ExitStatusEntries(Program::Cli);
    usage.files = Files();
    usage.examples = Examples();
    usage.environment = {
        {"VANTIX_STATION_DB",
         "the station database, a libpq connection string or URI, when --station-db names\n"
         "none; keeps a password out of the process list. libpq's own variables (PGHOST,\n"
         "PGPASSWORD, ...) and ~/.pgpass apply as well."}};
    usage.seeAlso = {"vantix(1)"};
    return usage;
}
