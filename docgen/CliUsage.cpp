// vantix-cli as its CLI11 command line and command table describe it; only the files, the
// environment and the examples are told here.
#include <CLI/CLI.hpp>
#include <sstream>

#include "CpuType.h"
#include "MemoryRegion.h"
#include "ProgramUsage.h"
#include "commandline/CommandLineParser.h"
#include "commandline/CommandTable.h"

namespace {

UsageOption OptionOf(const CLI::Option& option) {
    UsageOption usage;
    for (const std::string& name : option.get_snames()) {
        usage.names.push_back("-" + name);
    }
    for (const std::string& name : option.get_lnames()) {
        usage.names.push_back("--" + name);
    }
    if (option.get_expected_max() != 0) {
        usage.value = option.get_type_name();
    }
    usage.description = option.get_description();
    return usage;
}

// Named options only: FILE and COMMAND are operands, and options of the empty group are
// the hidden copies the tool keeps of the command options.
std::vector<UsageOption> OptionsOf(const CLI::App& app) {
    std::vector<UsageOption> options;
    for (const CLI::Option* option : app.get_options()) {
        if (option->nonpositional() && !option->get_group().empty()) {
            options.push_back(OptionOf(*option));
        }
    }
    return options;
}

// The tool's footer: paragraphs of prose, the exit statuses ("  N    meaning", continued
// by deeper-indented lines) and an example, which the manual gives in its own section.
void ReadFooter(const std::string& footer, ProgramUsage& usage) {
    std::size_t start = 0;
    while (start < footer.size()) {
        std::size_t end = footer.find("\n\n", start);
        end = end == std::string::npos ? footer.size() : end;
        const std::string block = footer.substr(start, end - start);
        start = end + 2;
        if (block.rfind("Exit status:", 0) == 0) {
            std::istringstream lines(block.substr(block.find('\n') + 1));
            for (std::string line; std::getline(lines, line);) {
                const std::size_t text = line.find_first_not_of(' ');
                if (text == 2) {
                    const std::size_t gap = line.find(' ', text);
                    usage.exitStatuses.push_back({line.substr(text, gap - text),
                                                  line.substr(line.find_first_not_of(' ', gap))});
                } else if (!usage.exitStatuses.empty() && text != std::string::npos) {
                    usage.exitStatuses.back().text += "\n" + line.substr(text);
                }
            }
        } else if (block.rfind("Example:", 0) != 0 && !block.empty()) {
            usage.description.push_back(block);
        }
    }
}

}  // namespace

ProgramUsage CliUsage() {
    const CommandLineParser parser;
    const CLI::App& tool = parser.Tool();
    ProgramUsage usage;
    usage.name = tool.get_name();
    usage.summary = "flash DSP56F801/803/805/807 controllers from the command line";
    usage.synopsis = "[OPTIONS] COMMAND [ARGS]";
    usage.description.push_back(tool.get_description());
    ReadFooter(tool.get_footer(), usage);
    usage.optionsHeading = "OPTIONS";
    usage.options = OptionsOf(tool);
    for (const CommandSpec& spec : Commands()) {
        const CLI::App* app = tool.get_subcommand(spec.name);
        const std::string help = app->help(usage.name);
        UsageCommand command;
        command.name = spec.name;
        command.summary = spec.summary;
        command.usage = help.substr(7, help.find('\n') - 7);  // after "Usage: "
        command.description = spec.description;
        command.example = spec.example;
        command.operand = spec.needsFile                        ? "FILE"
                          : app->get_option_no_throw("COMMAND") ? "COMMAND"
                                                                : "";
        command.options = OptionsOf(*app);
        usage.commands.push_back(std::move(command));
    }

    usage.files = {
        {"FILE",
         "Motorola S-record file; only S3 records are read. Names usually end in .s or .S."},
        {"job file (--config FILE)",
         "INI or TOML: \"name = value\" lines, at the top for every command and under\n"
         "[COMMAND] for one command. The command line overrides it."},
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
        {"/usr/lib/udev/rules.d/60-vantix-pod.rules",
         "the udev rule that lets the logged-in user open the pod; --udev-rule prints it.\n"
         "A copy in /etc/udev/rules.d takes its place."},
        {"libftd2xx.so", "FTDI's D2XX library, used when installed; otherwise libftdi1."},
    };
    usage.examples = {
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
    usage.seeAlso = {"vantix(1)"};
    return usage;
}

ValueChoices Choices() {
    ValueChoices choices;
    for (int cpu = 0; cpu < kCpuTypeCount; ++cpu) {
        choices.cpus.emplace_back(CpuName(static_cast<CpuType>(cpu)));
    }
    for (int cpu = 0; cpu < kCpuTypeCount; ++cpu) {
        const std::string name = CpuName(static_cast<CpuType>(cpu));
        choices.cpus.push_back(name.substr(name.size() - 3));
    }
    for (MemoryRegion region : kAllRegions) {
        choices.regions.emplace_back(RegionName(region));
    }
    choices.fills = {"random", "erased"};
    return choices;
}

const UsageOption* FindOption(const std::vector<UsageOption>& options, const std::string& name) {
    for (const UsageOption& option : options) {
        for (const std::string& given : option.names) {
            if (given == name) {
                return &option;
            }
        }
    }
    return nullptr;
}
